#include "dialog/PropertyControlAdapterFloat.h"

#include "dialog/CPropertyGrid.h"
#include "parameters/Param.h"

int PropertyControlAdapterFloat::CreateItem(Param_* parameter, CPropertyGrid& grid,
                                            int section) const {
    auto& typed = Cast<Param<double>>(parameter);
    return grid.AddDoubleItem(section, typed.mName, typed.mValue, DisplayFormat(typed),
                              typed.mWritable, false);
}
