#pragma once

#include "dialog/PropertyControlAdapter.h"

// Param<bool> <-> bool item.
//
// Threading: GUI thread only.
class PropertyControlAdapterBool : public PropertyControlAdapter {
  public:
    int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const override;
    void SetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override;
    void GetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override;
};
