// The graphical module's entry points: the only code of the programs that
// needs QtGui and QtWidgets. The programs load it with dlopen when they first
// show a box or the dialog on a display.
#include <QApplication>

#include <memory>

#include "platform/GuiToolkit.h"
#include "platform/qt/QtMessageBox.h"
#include "version/CreateVersionView.h"
#include "version/qt/CreateVersionDialog.h"

#define TRX_GUI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class QtToolkit final : public trx::GuiToolkit {
  public:
    QtToolkit(int& argc, char** argv) {
        if (QCoreApplication::instance() == nullptr) {
            application_ = std::make_unique<QApplication>(argc, argv);
        }
    }

    void ShowMessage(std::u16string_view text, trx::MessageIcon icon,
                     std::u16string_view title) override {
        trx::QtMessageBox().Show(text, icon, title);
    }

  private:
    std::unique_ptr<QApplication> application_;
};

}  // namespace

TRX_GUI_EXPORT int trx_gui_interface() {
    return trx::kGuiModuleInterface;
}

TRX_GUI_EXPORT trx::GuiToolkit* trx_gui_open(int* argc, char** argv) {
    // Widgets need a widget application; one of another kind cannot become one.
    const QCoreApplication* running = QCoreApplication::instance();
    if (running != nullptr && qobject_cast<const QApplication*>(running) == nullptr) {
        return nullptr;
    }
    return new QtToolkit(*argc, argv);
}

TRX_GUI_EXPORT trx::AttachableCreateVersionView* trx_gui_create_version_dialog() {
    return new trx::CreateVersionDialog;
}
