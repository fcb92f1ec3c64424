#include "dialog/PropertyControlAdapterEnum.h"

#include <cstdint>

#include "dialog/CPropertyGrid.h"
#include "parameters/ParamEnum.h"

int PropertyControlAdapterEnum::CreateItem(Param_* parameter, CPropertyGrid& grid,
                                           int section) const {
    auto& typed = Cast<ParamEnum>(parameter);
    const int64_t current = typed.GetIntValue();
    int selected = 0;
    for (size_t i = 0; i < typed.mEntryValues.size(); ++i) {
        if (typed.mEntryValues[i] == current) {
            selected = static_cast<int>(i);  // the last equal entry wins
        }
    }
    return grid.AddComboItem(section, typed.mName, typed.mEntries, selected, typed.mWritable,
                             false);
}

void PropertyControlAdapterEnum::SetControlValue(Param_* parameter, CPropertyGrid& grid,
                                                 int item) const {
    auto& typed = Cast<ParamEnum>(parameter);
    if (grid.GetItemKind(item) != CPropertyGrid::kCombo ||
        !grid.SetItemValue(item, static_cast<int64_t>(typed.GetIndex()))) {
        ThrowSetFailed(parameter);
    }
}
