#pragma once

#include "dialog/CPropertyGrid.h"
#include "dialog/PropertyControlAdapter.h"
#include "parameters/Param.h"

// Moves the value of a Param<T> to and from a grid item that holds a T as it is (T = bool,
// double, std::string); the adapter of each class adds how its item is made (CreateItem).
//
// Threading: GUI thread only.
template <typename T>
class PropertyControlAdapterValue : public PropertyControlAdapter {
  public:
    void SetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override {
        auto& typed = Cast<Param<T>>(parameter);
        if (!grid.SetItemValue(item, typed.mValue)) {
            ThrowSetFailed(parameter);
        }
    }

    void GetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override {
        T value{};
        if (!grid.GetItemValue(item, value)) {
            ThrowGetFailed(parameter);
        }
        Cast<Param<T>>(parameter).mValue = value;
    }
};
