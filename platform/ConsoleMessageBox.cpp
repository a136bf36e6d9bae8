#include "platform/ConsoleMessageBox.h"

#include "common/Text.h"

namespace trx {

std::string ConsoleMessageBox::Format(std::u16string_view text, std::u16string_view title) {
    std::u16string line(title);
    line += u": ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue;  // the LF that follows stands for the pair
        }
        line += text[i];
    }
    line += u'\n';
    return ToUtf8(line);
}

void ConsoleMessageBox::Show(std::u16string_view text, MessageIcon icon,
                             std::u16string_view title) {
    std::ostream& stream = icon == MessageIcon::Warning ? err_ : out_;
    stream << Format(text, title);
    // A box is modal: the message is out before the program goes on.
    stream.flush();
}

std::string NoDisplayNotice(std::string_view why) {
    return "Grafische Anzeige nicht verfügbar (" + std::string(why) +
           "); Meldungen erscheinen in der Konsole.\n";
}

}  // namespace trx
