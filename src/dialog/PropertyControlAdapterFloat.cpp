#include "dialog/PropertyControlAdapterFloat.h"

#include "dialog/CPropertyGrid.h"
#include "parameters/Param.h"

int PropertyControlAdapterFloat::CreateItem(Param_* parameter, CPropertyGrid& grid,
                                            int section) const {
    auto& typed = Cast<Param<double>>(parameter);
    return grid.AddDoubleItem(section, typed.mName, typed.mValue, DisplayFormat(typed),
                              typed.mWritable, false);
}

void PropertyControlAdapterFloat::SetControlValue(Param_* parameter, CPropertyGrid& grid,
                                                  int item) const {
    auto& typed = Cast<Param<double>>(parameter);
    if (!grid.SetItemValue(item, typed.mValue)) {
        ThrowSetFailed(parameter);
    }
}

void PropertyControlAdapterFloat::GetControlValue(Param_* parameter, CPropertyGrid& grid,
                                                  int item) const {
    double value = 0.0;
    if (!grid.GetItemValue(item, value)) {
        ThrowGetFailed(parameter);
    }
    Cast<Param<double>>(parameter).mValue = value;
}
