#include "automation/com/ProgramTypeLibrary.h"

namespace trx::com {

ITypeInfo* LoadInterfaceInfo(ITypeLib* library, REFIID iid) {
    ITypeInfo* info = nullptr;
    if (library == nullptr || FAILED(library->GetTypeInfoOfGuid(iid, &info))) {
        return nullptr;
    }
    HREFTYPE vtableSide = 0;
    ITypeInfo* vtable = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableSide)) &&
        SUCCEEDED(info->GetRefTypeInfo(vtableSide, &vtable))) {
        info->Release();
        return vtable;
    }
    return info;
}

bool ProgramTypeLibrary::Load(REFIID interfaceId) {
    Release();
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(nullptr, path, MAX_PATH) == 0 ||
        FAILED(LoadTypeLibEx(path, REGKIND_NONE, &library_))) {
        library_ = nullptr;
        return false;
    }
    interfaceInfo_ = LoadInterfaceInfo(library_, interfaceId);
    return interfaceInfo_ != nullptr;
}

void ProgramTypeLibrary::Release() {
    if (interfaceInfo_ != nullptr) {
        interfaceInfo_->Release();
        interfaceInfo_ = nullptr;
    }
    if (library_ != nullptr) {
        library_->Release();
        library_ = nullptr;
    }
}

}  // namespace trx::com
