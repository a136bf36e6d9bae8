#include "automation/ClassDescription.h"

#include <algorithm>
#include <stdexcept>

namespace trx {
namespace {

template <class Info>
const Info* FindByName(const std::vector<Info>& members, std::u16string_view name) {
    const auto found = std::find_if(members.begin(), members.end(),
                                    [name](const Info& member) { return member.name == name; });
    return found == members.end() ? nullptr : &*found;
}

}  // namespace

std::size_t MethodInfo::RequiredCount() const {
    std::size_t required = 0;
    while (required < params.size() && !params[required].IsOptional()) {
        ++required;
    }
    return required;
}

const MethodInfo* ClassDescription::FindMethod(std::u16string_view name) const {
    return FindByName(methods, name);
}

const PropertyInfo* ClassDescription::FindProperty(std::u16string_view name) const {
    return FindByName(properties, name);
}

const EventInfo* ClassDescription::FindEvent(std::u16string_view name) const {
    return FindByName(events, name);
}

std::vector<Value> WithDefaults(const MethodInfo& method, std::vector<Value> args) {
    if (args.size() < method.RequiredCount() || args.size() > method.params.size()) {
        throw std::invalid_argument("wrong number of arguments");
    }
    for (std::size_t i = args.size(); i < method.params.size(); ++i) {
        args.push_back(*method.params[i].defaultValue);
    }
    return args;
}

}  // namespace trx
