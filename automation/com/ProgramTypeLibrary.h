#pragma once

// The type library that a server program carries as its resource, and the
// type information of its served class's default interface.

#include "platform/win32/Win32.h"

#include <oaidl.h>

namespace trx::com {

// The type information of the vtable side of a dual interface of the
// library (which ITypeInfo::Invoke calls); null when it has none.
ITypeInfo* LoadInterfaceInfo(ITypeLib* library, REFIID iid);

class ProgramTypeLibrary {
  public:
    ProgramTypeLibrary() = default;
    ~ProgramTypeLibrary() { Release(); }
    ProgramTypeLibrary(const ProgramTypeLibrary&) = delete;
    ProgramTypeLibrary& operator=(const ProgramTypeLibrary&) = delete;

    // Loads the program's library and the type information of the interface;
    // false when either is missing or unreadable.
    bool Load(REFIID interfaceId);
    void Release();

    // Null before Load and after Release.
    ITypeLib* Library() const { return library_; }
    ITypeInfo* InterfaceInfo() const { return interfaceInfo_; }

  private:
    ITypeLib* library_ = nullptr;
    ITypeInfo* interfaceInfo_ = nullptr;
};

}  // namespace trx::com
