#pragma once

#include "common/AutomationBool.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"

#include <string>
#include <string_view>

namespace trx {

// Registers control-panel entries described by CPX files in the settings
// store (application vxtControlPanel) and removes them again. An object holds
// nothing but its platform services: every call stands by itself.
//
// Quiet counts as true when it is not 0, ShowErrors only when it is -1, as
// automation clients pass them. Results are -1 (true) or 0 (false).
class CPXFile {
  public:
    CPXFile(SettingsStore& store, MessageBox& messages, std::u16string programDirectory);

    AutoBool Register(std::u16string_view cpxFile, AutoBool Quiet = kFalse,
                      AutoBool ShowErrors = kFalse);
    AutoBool UnRegister(std::u16string_view Name, AutoBool Quiet = kFalse,
                        AutoBool ShowErrors = kFalse);
    AutoBool UnRegisterFile(std::u16string_view cpxFile, AutoBool Quiet = kFalse,
                            AutoBool ShowErrors = kFalse);

  private:
    static std::u16string ReadINIValue(std::u16string_view FileName, std::u16string_view Section,
                                       std::u16string_view Key, std::u16string_view Default);
    static bool FileExists(std::u16string_view FileName);

    bool Apply(const SettingsBatch& batch);
    std::u16string StoreFailureText(std::u16string_view subject, std::u16string_view rest);
    void Show(std::u16string_view text, MessageIcon icon, std::u16string_view title);

    SettingsStore& store_;
    MessageBox& messages_;
    std::u16string programDirectory_;
};

}  // namespace trx
