#pragma once

#include <string>

#include "dialog/PropertyControlAdapterValue.h"

// Param<std::string> <-> text item. Reading also serves the enumeration adapter: a list item
// gives the text of its selected entry.
//
// Threading: GUI thread only.
class PropertyControlAdapterString : public PropertyControlAdapterValue<std::string> {
  public:
    int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const override;
};
