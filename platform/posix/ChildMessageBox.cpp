#include "platform/posix/ChildMessageBox.h"

#include "common/Text.h"
#include "platform/ConsoleMessageBox.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

extern char** environ;

namespace trx {

namespace {

using Clock = std::chrono::steady_clock;

// The descriptor on which a child tells that its toolkit has started.
constexpr int kReadyDescriptor = 3;
constexpr char kReady = '1';

pid_t Spawn(const std::string& program, std::vector<std::string> arguments, int readyPipe) {
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The pipe at a fixed number, without close-on-exec; the toolkit's
    // complaints are not the user's business: the program says why it fell
    // back to the console.
    posix_spawn_file_actions_adddup2(&actions, readyPipe, kReadyDescriptor);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed =
        ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? child : -1;
}

int WaitForEnd(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Runs the program with `arguments` and the ready descriptor's number after
// them. Empty when the child told that its toolkit started within
// `startTime` (the call then returns when the child has ended); else why not,
// the child ended.
std::optional<std::string> RunOnDisplay(const std::string& program,
                                        std::vector<std::string> arguments,
                                        std::chrono::milliseconds startTime) {
    int pipe[2] = {-1, -1};
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        return std::string("keine Pipe: ") + std::strerror(errno);
    }
    // The write end must not be the number it is duplicated to, or it would
    // keep its close-on-exec flag.
    if (pipe[1] == kReadyDescriptor) {
        const int moved = ::fcntl(pipe[1], F_DUPFD_CLOEXEC, kReadyDescriptor + 1);
        ::close(pipe[1]);
        pipe[1] = moved;
    }
    arguments.push_back(std::to_string(kReadyDescriptor));
    const pid_t child = pipe[1] < 0 ? -1 : Spawn(program, std::move(arguments), pipe[1]);
    ::close(pipe[1]);
    if (child < 0) {
        ::close(pipe[0]);
        return program + " startet nicht";
    }
    const auto deadline = Clock::now() + startTime;
    char told = 0;
    ssize_t got = -1;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd ready{pipe[0], POLLIN, 0};
        const int polled = ::poll(&ready, 1, left > 0 ? static_cast<int>(left) : 0);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled == 1) {
            while ((got = ::read(pipe[0], &told, 1)) < 0 && errno == EINTR) {
            }
        }
        break;
    }
    ::close(pipe[0]);
    if (got == 1 && told == kReady) {
        WaitForEnd(child);
        return std::nullopt;
    }
    if (got < 0) {
        ::kill(child, SIGKILL);
        WaitForEnd(child);
        return "keine Antwort binnen " + std::to_string(startTime.count()) + " ms";
    }
    const int status = WaitForEnd(child);
    if (WIFSIGNALED(status)) {
        return "beendet durch Signal " + std::to_string(WTERMSIG(status));
    }
    return "beendet mit Status " + std::to_string(WEXITSTATUS(status));
}

// Starts the toolkit and tells the pipe whose number `descriptor` gives.
bool StartAndTell(GuiModule& gui, std::string_view descriptor) {
    int fd = -1;
    const auto parsed =
        std::from_chars(descriptor.data(), descriptor.data() + descriptor.size(), fd);
    if (parsed.ec != std::errc() || parsed.ptr != descriptor.data() + descriptor.size() ||
        gui.Toolkit() == nullptr) {
        return false;
    }
    const bool told = ::write(fd, &kReady, 1) == 1;
    ::close(fd);
    return told;
}

}  // namespace

void ChildMessageBox::Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) {
    if (!failed_) {
        const std::optional<std::string> failure =
            RunOnDisplay(program_,
                         {kShowMessageSwitch, std::to_string(static_cast<int>(icon)), ToUtf8(title),
                          ToUtf8(text)},
                         startTime_);
        if (!failure) {
            return;
        }
        failed_ = true;
        err_ << NoDisplayNotice(*failure) << std::flush;
    }
    fallback_.Show(text, icon, title);
}

std::optional<std::string> ToolkitStartFailure(const std::string& program,
                                               std::chrono::milliseconds startTime) {
    return RunOnDisplay(program, {kTryDisplaySwitch}, startTime);
}

std::optional<int> HandleShowMessage(int argc, const char* const* argv, GuiModule& gui,
                                     MessageBox& box) {
    if (argc == 3 && std::strcmp(argv[1], kTryDisplaySwitch) == 0) {
        return StartAndTell(gui, argv[2]) ? 0 : 1;
    }
    if ((argc != 5 && argc != 6) || std::strcmp(argv[1], kShowMessageSwitch) != 0) {
        return std::nullopt;
    }
    const std::string_view number = argv[2];
    const MessageIcon icon = number == "1"   ? MessageIcon::Information
                             : number == "2" ? MessageIcon::Warning
                                             : MessageIcon::None;
    const std::u16string text = FromUtf8(argv[4]);
    const std::u16string title = FromUtf8(argv[3]);
    if (argc == 5) {
        box.Show(text, icon, title);
        return 0;
    }
    if (!StartAndTell(gui, argv[5])) {
        return 1;
    }
    gui.Toolkit()->ShowMessage(text, icon, title);
    return 0;
}

}  // namespace trx
