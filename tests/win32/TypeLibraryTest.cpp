// The type library that each program carries, read back with LoadTypeLib,
// against the class description that the program serves: what the build made
// of the description is what clients see.

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"

#include <oleauto.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/com/ComValue.h"
#include "combolist/VXComboDBClass.h"
#include "combolist/com/RecordSetInterfaces.h"
#include "common/Text.h"
#include "platform/win32/WideText.h"
#include "registrar/CPXFileClass.h"
#include "version/VersionClass.h"

namespace trx::test {
namespace {

// The VARIANT type tag that a type library gives each automation type.
VARTYPE VariantTag(ValueType type) {
    switch (type) {
        case ValueType::Empty:
            return VT_EMPTY;
        case ValueType::Boolean:
            return VT_BOOL;
        case ValueType::Text:
            return VT_BSTR;
        case ValueType::Int32:
            return VT_I4;
        case ValueType::Date:
            return VT_DATE;
        case ValueType::RecordSet:
            return VT_DISPATCH;
    }
    return VT_EMPTY;
}

std::u16string GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    const int chars = StringFromGUID2(guid, text, 40);
    return chars > 0 ? win32::FromWide(std::wstring_view(text, chars - 1)) : std::u16string();
}

// Releases a COM pointer at the end of a scope.
template <class T>
struct Held {
    T* p = nullptr;
    ~Held() {
        if (p != nullptr) {
            p->Release();
        }
    }
    T* operator->() const { return p; }
};

std::string Text(BSTR text) {
    std::string utf8 = ToUtf8(com::FromBstr(text));
    SysFreeString(text);
    return utf8;
}

std::string Name(ITypeInfo* info, MEMBERID id) {
    BSTR name = nullptr;
    info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
    return Text(name);
}

// One slot of the interface as the description expects it.
struct Slot {
    std::u16string name;
    DispatchId id;
    INVOKEKIND kind;
    std::vector<ParamInfo> params;  // without the result
    ValueType result;
};

std::vector<Slot> Slots(const ClassDescription& description) {
    std::vector<Slot> slots;
    for (const MethodInfo& method : description.methods) {
        slots.push_back({method.name, method.dispatchId,
                         method.kind == MemberKind::Method ? INVOKE_FUNC : INVOKE_PROPERTYGET,
                         method.params, method.result.type});
    }
    // A property's put comes before its get, as in the interface's table.
    for (const PropertyInfo& property : description.properties) {
        if (property.put) {
            slots.push_back({property.name,
                             property.dispatchId,
                             INVOKE_PROPERTYPUT,
                             {{property.putParam, property.type}},
                             ValueType::Empty});
        }
        slots.push_back(
            {property.name, property.dispatchId, INVOKE_PROPERTYGET, {}, property.type});
    }
    return slots;
}

void ExpectSlot(ITypeInfo* info, UINT index, const Slot& slot) {
    FUNCDESC* func = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetFuncDesc(index, &func));
    SCOPED_TRACE(ToUtf8(slot.name));
    EXPECT_EQ(Name(info, func->memid), ToUtf8(slot.name));
    EXPECT_EQ(static_cast<DispatchId>(func->memid), slot.id);
    EXPECT_EQ(func->invkind, slot.kind);
    // After the seven slots of IDispatch, in order.
    EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + index) * sizeof(void*)));

    const bool hasResult = slot.result != ValueType::Empty;
    ASSERT_EQ(static_cast<std::size_t>(func->cParams), slot.params.size() + (hasResult ? 1 : 0));
    std::vector<BSTR> names(func->cParams + 1u);
    UINT got = 0;
    info->GetNames(func->memid, names.data(), static_cast<UINT>(names.size()), &got);
    for (UINT i = 0; i < got; ++i) {
        const std::string name = Text(names[i]);
        if (slot.kind != INVOKE_PROPERTYPUT && i >= 1 && i <= slot.params.size()) {
            EXPECT_EQ(name, ToUtf8(slot.params[i - 1].name));
        }
    }
    for (std::size_t i = 0; i < slot.params.size(); ++i) {
        const ParamInfo& param = slot.params[i];
        const ELEMDESC& element = func->lprgelemdescParam[i];
        SCOPED_TRACE(ToUtf8(param.name));
        EXPECT_EQ(element.tdesc.vt, VariantTag(param.type));
        const USHORT flags = element.paramdesc.wParamFlags;
        EXPECT_TRUE(flags & PARAMFLAG_FIN);
        EXPECT_EQ((flags & PARAMFLAG_FOPT) != 0, param.IsOptional());
        EXPECT_EQ((flags & PARAMFLAG_FHASDEFAULT) != 0, param.IsOptional());
        if (param.IsOptional() && (flags & PARAMFLAG_FHASDEFAULT)) {
            const VARIANT& fallback = element.paramdesc.pparamdescex->varDefaultValue;
            ASSERT_EQ(V_VT(&fallback), VariantTag(param.type));
            if (param.type == ValueType::Text) {
                EXPECT_EQ(com::FromBstr(V_BSTR(&fallback)),
                          std::get<std::u16string>(*param.defaultValue));
            } else {
                EXPECT_EQ(V_BOOL(&fallback), std::get<AutoBool>(*param.defaultValue));
            }
        }
    }
    if (hasResult) {
        const ELEMDESC& element = func->lprgelemdescParam[slot.params.size()];
        EXPECT_TRUE(element.paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
        ASSERT_EQ(element.tdesc.vt, VT_PTR);
        EXPECT_EQ(element.tdesc.lptdesc->vt, VariantTag(slot.result));
    }
    info->ReleaseFuncDesc(func);
}

// The event interface: the class's default source, a dispinterface with each
// event at its dispatch identifier, its arguments by name.
void ExpectEvents(ITypeInfo* coclass, const ClassDescription& description) {
    const ClassIdentity& identity = description.identity;
    INT flags = 0;
    ASSERT_HRESULT_SUCCEEDED(coclass->GetImplTypeFlags(1, &flags));
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    HREFTYPE sourceRef = 0;
    Held<ITypeInfo> source;
    ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeOfImplType(1, &sourceRef));
    ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeInfo(sourceRef, &source.p));
    EXPECT_EQ(Name(source.p, MEMBERID_NIL), ToUtf8(identity.EventInterfaceName()));
    TYPEATTR* attributes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(source->GetTypeAttr(&attributes));
    EXPECT_EQ(ToUtf8(GuidText(attributes->guid)), ToUtf8(identity.eventInterfaceId));
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    const UINT functions = attributes->cFuncs;
    source->ReleaseTypeAttr(attributes);
    ASSERT_EQ(functions, description.events.size());
    for (UINT i = 0; i < functions; ++i) {
        const EventInfo& event = description.events[i];
        FUNCDESC* func = nullptr;
        ASSERT_HRESULT_SUCCEEDED(source->GetFuncDesc(i, &func));
        EXPECT_EQ(Name(source.p, func->memid), ToUtf8(event.name));
        EXPECT_EQ(static_cast<DispatchId>(func->memid), event.dispatchId);
        ASSERT_EQ(static_cast<std::size_t>(func->cParams), event.args.size());
        for (std::size_t a = 0; a < event.args.size(); ++a) {
            EXPECT_EQ(func->lprgelemdescParam[a].tdesc.vt, VariantTag(event.args[a].type));
        }
        source->ReleaseFuncDesc(func);
    }
}

// The library as the resource PATH names it, laid out for KIND.
void ExpectTypeLibrary(const std::wstring& path, SYSKIND kind,
                       const ClassDescription& description) {
    const ClassIdentity& identity = description.identity;
    SCOPED_TRACE(ToUtf8(identity.ProgId()) + (kind == SYS_WIN32 ? " (32-bit)" : ""));
    Held<ITypeLib> library;
    ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library.p));

    TLIBATTR* attributes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(library->GetLibAttr(&attributes));
    EXPECT_EQ(attributes->syskind, kind);
    EXPECT_EQ(ToUtf8(GuidText(attributes->guid)), ToUtf8(identity.typeLibrary.id));
    EXPECT_EQ(attributes->wMajorVerNum, identity.typeLibrary.majorVersion);
    EXPECT_EQ(attributes->wMinorVerNum, identity.typeLibrary.minorVersion);
    library->ReleaseTLibAttr(attributes);
    BSTR name = nullptr;
    BSTR help = nullptr;
    library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
    EXPECT_EQ(Text(name), ToUtf8(identity.typeLibrary.name));
    EXPECT_EQ(Text(help), ToUtf8(identity.typeLibrary.helpText));

    // The class, creatable, with the default interface.
    Held<ITypeInfo> coclass;
    ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(com::GuidOf(identity.classId), &coclass.p));
    EXPECT_EQ(Name(coclass.p, MEMBERID_NIL), ToUtf8(identity.className));
    TYPEATTR* classAttributes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(coclass->GetTypeAttr(&classAttributes));
    EXPECT_EQ(classAttributes->typekind, TKIND_COCLASS);
    EXPECT_TRUE(classAttributes->wTypeFlags & TYPEFLAG_FCANCREATE);
    coclass->ReleaseTypeAttr(classAttributes);
    HREFTYPE defaultRef = 0;
    Held<ITypeInfo> defaultInterface;
    ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeOfImplType(0, &defaultRef));
    ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeInfo(defaultRef, &defaultInterface.p));
    EXPECT_EQ(Name(defaultInterface.p, MEMBERID_NIL), ToUtf8(identity.InterfaceName()));

    // The interface: dual, hidden, non-extensible; its vtable side
    // automation-compatible.
    Held<ITypeInfo> dispatch;
    ASSERT_HRESULT_SUCCEEDED(
        library->GetTypeInfoOfGuid(com::GuidOf(identity.interfaceId), &dispatch.p));
    TYPEATTR* dispatchAttributes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(dispatch->GetTypeAttr(&dispatchAttributes));
    const WORD flags = dispatchAttributes->wTypeFlags;
    dispatch->ReleaseTypeAttr(dispatchAttributes);
    EXPECT_EQ((flags & TYPEFLAG_FDUAL) != 0, identity.flags.dual);
    EXPECT_EQ((flags & TYPEFLAG_FHIDDEN) != 0, identity.flags.hidden);
    EXPECT_EQ((flags & TYPEFLAG_FNONEXTENSIBLE) != 0, identity.flags.nonExtensible);

    // Its vtable side, slot by slot.
    HREFTYPE vtableRef = 0;
    Held<ITypeInfo> vtable;
    ASSERT_HRESULT_SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef));
    ASSERT_HRESULT_SUCCEEDED(dispatch->GetRefTypeInfo(vtableRef, &vtable.p));
    TYPEATTR* vtableAttributes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(vtable->GetTypeAttr(&vtableAttributes));
    const UINT functions = vtableAttributes->cFuncs;
    EXPECT_TRUE(vtableAttributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    EXPECT_TRUE(vtableAttributes->wTypeFlags & TYPEFLAG_FDUAL);
    vtable->ReleaseTypeAttr(vtableAttributes);
    const std::vector<Slot> slots = Slots(description);
    ASSERT_EQ(functions, slots.size());
    for (UINT i = 0; i < functions; ++i) {
        ExpectSlot(vtable.p, i, slots[i]);
    }

    // The alias names the default interface.
    Held<ITypeInfo> alias;
    ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(com::GuidOf(identity.aliasId), &alias.p));
    EXPECT_EQ(Name(alias.p, MEMBERID_NIL), ToUtf8(identity.aliasName));
    TYPEATTR* aliasAttributes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(alias->GetTypeAttr(&aliasAttributes));
    EXPECT_EQ(aliasAttributes->typekind, TKIND_ALIAS);
    ASSERT_EQ(aliasAttributes->tdescAlias.vt, VT_USERDEFINED);
    Held<ITypeInfo> aliased;
    ASSERT_HRESULT_SUCCEEDED(
        alias->GetRefTypeInfo(aliasAttributes->tdescAlias.hreftype, &aliased.p));
    alias->ReleaseTypeAttr(aliasAttributes);
    TYPEATTR* aliasedAttributes = nullptr;
    ASSERT_HRESULT_SUCCEEDED(aliased->GetTypeAttr(&aliasedAttributes));
    EXPECT_EQ(ToUtf8(GuidText(aliasedAttributes->guid)), ToUtf8(identity.interfaceId));
    aliased->ReleaseTypeAttr(aliasedAttributes);

    if (identity.HasEvents()) {
        ExpectEvents(coclass.p, description);
    }
    // The other interfaces that registration files, by their GUIDs and names.
    for (const auto& [id, interfaceName] : identity.otherInterfaces) {
        Held<ITypeInfo> other;
        ASSERT_HRESULT_SUCCEEDED(library->GetTypeInfoOfGuid(com::GuidOf(id), &other.p));
        EXPECT_EQ(Name(other.p, MEMBERID_NIL), ToUtf8(interfaceName));
    }
}

// Each program carries its library for 64-bit clients as resource 1 and for
// 32-bit clients as resource 2.
void ExpectTypeLibraryOf(const char* program, const ClassDescription& description) {
    const std::wstring path = std::filesystem::path(program).wstring();
    ExpectTypeLibrary(path, SYS_WIN64, description);
    ExpectTypeLibrary(path + L"\\2", SYS_WIN32, description);
}

TEST(TypeLibrary, OfEachProgramMatchesTheClassItServes) {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ExpectTypeLibraryOf(TRX_VXREGCPX_EXE, CPXFileShape());
    ExpectTypeLibraryOf(TRX_VXTRXVER_EXE, VersionShape());
    ClassDescription comboDB = VXComboDBShape();
    for (const ComInterface& recordSet : RecordSetInterfaces()) {
        comboDB.identity.otherInterfaces.emplace_back(recordSet.id, recordSet.name);
    }
    ExpectTypeLibraryOf(TRX_VXBCBOSV_EXE, comboDB);
    CoUninitialize();
}

}  // namespace
}  // namespace trx::test
