#include "registrar/CPXFile.h"

#include "common/Number.h"
#include "common/Path.h"
#include "common/Text.h"
#include "platform/Profile.h"

#include <exception>

namespace trx {

namespace {

constexpr std::u16string_view kApplication = u"vxtControlPanel";
constexpr std::u16string_view kEntries = u"Entries";
constexpr std::u16string_view kReginfo = u"Reginfo";
constexpr std::u16string_view kProgramTitle = u"vxRegCPX";
constexpr std::u16string_view kErrorTitle = u"Fehler";

bool IsBlank(std::u16string_view text) {
    return TrimBlanks(text).empty();
}

std::u16string Quoted(std::u16string_view subject, std::u16string_view rest) {
    std::u16string text = u"'";
    text += subject;
    text += u"'";
    text += rest;
    return text;
}

// The number a StartType text begins with, as a 32-bit integer; 0 when it
// lies outside that range.
std::int32_t ConvertStartType(std::u16string_view text) {
    try {
        return ToInt32(ReadNumber(text));
    } catch (const std::exception&) {
        return 0;
    }
}

// A file name may hold bytes that are no UTF-8 (they travel as lone
// surrogates, see FromFileName); the settings store keeps text, in which
// such a name cannot stand whole.
bool IsWholeText(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

std::u16string DecimalText(std::int32_t value) {
    return FromUtf8(std::to_string(value));
}

struct Flags {
    bool quiet;
    bool showErrors;
    bool ErrorsShown() const { return !quiet || showErrors; }
};

Flags ReadFlags(AutoBool Quiet, AutoBool ShowErrors) {
    return {Quiet != kFalse, ShowErrors == kTrue};
}

}  // namespace

CPXFile::CPXFile(SettingsStore& store, MessageBox& messages, std::u16string programDirectory)
    : store_(store), messages_(messages), programDirectory_(std::move(programDirectory)) {}

// Every step that fails is left out and the next one runs; the methods report
// only through their result and their message boxes.

std::u16string CPXFile::ReadINIValue(std::u16string_view FileName, std::u16string_view Section,
                                     std::u16string_view Key, std::u16string_view Default) {
    try {
        return trx::ReadINIValue(FileName, Section, Key, Default);
    } catch (const std::exception&) {
        return {};
    }
}

bool CPXFile::FileExists(std::u16string_view FileName) {
    try {
        return trx::FileExists(FileName);
    } catch (const std::exception&) {
        return false;
    }
}

// False when the store could not be read or written; a value that is not
// there needs no deleting.
bool CPXFile::Apply(const SettingsBatch& batch) {
    try {
        return store_.Apply(kApplication, batch);
    } catch (const std::exception&) {
        return false;
    }
}

// A store failure's message, with a second line that says why where the
// store can tell (a link it did not follow, a lock that was not released).
std::u16string CPXFile::StoreFailureText(std::u16string_view subject, std::u16string_view rest) {
    std::u16string text = Quoted(subject, rest);
    try {
        const std::u16string reason = FailureReason(store_.LastFailure());
        if (!reason.empty()) {
            text += u'\n';
            text += reason;
        }
    } catch (const std::exception&) {
    }
    return text;
}

void CPXFile::Show(std::u16string_view text, MessageIcon icon, std::u16string_view title) {
    try {
        messages_.Show(text, icon, title);
    } catch (const std::exception&) {
    }
}

AutoBool CPXFile::Register(std::u16string_view cpxFile, AutoBool Quiet, AutoBool ShowErrors) {
    const Flags flags = ReadFlags(Quiet, ShowErrors);

    const std::u16string key = ReadINIValue(cpxFile, kReginfo, u"Key", u"");
    const std::u16string name = ReadINIValue(cpxFile, kReginfo, u"Name", u"");
    std::u16string target = ReadINIValue(cpxFile, kReginfo, u"Target", u"");
    std::u16string icon = ReadINIValue(cpxFile, kReginfo, u"Icon", u"");
    const std::u16string description = ReadINIValue(cpxFile, kReginfo, u"Description", u"");
    const std::int32_t startType =
        ConvertStartType(ReadINIValue(cpxFile, kReginfo, u"StartType", u"1"));

    if (IsBlank(key) || IsBlank(name) || IsBlank(target) || IsBlank(icon)) {
        if (flags.ErrorsShown()) {
            Show(Quoted(cpxFile, u" nicht gefunden oder ungültiges Dateiformat."),
                 MessageIcon::Warning, kErrorTitle);
        }
        return kFalse;
    }

    // Both paths are relative to this program's folder, whatever they hold.
    target = JoinPath(programDirectory_, target);
    icon = JoinPath(programDirectory_, icon);
    for (const std::u16string* path : {&target, &icon}) {
        if (!FileExists(*path)) {
            if (flags.ErrorsShown()) {
                Show(Quoted(*path, u" nicht vorhanden oder ungültig!"), MessageIcon::Warning,
                     kErrorTitle);
            }
            return kFalse;
        }
    }
    for (const std::u16string* path : {&target, &icon}) {
        if (!IsWholeText(*path)) {
            if (flags.ErrorsShown()) {
                Show(Quoted(*path,
                            u" kann nicht in die Registry eingetragen werden: der Pfad ist "
                            u"kein gültiges UTF-8."),
                     MessageIcon::Warning, kErrorTitle);
            }
            return kFalse;
        }
    }

    // The line and the four values are one change of the store, so that no
    // failure or killed process leaves half an entry.
    SettingsBatch entry;
    entry.Save(kEntries, key, name);
    entry.Save(key, u"Description", description);
    entry.Save(key, u"Icon", icon);
    entry.Save(key, u"Target", target);
    entry.Save(key, u"StartType", DecimalText(startType));

    if (!Apply(entry)) {
        if (flags.ErrorsShown()) {
            Show(StoreFailureText(cpxFile, u" konnte nicht in die Registry eingetragen werden."),
                 MessageIcon::Warning, kErrorTitle);
        }
        return kFalse;
    }
    if (!flags.quiet) {
        Show(Quoted(cpxFile, u" wurde erfolgreich registriert."), MessageIcon::Information,
             kProgramTitle);
    }
    return kTrue;
}

AutoBool CPXFile::UnRegister(std::u16string_view Name, AutoBool Quiet, AutoBool ShowErrors) {
    const Flags flags = ReadFlags(Quiet, ShowErrors);

    SettingsBatch entry;
    entry.Delete(kEntries, Name);
    for (const std::u16string_view key : {u"Description", u"Icon", u"Target", u"StartType"}) {
        entry.Delete(Name, key);
    }

    if (!Apply(entry)) {
        if (flags.ErrorsShown()) {
            Show(StoreFailureText(Name, u" konnte nicht aus der Registry entfernt werden."),
                 MessageIcon::Warning, kErrorTitle);
        }
        return kFalse;
    }
    if (!flags.quiet) {
        Show(Quoted(Name, u" wurde erfolgreich aus der Registry entfernt."),
             MessageIcon::Information, kProgramTitle);
    }
    return kTrue;
}

AutoBool CPXFile::UnRegisterFile(std::u16string_view cpxFile, AutoBool Quiet, AutoBool ShowErrors) {
    const Flags flags = ReadFlags(Quiet, ShowErrors);

    const std::u16string key = ReadINIValue(cpxFile, kReginfo, u"Key", u"");
    const std::u16string name = ReadINIValue(cpxFile, kReginfo, u"Name", u"");
    const std::u16string target = ReadINIValue(cpxFile, kReginfo, u"Target", u"");
    const std::u16string icon = ReadINIValue(cpxFile, kReginfo, u"Icon", u"");

    // Target and icon must be named but need not exist any more: an entry
    // whose program is gone can still be removed.
    if (IsBlank(key) || IsBlank(name) || IsBlank(target) || IsBlank(icon)) {
        if (flags.ErrorsShown()) {
            Show(Quoted(cpxFile, u" nicht gefunden oder ungültiges Dateiformat."),
                 MessageIcon::Warning, kErrorTitle);
        }
        return kFalse;
    }

    // Silent inside: this method reports, naming the CPX file.
    if (UnRegister(key, kTrue, kFalse) != kTrue) {
        if (flags.ErrorsShown()) {
            Show(StoreFailureText(cpxFile, u" konnte nicht aus der Registry entfernt werden."),
                 MessageIcon::Warning, kErrorTitle);
        }
        return kFalse;
    }
    if (!flags.quiet) {
        Show(Quoted(cpxFile, u" wurde erfolgreich aus der Registry entfernt."),
             MessageIcon::Information, kProgramTitle);
    }
    return kTrue;
}

}  // namespace trx
