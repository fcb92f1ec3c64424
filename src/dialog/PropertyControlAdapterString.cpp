#include "dialog/PropertyControlAdapterString.h"

#include <string>

#include "dialog/CPropertyGrid.h"
#include "parameters/Param.h"

int PropertyControlAdapterString::CreateItem(Param_* parameter, CPropertyGrid& grid,
                                             int section) const {
    auto& typed = Cast<Param<std::string>>(parameter);
    return grid.AddTextItem(section, typed.mName, typed.mValue, typed.mWritable, false);
}

void PropertyControlAdapterString::SetControlValue(Param_* parameter, CPropertyGrid& grid,
                                                   int item) const {
    auto& typed = Cast<Param<std::string>>(parameter);
    if (!grid.SetItemValue(item, typed.mValue)) {
        ThrowSetFailed(parameter);
    }
}

void PropertyControlAdapterString::GetControlValue(Param_* parameter, CPropertyGrid& grid,
                                                   int item) const {
    std::string value;
    if (!grid.GetItemValue(item, value)) {
        ThrowGetFailed(parameter);
    }
    Cast<Param<std::string>>(parameter).mValue = value;
}
