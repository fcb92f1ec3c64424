#pragma once

#include <cstdint>
#include <type_traits>

#include "dialog/CPropertyGrid.h"
#include "dialog/PropertyControlAdapter.h"
#include "parameters/Param.h"

// Param<T> <-> integer item for T = int, unsigned or int64_t, with the parameter's option
// "Format" as display format. Towards the grid an int is sign-extended and an unsigned
// zero-extended to 64 bits (4294967295 stays 4294967295); from the grid the 32-bit types take the
// low 32 bits of the item's value.
//
// Threading: GUI thread only.
template <typename T>
class PropertyControlAdapterInt : public PropertyControlAdapter {
    static_assert(std::is_same<T, int>::value || std::is_same<T, unsigned>::value ||
                      std::is_same<T, int64_t>::value,
                  "integer adapters exist for int, unsigned and int64_t");

  public:
    int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const override {
        auto& typed = Cast<Param<T>>(parameter);
        return grid.AddIntegerItem(section, typed.mName, Widen(typed.mValue), DisplayFormat(typed),
                                   typed.mWritable, false);
    }

    void SetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override {
        auto& typed = Cast<Param<T>>(parameter);
        if (!grid.SetItemValue(item, Widen(typed.mValue))) {
            ThrowSetFailed(parameter);
        }
    }

    void GetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const override {
        int64_t value = 0;
        if (!grid.GetItemValue(item, value)) {
            ThrowGetFailed(parameter);
        }
        Cast<Param<T>>(parameter).mValue = Narrow(value);
    }

  private:
    static int64_t Widen(T value) { return static_cast<int64_t>(value); }
    static T Narrow(int64_t value) {
        if constexpr (std::is_same<T, int64_t>::value) {
            return value;
        } else {
            return static_cast<T>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
        }
    }
};
