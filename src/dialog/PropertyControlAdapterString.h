#pragma once

#include "dialog/PropertyControlAdapter.h"

// Param<std::string> <-> text item. Reading also serves the enumeration adapter: a list item
// gives the text of its selected entry.
//
// Threading: GUI thread only.
class PropertyControlAdapterString : public PropertyControlAdapter {
  public:
    int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const override;
    void SetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override;
    void GetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override;
};
