#include "platform/ConsoleMessageBox.h"

#include <gtest/gtest.h>

#include <sstream>

namespace trx {
namespace {

TEST(ConsoleMessageBox, PrintsTitleAndTextWithLineFeeds) {
    struct Case {
        std::u16string text;
        std::u16string title;
        std::string printed;
    };
    const Case cases[] = {
        {u"'a.cpx' wurde erfolgreich registriert.", u"vxRegCPX",
         "vxRegCPX: 'a.cpx' wurde erfolgreich registriert.\n"},
        {u"Zeile 1\r\n\r\nZeile 3", u"T", "T: Zeile 1\n\nZeile 3\n"},
        {u"ein\rCR und ein\nLF", u"T", "T: ein\rCR und ein\nLF\n"},  // only pairs change
        {u"ende\r", u"T", "T: ende\r\n"},
        {u"", u"", ": \n"},
        {u"ungültig", u"Fehler", "Fehler: ung\xC3\xBCltig\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printed);
        std::ostringstream out;
        std::ostringstream err;
        ConsoleMessageBox box(out, err);
        box.Show(c.text, MessageIcon::Information, c.title);
        EXPECT_EQ(out.str(), c.printed);
        EXPECT_EQ(err.str(), "");
    }
}

TEST(ConsoleMessageBox, WarningsGoToTheErrorStream) {
    const struct {
        MessageIcon icon;
        bool onError;
    } cases[] = {{MessageIcon::Warning, true},
                 {MessageIcon::Information, false},
                 {MessageIcon::None, false}};
    for (const auto& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        ConsoleMessageBox(out, err).Show(u"x", c.icon, u"T");
        EXPECT_EQ(err.str(), c.onError ? "T: x\n" : "");
        EXPECT_EQ(out.str(), c.onError ? "" : "T: x\n");
    }
}

}  // namespace
}  // namespace trx
