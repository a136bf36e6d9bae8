#include "automation/ClassBuilder.h"

#include "common/Text.h"

namespace trx::detail {

std::vector<ParamInfo> Params(const std::u16string& member, std::vector<Param> given,
                              const std::vector<ValueType>& types) {
    const auto fault = [&member](const char* what) {
        return std::logic_error(ToUtf8(member) + ": " + what);
    };
    if (given.size() != types.size()) {
        throw fault("the description names a different number of parameters");
    }
    std::vector<ParamInfo> params;
    for (std::size_t i = 0; i < given.size(); ++i) {
        auto& param = given[i];
        if (param.defaultValue && TypeOf(*param.defaultValue) != types[i]) {
            throw fault("a default is not of its parameter's type");
        }
        if (!param.defaultValue && !params.empty() && params.back().IsOptional()) {
            throw fault("a required parameter follows an optional one");
        }
        params.push_back({std::move(param.name), types[i], std::move(param.defaultValue)});
    }
    return params;
}

}  // namespace trx::detail
