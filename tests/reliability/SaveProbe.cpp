// The create-version form's Save on a real vxTRX.ini, without a dialog:
// loads the form on the file, types a new version, clicks Save and prints
// every message box as "title: text". Exit 0 when the form saved and closed,
// 3 when it stayed open, 2 when it could not load.
//   trx_save_probe INI-FILE NEW-VERSION

#include "common/Text.h"
#include "version/frmCreateVersion.h"
#include "version/tests/Fakes.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: trx_save_probe INI-FILE NEW-VERSION\n");
        return 64;
    }
    using namespace trx;
    test::FixedClock clock(test::kDec12th2019);
    test::FakeLocale locale(test::FakeLocale::Language::German, 2019);
    test::RecordingMessageBox box;
    test::FakeView view;
    frmCreateVersion form(view, FromUtf8(argv[1]), clock, locale, box);
    view.Attach(form);
    const bool loaded = form.Form_Load();
    if (loaded) {
        view.Replace(CreateVersionField::Version, FromUtf8(argv[2]));
        form.btnSave_Click();
    }
    for (const auto& shown : box.shown) {
        std::printf("%s: %s\n", ToUtf8(shown.title).c_str(), ToUtf8(shown.text).c_str());
    }
    if (!loaded) {
        return 2;
    }
    return view.closed ? 0 : 3;
}
