#include <gtest/gtest.h>

#include <string>

#include "common/Text.h"
#include "registrar/modCPX.h"
#include "registrar/tests/Fakes.h"

namespace trx {
namespace {

// The command line typed on Windows: one text, cut at its first slash.
TEST(SplitArgumentText, CutsTheTypedTextAtItsFirstSlash) {
    struct Case {
        const char16_t* text;
        const char16_t* filePart;
        const char16_t* switchPart;
    };
    const Case cases[] = {
        {u"", u"", u""},
        {u"  entry.cpx  ", u"entry.cpx", u""},
        {u"entry.cpx/u/q", u"entry.cpx", u"/U/Q"},
        {u"entry.cpx /q /u ", u"entry.cpx", u"/Q /U"},
        {u"C:\\Some Dir\\entry.cpx /qe", u"C:\\Some Dir\\entry.cpx", u"/QE"},
        {u"C:/trx/entry.cpx /q", u"C:", u"/TRX/ENTRY.CPX /Q"},
        {u"\"C:\\a b\\entry.cpx\" /u", u"\"C:\\a b\\entry.cpx\"", u"/U"},
        {u"/u entry.cpx", u"", u"/U ENTRY.CPX"},
    };
    for (const Case& c : cases) {
        const CommandLine line = SplitArgumentText(c.text);
        EXPECT_EQ(ToUtf8(line.filePart), ToUtf8(c.filePart)) << ToUtf8(c.text);
        EXPECT_EQ(ToUtf8(line.switchPart), ToUtf8(c.switchPart)) << ToUtf8(c.text);
    }
}

TEST(SplitArgumentText, MainTakesTheTextAsTypedWhereThePlatformHandsOverOne) {
    test::FakeStore store;
    test::RecordingMessageBox messages;
    ProcessInfo process;
    process.argumentsAsTyped = true;
    process.argumentText = u"missing.cpx/u/q";
    process.arguments = {u"ignored.cpx"};  // not looked at
    EXPECT_EQ(Main(process, store, messages), 1);
    EXPECT_TRUE(messages.shown.empty());  // quiet
    EXPECT_TRUE(store.calls.empty());     // the missing file was rejected
}

}  // namespace
}  // namespace trx
