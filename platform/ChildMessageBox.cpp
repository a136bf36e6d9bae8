#include "platform/ChildMessageBox.h"

#include "common/Text.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace trx {

void ChildMessageBox::Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) {
    std::vector<std::string> arguments = {program_, kShowMessageSwitch,
                                          std::to_string(static_cast<int>(icon)), ToUtf8(title),
                                          ToUtf8(text)};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, program_.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        fallback_.Show(text, icon, title);
        return;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fallback_.Show(text, icon, title);
    }
}

std::optional<int> HandleShowMessage(int argc, const char* const* argv, MessageBox& box) {
    if (argc != 5 || std::strcmp(argv[1], kShowMessageSwitch) != 0) {
        return std::nullopt;
    }
    const std::string_view number = argv[2];
    const MessageIcon icon = number == "1"   ? MessageIcon::Information
                             : number == "2" ? MessageIcon::Warning
                                             : MessageIcon::None;
    box.Show(FromUtf8(argv[4]), icon, FromUtf8(argv[3]));
    return 0;
}

}  // namespace trx
