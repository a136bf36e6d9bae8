#pragma once

// A COM interface as its type library declares it, in IDL's own words: the
// record set's interfaces are written this way, and a class description is
// turned into one (TypeLibrarySource.h). Plain C++: the type library is
// made from these on the build machine.

#include "automation/ClassDescription.h"
#include "automation/ClassIdentity.h"

#include <string>
#include <utility>
#include <vector>

namespace trx {

// A parameter: an IDL type ("long", "BSTR", "VARIANT") and its name; a
// default in IDL ("-1", "\"\"") makes it optional. An optional VARIANT may
// go without a default: then an omitted argument arrives as VT_ERROR
// DISP_E_PARAMNOTFOUND and the member itself gives it its meaning.
struct ComParam {
    std::u16string type;
    std::u16string name;
    std::u16string defaultValue = {};
    bool optional = false;
};

enum class ComSlot { Method, PropertyGet, PropertyPut };

// One slot of the interface's table, in the table's order.
struct ComMember {
    DispatchId id = 0;
    ComSlot slot = ComSlot::Method;
    std::u16string name;
    std::vector<ComParam> params = {};
    std::u16string result = {};      // the IDL type of [out, retval] Result; empty: none
    std::u16string attributes = {};  // further attributes: "restricted, hidden"
};

inline ComMember ComMethod(DispatchId id, std::u16string name, std::vector<ComParam> params = {},
                           std::u16string result = {}) {
    return {id, ComSlot::Method, std::move(name), std::move(params), std::move(result)};
}
inline ComMember ComGet(DispatchId id, std::u16string name, std::u16string result,
                        std::vector<ComParam> params = {}, std::u16string attributes = {}) {
    return {id,
            ComSlot::PropertyGet,
            std::move(name),
            std::move(params),
            std::move(result),
            std::move(attributes)};
}
inline ComMember ComPut(DispatchId id, std::u16string name, ComParam value) {
    return {id, ComSlot::PropertyPut, std::move(name), {std::move(value)}};
}

// A dual interface of the type library.
struct ComInterface {
    std::u16string name;
    std::u16string id;       // GUID in braces
    std::u16string comment;  // what the interface is, written above it
    InterfaceFlags flags;
    std::vector<ComMember> members;
};

}  // namespace trx
