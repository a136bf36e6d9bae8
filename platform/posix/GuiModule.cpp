#include "platform/posix/GuiModule.h"

#include "common/Text.h"

#include <dlfcn.h>

namespace trx {

namespace {

std::string LoaderError() {
    const char* text = ::dlerror();
    return text != nullptr ? text : "unbekannter Fehler";
}

}  // namespace

GuiModule::GuiModule(std::string path, std::string programName)
    : path_(std::move(path)), programName_(std::move(programName)) {
    argv_[0] = programName_.data();
}

GuiModule::~GuiModule() = default;

GuiToolkit* GuiModule::Toolkit() {
    if (tried_) {
        return toolkit_.get();
    }
    tried_ = true;
    // RTLD_LOCAL: the module's own copies of our code stay its own.
    library_ = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        error_ = LoaderError();
        return nullptr;
    }
    auto* interface = reinterpret_cast<GuiInterfaceFunction*>(Entry(kGuiInterfaceEntry));
    auto* open = reinterpret_cast<GuiOpenFunction*>(Entry(kGuiOpenEntry));
    if (interface == nullptr || open == nullptr || interface() != kGuiModuleInterface) {
        error_ = path_ + ": gehört zu einem anderen Stand des Programms";
        return nullptr;
    }
    toolkit_.reset(open(&argc_, argv_));
    if (toolkit_ == nullptr) {
        error_ = path_ + ": die grafische Oberfläche kann in diesem Prozess nicht starten";
    }
    return toolkit_.get();
}

void* GuiModule::Entry(const char* name) {
    return library_ != nullptr ? ::dlsym(library_, name) : nullptr;
}

const char* GuiModuleFileName() {
    return TRX_GUI_MODULE_FILE;
}

std::string GuiModulePath(std::u16string_view programDirectory) {
    return ToFileName(programDirectory) + "/" + GuiModuleFileName();
}

}  // namespace trx
