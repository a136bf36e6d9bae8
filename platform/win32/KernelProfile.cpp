// The profile routines on Windows: the kernel's own profile functions, with
// text in the system's ANSI code page.

#include "platform/win32/Win32.h"

#include <string>
#include <string_view>

#include "common/ProfileEntry.h"
#include "common/ProfileLine.h"
#include "platform/Profile.h"
#include "platform/win32/WideText.h"

namespace trx {

namespace {

// The read buffer: a value comes back with at most 2047 characters.
constexpr DWORD kBufferSize = 2048;

// Characters the code page cannot represent become its default character.
std::string ToAnsi(std::u16string_view text) {
    if (text.empty()) {
        return {};
    }
    const std::wstring wide = win32::Wide(text);
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                            size, nullptr, nullptr);
    }
    return bytes;
}

std::u16string FromAnsi(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                            size);
    }
    return win32::FromWide(wide);
}

// The kernel looks for a bare file name in the Windows folder; the programs
// mean the current folder, where FileExists looks too and where a user who
// types "vxRegCPX entry.cpx" has the file. Paths with a folder stay as given.
std::string InCurrentFolderIfBare(std::string file) {
    if (!file.empty() && file.find_first_of("\\/:") == std::string::npos) {
        file.insert(0, ".\\");
    }
    return file;
}

// A NUL inside a text would end it early at the kernel; such a name cannot
// address anything, so the call is not made.
bool HoldsNul(std::u16string_view text) {
    return text.find(u'\0') != std::u16string_view::npos;
}

// The profile functions take a file whose full path fits in MAX_PATH
// characters; a longer one they cannot address, and very long ones (some
// 32,000 characters) make them fault inside the kernel library. Such a name
// is refused before the call, like one holding NUL.
bool Addressable(std::u16string_view fileName) {
    if (HoldsNul(fileName) || fileName.size() >= MAX_PATH) {
        return false;
    }
    const std::wstring wide = win32::Wide(fileName);
    const DWORD full = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    return full != 0 && full <= MAX_PATH;
}

}  // namespace

std::u16string ReadINIValue(std::u16string_view fileName, std::u16string_view section,
                            std::u16string_view key, std::u16string_view defaultValue) {
    const std::string file = InCurrentFolderIfBare(ToAnsi(fileName));
    const std::string sectionName = ToAnsi(section);
    const std::string keyName = ToAnsi(key);
    const std::string fallback = ToAnsi(defaultValue);
    std::string buffer(kBufferSize, ' ');
    DWORD got = 0;
    if (!Addressable(fileName) || HoldsNul(section) || HoldsNul(key)) {
        // Cut at the NUL such a name would address another file, section or
        // key, and a path too long addresses no file: the default comes back
        // as the kernel gives it for a missing value (no trailing blanks, one
        // pair of quotes removed, within the buffer).
        std::u16string_view text = defaultValue;
        text = profile::StripQuotePair(text.substr(0, text.find_last_not_of(u' ') + 1));
        buffer.assign(ToAnsi(text).substr(0, kBufferSize - 1));
        got = static_cast<DWORD>(buffer.size());
    } else {
        got = GetPrivateProfileStringA(sectionName.c_str(), keyName.c_str(), fallback.c_str(),
                                       buffer.data(), kBufferSize, file.c_str());
    }
    return FromAnsi(std::string_view(buffer.data(), got < kBufferSize ? got : kBufferSize - 1));
}

bool WriteINIValue(std::u16string_view fileName, std::u16string_view section,
                   std::u16string_view key, std::u16string_view value) {
    // An entry that a profile line cannot hold (a line break in the value,
    // "=" in the key, ...) would corrupt the lines after it: refused, as on Linux.
    if (fileName.empty() || !Addressable(fileName) ||
        profile::CheckEntry(section, key, value) != profile::EntryProblem::None) {
        return false;
    }
    const std::string file = InCurrentFolderIfBare(ToAnsi(fileName));
    const std::string sectionName = ToAnsi(section);
    const std::string keyName = ToAnsi(key);
    const std::string text = ToAnsi(value);
    return WritePrivateProfileStringA(sectionName.c_str(), keyName.c_str(), text.c_str(),
                                      file.c_str()) != FALSE;
}

bool WriteINIValue(std::u16string_view fileName, std::u16string_view section,
                   std::u16string_view key, std::u16string_view value, FileFailure& failure) {
    // The kernel tells no more than that the write failed.
    failure = FailureOf(std::u16string(fileName));
    return WriteINIValue(fileName, section, key, value);
}

bool FileExists(std::u16string_view fileName) {
    if (fileName.empty() || HoldsNul(fileName)) {
        return false;
    }
    // Opened for sequential reading and closed again at once; a directory
    // cannot be opened this way.
    const HANDLE file =
        CreateFileW(win32::Wide(fileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    return CloseHandle(file) != FALSE;
}

}  // namespace trx
