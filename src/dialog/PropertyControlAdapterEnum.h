#pragma once

#include "dialog/PropertyControlAdapterString.h"

// ParamEnum <-> drop-down list item: the entries in entry order, selected = the last entry whose
// value equals the parameter's integer value (0 when none). Reading stores the selected entry's
// text (inherited from the text adapter); putting selects the entry named by the value
// (ParamEnum::GetIndex).
//
// Threading: GUI thread only.
class PropertyControlAdapterEnum : public PropertyControlAdapterString {
  public:
    int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const override;
    void SetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override;
};
