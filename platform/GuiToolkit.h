#pragma once

#include "platform/MessageBox.h"

#include <string_view>

namespace trx {

// The graphical toolkit as the programs see it, made by the graphical module
// (see GuiModule) when the first box or dialog is shown on a display. It owns
// the toolkit's application object; a dialog the module hands out must be
// gone before it is.
class GuiToolkit {
  public:
    virtual ~GuiToolkit() = default;
    // A modal box with the icon, the title, the text and an OK button alone.
    virtual void ShowMessage(std::u16string_view text, MessageIcon icon,
                             std::u16string_view title) = 0;
};

// Changes with every change of a class that crosses into the module, so that
// a program never uses a module of another build.
inline constexpr int kGuiModuleInterface = 1;

// The module's entry points, looked up by name.
inline constexpr char kGuiInterfaceEntry[] = "trx_gui_interface";
inline constexpr char kGuiOpenEntry[] = "trx_gui_open";
using GuiInterfaceFunction = int();
// Starts the toolkit with the program's arguments (kept for the toolkit's
// whole life); null when it cannot start in this process.
using GuiOpenFunction = GuiToolkit*(int* argc, char** argv);

}  // namespace trx
