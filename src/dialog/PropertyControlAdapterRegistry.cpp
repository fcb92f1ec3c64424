#include "dialog/PropertyControlAdapterRegistry.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

#include "dialog/PropertyControlAdapterBool.h"
#include "dialog/PropertyControlAdapterEnum.h"
#include "dialog/PropertyControlAdapterFloat.h"
#include "dialog/PropertyControlAdapterInt.h"
#include "dialog/PropertyControlAdapterString.h"
#include "parameters/ParamEnum.h"

namespace {

using Table = std::vector<std::pair<std::type_index, std::shared_ptr<PropertyControlAdapter>>>;

const Table& Registry() {
    static const Table table = {
        {typeid(Param<bool>), std::make_shared<PropertyControlAdapterBool>()},
        {typeid(Param<int>), std::make_shared<PropertyControlAdapterInt<int>>()},
        {typeid(Param<unsigned>), std::make_shared<PropertyControlAdapterInt<unsigned>>()},
        {typeid(Param<int64_t>), std::make_shared<PropertyControlAdapterInt<int64_t>>()},
        {typeid(Param<double>), std::make_shared<PropertyControlAdapterFloat>()},
        {typeid(Param<std::string>), std::make_shared<PropertyControlAdapterString>()},
        {typeid(ParamEnum), std::make_shared<PropertyControlAdapterEnum>()},
    };
    return table;
}

}  // namespace

std::shared_ptr<PropertyControlAdapter> PropertyControlAdapterRegistry::GetAdapter(
    const Param_* parameter) {
    if (parameter != nullptr) {
        const std::type_index type(typeid(*parameter));
        for (const auto& row : Registry()) {
            if (row.first == type) {
                return row.second;
            }
        }
    }
    throw std::runtime_error("Unsupported parameter type");
}
