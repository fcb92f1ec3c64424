#include "dialog/PropertyControlAdapterString.h"

#include <string>

#include "dialog/CPropertyGrid.h"
#include "parameters/Param.h"

int PropertyControlAdapterString::CreateItem(Param_* parameter, CPropertyGrid& grid,
                                             int section) const {
    auto& typed = Cast<Param<std::string>>(parameter);
    return grid.AddTextItem(section, typed.mName, typed.mValue, typed.mWritable, false);
}
