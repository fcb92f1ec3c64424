#include "dialog/PropertyControlAdapterBool.h"

#include "dialog/CPropertyGrid.h"
#include "parameters/Param.h"

int PropertyControlAdapterBool::CreateItem(Param_* parameter, CPropertyGrid& grid,
                                           int section) const {
    auto& typed = Cast<Param<bool>>(parameter);
    return grid.AddBoolItem(section, typed.mName, typed.mValue, typed.mWritable, false);
}

void PropertyControlAdapterBool::SetControlValue(Param_* parameter, CPropertyGrid& grid,
                                                 int item) const {
    auto& typed = Cast<Param<bool>>(parameter);
    if (!grid.SetItemValue(item, typed.mValue)) {
        ThrowSetFailed(parameter);
    }
}

void PropertyControlAdapterBool::GetControlValue(Param_* parameter, CPropertyGrid& grid,
                                                 int item) const {
    bool value = false;
    if (!grid.GetItemValue(item, value)) {
        ThrowGetFailed(parameter);
    }
    Cast<Param<bool>>(parameter).mValue = value;
}
