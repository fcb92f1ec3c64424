#pragma once

#include "dialog/PropertyControlAdapterValue.h"

// Param<double> <-> double item, with the parameter's option "Format" as display format.
//
// Threading: GUI thread only.
class PropertyControlAdapterFloat : public PropertyControlAdapterValue<double> {
  public:
    int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const override;
};
