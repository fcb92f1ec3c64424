#pragma once

#include "dialog/PropertyControlAdapterValue.h"

// Param<bool> <-> bool item.
//
// Threading: GUI thread only.
class PropertyControlAdapterBool : public PropertyControlAdapterValue<bool> {
  public:
    int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const override;
};
