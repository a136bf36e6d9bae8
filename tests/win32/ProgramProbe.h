#pragma once

// Runs a Windows program as a person would and answers its message boxes:
// each box of the program is found among the desktop's windows, read (title,
// text, icon) and closed with its OK button.

#include <string>
#include <vector>

namespace trx::test {

enum class BoxIcon { None, Information, Warning, Unknown };

const char* BoxIconName(BoxIcon icon);

struct ShownBox {
    std::u16string title;
    std::u16string text;
    BoxIcon icon = BoxIcon::Unknown;
};

struct ProgramRun {
    bool started = false;
    bool timedOut = false;  // still running after the time allowed; then ended
    unsigned long exitCode = 0;
    std::vector<ShownBox> boxes;  // in the order they appeared
    std::string out;              // standard output and error, as written
    std::string err;
};

// Starts `program` with the argument text as typed after its quoted name, in
// `folder`, and answers every box until it ends (at most `seconds`).
ProgramRun RunProgram(const std::u16string& program, const std::u16string& arguments,
                      const std::u16string& folder, int seconds = 60);

}  // namespace trx::test
