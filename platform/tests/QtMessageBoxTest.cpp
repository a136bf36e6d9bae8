#include "platform/qt/QtMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>

namespace trx {
namespace {

struct SeenBox {
    bool found = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
};

// Shows a box and looks at it from the event loop that its exec() runs,
// then closes it; gives up (closing every window) at a deadline.
SeenBox ShowAndInspect(std::u16string_view text, MessageIcon icon, std::u16string_view title) {
    SeenBox seen;
    QTimer poll;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = {true,
                    box->icon(),
                    box->windowTitle(),
                    box->text(),
                    box->standardButtons(),
                    box->textFormat()};
            box->button(QMessageBox::Ok)->click();
        } else if (std::chrono::steady_clock::now() > deadline) {
            QApplication::closeAllWindows();
        }
    });
    poll.start(10);
    QtMessageBox().Show(text, icon, title);
    return seen;
}

TEST(QtMessageBox, ShowsIconTitleTextAndOkAlone) {
    const struct {
        MessageIcon icon;
        QMessageBox::Icon shown;
    } cases[] = {{MessageIcon::None, QMessageBox::NoIcon},
                 {MessageIcon::Information, QMessageBox::Information},
                 {MessageIcon::Warning, QMessageBox::Warning}};
    for (const auto& c : cases) {
        const SeenBox seen = ShowAndInspect(u"'<a & b>' Zeile 1\r\nZeile 2", c.icon, u"Fehler");
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.icon, c.shown);
        EXPECT_EQ(seen.title.toStdString(), "Fehler");
        EXPECT_EQ(seen.text.toStdString(), "'<a & b>' Zeile 1\nZeile 2");
        EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(seen.format, Qt::PlainText) << "paths are no markup";
    }
}

}  // namespace
}  // namespace trx
