#pragma once

#include "dialog/PropertyControlAdapter.h"

// Param<double> <-> double item, with the parameter's option "Format" as display format.
//
// Threading: GUI thread only.
class PropertyControlAdapterFloat : public PropertyControlAdapter {
  public:
    int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const override;
    void SetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override;
    void GetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override;
};
