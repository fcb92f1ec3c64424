#include "dialog/PropertyControlAdapterBool.h"

#include "dialog/CPropertyGrid.h"
#include "parameters/Param.h"

int PropertyControlAdapterBool::CreateItem(Param_* parameter, CPropertyGrid& grid,
                                           int section) const {
    auto& typed = Cast<Param<bool>>(parameter);
    return grid.AddBoolItem(section, typed.mName, typed.mValue, typed.mWritable, false);
}
