#include "platform/qt/QtMessageBox.h"

#include "platform/qt/QtText.h"

#include <QMessageBox>

namespace trx {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtMessageBox::Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) {
    QString shown = ToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(ToQtIcon(icon), ToQString(title), shown, QMessageBox::Ok);
    // Paths may hold "<" or "&"; they are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace trx
