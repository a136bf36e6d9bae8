#pragma once

#include "automation/AutomationType.h"
#include "automation/ClassDescription.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace trx {

// A parameter as a class description names it; Optional gives it a default.
struct Param {
    Param(const char16_t* required) : name(required) {}  // NOLINT: a bare name is required
    Param(std::u16string given, std::optional<Value> fallback = {})
        : name(std::move(given)), defaultValue(std::move(fallback)) {}

    std::u16string name;
    std::optional<Value> defaultValue;
};

template <class T>
Param Optional(std::u16string name, T defaultValue) {
    return Param(std::move(name), ToValue(std::move(defaultValue)));
}

namespace detail {

// What a member function takes and gives, as automation types.
template <class C, class R, class... A>
struct Signature {
    static constexpr std::size_t kArity = sizeof...(A);
    static std::vector<ValueType> ParamTypes() { return {kValueTypeOf<A>...}; }
    static constexpr ValueType ResultType() {
        if constexpr (std::is_void_v<R>) {
            return ValueType::Empty;
        } else {
            return kValueTypeOf<R>;
        }
    }

    template <auto Fn, class T, std::size_t... I>
    static Value Invoke(T& object, std::span<const Value> args, std::index_sequence<I...>) {
        if constexpr (std::is_void_v<R>) {
            (object.*Fn)(AutomationTypeOf<A>::From(args[I])...);
            return {};
        } else {
            return ToValue((object.*Fn)(AutomationTypeOf<A>::From(args[I])...));
        }
    }
    template <auto Fn, class T>
    static Value Invoke(T& object, std::span<const Value> args) {
        return Invoke<Fn>(object, args, std::index_sequence_for<A...>{});
    }
};

template <class F>
struct MemberFunction;
template <class C, class R, class... A>
struct MemberFunction<R (C::*)(A...)> : Signature<C, R, A...> {};
template <class C, class R, class... A>
struct MemberFunction<R (C::*)(A...) const> : Signature<C, R, A...> {};

std::vector<ParamInfo> Params(const std::u16string& member, std::vector<Param> given,
                              const std::vector<ValueType>& types);

}  // namespace detail

// An object of a served class whose objects are of type T, as its
// description's factory makes it.
template <class T>
class ServedAs final : public ServedObject {
  public:
    explicit ServedAs(std::unique_ptr<T> made) : value(std::move(made)) {}
    std::unique_ptr<T> value;
};

// The T of an object made by a description of T's class.
template <class T>
T& ObjectOf(ServedObject& object) {
    return *static_cast<ServedAs<T>&>(object).value;
}

// Raises an event with typed arguments through raise.
template <class... A>
void Raise(const EventRaiser& raise, const std::u16string& event, A&&... args) {
    raise(event, std::vector<Value>{ToValue(std::forward<A>(args))...});
}

// Describes a class whose objects are of type T from T's own member
// functions: their types give the parameters' and results' types, so the
// description states only names, dispatch identifiers and defaults. A
// description that does not fit its functions throws std::logic_error.
template <class T>
class ClassBuilder {
  public:
    explicit ClassBuilder(ClassIdentity identity) { class_.identity = std::move(identity); }

    // How the objects are made, for a description built without it.
    static ObjectFactory Factory(std::function<std::unique_ptr<T>(const EventRaiser&)> make) {
        return [make = std::move(make)](const EventRaiser& raise) {
            return std::unique_ptr<ServedObject>(std::make_unique<ServedAs<T>>(make(raise)));
        };
    }

    ClassBuilder& Create(std::function<std::unique_ptr<T>(const EventRaiser&)> make) {
        class_.create = Factory(std::move(make));
        return *this;
    }

    template <auto Fn>
    ClassBuilder& Method(std::u16string name, DispatchId id, std::vector<Param> params = {},
                         std::u16string result = u"Result") {
        return Add<Fn>(MemberKind::Method, std::move(name), id, std::move(params),
                       std::move(result));
    }

    // A read-only property with parameters.
    template <auto Fn>
    ClassBuilder& PropertyGet(std::u16string name, DispatchId id, std::vector<Param> params,
                              std::u16string result = u"Result") {
        return Add<Fn>(MemberKind::PropertyGet, std::move(name), id, std::move(params),
                       std::move(result));
    }

    template <auto Get, auto Put = nullptr>
    ClassBuilder& Property(std::u16string name, DispatchId id) {
        using G = detail::MemberFunction<decltype(Get)>;
        static_assert(G::kArity == 0, "a property's get takes no parameters");
        PropertyInfo property{std::move(name),
                              id,
                              G::ResultType(),
                              [](ServedObject& o) { return G::template Invoke<Get>(Of(o), {}); },
                              {}};
        // Decided by the type: GCC's UBSan build cannot compare a member
        // pointer with nullptr in a constant expression.
        if constexpr (!std::is_same_v<decltype(Put), std::nullptr_t>) {
            using P = detail::MemberFunction<decltype(Put)>;
            static_assert(P::kArity == 1, "a property's put takes one parameter");
            if (P::ParamTypes().front() != G::ResultType()) {
                throw std::logic_error("the put and get of a property differ in type");
            }
            property.put = [](ServedObject& o, const Value& value) {
                P::template Invoke<Put>(Of(o), std::span<const Value>(&value, 1));
            };
        }
        class_.properties.push_back(std::move(property));
        return *this;
    }

    template <class... A>
    ClassBuilder& Event(std::u16string name, DispatchId id,
                        std::vector<std::u16string> names = {}) {
        if (names.size() != sizeof...(A)) {
            throw std::logic_error("an event names each of its arguments");
        }
        const std::vector<ValueType> types{kValueTypeOf<A>...};
        EventInfo event{std::move(name), id, {}};
        for (std::size_t i = 0; i < names.size(); ++i) {
            event.args.push_back({std::move(names[i]), types[i]});
        }
        class_.events.push_back(std::move(event));
        return *this;
    }

    ClassDescription Build() { return std::move(class_); }

  private:
    // Every object of this description was made by its factory.
    static T& Of(ServedObject& object) { return ObjectOf<T>(object); }

    template <auto Fn>
    ClassBuilder& Add(MemberKind kind, std::u16string name, DispatchId id,
                      std::vector<Param> params, std::u16string result) {
        using F = detail::MemberFunction<decltype(Fn)>;
        MethodInfo method{name,
                          id,
                          kind,
                          detail::Params(name, std::move(params), F::ParamTypes()),
                          {},
                          [](ServedObject& o, std::span<const Value> args) {
                              return F::template Invoke<Fn>(Of(o), args);
                          }};
        if (F::ResultType() != ValueType::Empty) {
            method.result = {std::move(result), F::ResultType()};
        }
        class_.methods.push_back(std::move(method));
        return *this;
    }

    ClassDescription class_;
};

}  // namespace trx
