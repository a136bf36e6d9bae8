#pragma once

#include "automation/ClassIdentity.h"
#include "automation/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trx {

using DispatchId = std::uint32_t;

// A parameter, a result or an event argument. A parameter with a default is
// optional; only trailing parameters may be.
struct ParamInfo {
    std::u16string name;
    ValueType type = ValueType::Empty;
    std::optional<Value> defaultValue = {};

    bool IsOptional() const { return defaultValue.has_value(); }
};

// An object of a served class, as a server holds it.
class ServedObject {
  public:
    virtual ~ServedObject() = default;
};

// Handlers receive every parameter, defaults filled in, each of its declared
// type, and throw AutomationError to fail the call.
using Invoker = std::function<Value(ServedObject&, std::span<const Value>)>;
using Getter = std::function<Value(ServedObject&)>;
using Setter = std::function<void(ServedObject&, const Value&)>;

enum class MemberKind {
    Method,
    PropertyGet,  // a read-only property that takes parameters (propget)
};

struct MethodInfo {
    std::u16string name;
    DispatchId dispatchId = 0;
    MemberKind kind = MemberKind::Method;
    std::vector<ParamInfo> params;
    ParamInfo result;  // type Empty: returns nothing
    Invoker call;

    // How many leading parameters a call must give.
    std::size_t RequiredCount() const;
};

// A property without parameters; its put takes one argument, putParam.
struct PropertyInfo {
    std::u16string name;
    DispatchId dispatchId = 0;
    ValueType type = ValueType::Empty;
    Getter get;
    Setter put;  // empty: read-only
    std::u16string putParam = u"vData";
};

struct EventInfo {
    std::u16string name;
    DispatchId dispatchId = 0;
    std::vector<ParamInfo> args;
};

// Raises an event of the object it was made for, to every connected client.
using EventRaiser = std::function<void(const std::u16string& event, std::vector<Value> args)>;

using ObjectFactory = std::function<std::unique_ptr<ServedObject>(const EventRaiser&)>;

// Everything a transport needs to serve one class: identity, members in the
// order of the interface's table, and how to make an object.
struct ClassDescription {
    ClassIdentity identity;
    std::vector<MethodInfo> methods;
    std::vector<PropertyInfo> properties;
    std::vector<EventInfo> events;
    ObjectFactory create;  // may throw AutomationError

    const MethodInfo* FindMethod(std::u16string_view name) const;
    const PropertyInfo* FindProperty(std::u16string_view name) const;
    const EventInfo* FindEvent(std::u16string_view name) const;
};

// The arguments of a call with its omitted trailing optional parameters
// filled in from their defaults. Throws std::invalid_argument when a required
// one is missing or there are too many.
std::vector<Value> WithDefaults(const MethodInfo& method, std::vector<Value> args);

}  // namespace trx
