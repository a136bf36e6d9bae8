#pragma once

#include "platform/GuiToolkit.h"

#include <memory>
#include <string>

namespace trx {

// The graphical module: the message box and the dialog on Qt Widgets, in a
// shared library of its own beside the program (GuiModuleFileName()). It is
// loaded on the first box or dialog shown on a display, so that a run that
// shows nothing there (a quiet registration, a run without a display, an
// automation server) never loads the graphical libraries and starts fast.
class GuiModule {
  public:
    // `path`: the module file; `programName` is the toolkit's argv[0].
    GuiModule(std::string path, std::string programName);
    // Ends the toolkit; the library itself stays loaded, since Qt keeps
    // state of its own up to the end of the process.
    ~GuiModule();
    GuiModule(const GuiModule&) = delete;
    GuiModule& operator=(const GuiModule&) = delete;

    // The toolkit, loaded and started on the first call; null when the
    // module is missing, belongs to another build or cannot start (Error()
    // says why). A failed load is not tried again.
    GuiToolkit* Toolkit();

    // An entry point of the module by name; null when the module is not
    // loaded or has no such entry.
    void* Entry(const char* name);

    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }

  private:
    std::string path_;
    std::string programName_;
    void* library_ = nullptr;
    bool tried_ = false;
    std::string error_;
    // The toolkit keeps references to these for its whole life.
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<GuiToolkit> toolkit_;
};

// The module's file name, as the build names it.
const char* GuiModuleFileName();

// The module's path beside a program in `programDirectory`.
std::string GuiModulePath(std::u16string_view programDirectory);

}  // namespace trx
