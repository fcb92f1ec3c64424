#pragma once

#include <string>

class CPropertyGrid;
class Param_;

// Binds one parameter class to one kind of property-grid item: creates the parameter's item and
// moves the value between parameter and item. Adapters hold no state; there is one shared
// instance per parameter class (PropertyControlAdapterRegistry).
//
// Every operation first down-casts the parameter to the adapter's class (a derived class passes,
// so a ParamEnum passes as a text parameter); a failed cast throws std::bad_cast with the text
// "Wrong parameter 'NAME' type". A grid that refuses a value throws std::runtime_error
// "Failed to set control 'NAME' value" or "Failed to get control 'NAME' value" (item missing, of
// another kind, or, when reading, undefined). GetControlValue reads the grid before it casts, and
// stores the value directly: no range check, no notification. A failure leaves the parameter
// unchanged. Adapters log nothing.
//
// Threading: GUI thread only, like the grid.
class PropertyControlAdapter {
  public:
    virtual ~PropertyControlAdapter();

    // Appends the parameter's item (its name, editable = mWritable, defined) to the section;
    // returns the grid's id, -1 when the section is missing or already has that name.
    virtual int CreateItem(Param_* parameter, CPropertyGrid& grid, int section) const = 0;
    // Puts the parameter's value into the item.
    virtual void SetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const = 0;
    // Puts the item's value into the parameter.
    virtual void GetControlValue(Param_* parameter, CPropertyGrid& grid, int item) const = 0;

  protected:
    PropertyControlAdapter() = default;

    // The parameter as a T, or std::bad_cast "Wrong parameter 'NAME' type".
    template <typename T>
    static T& Cast(Param_* parameter) {
        T* typed = dynamic_cast<T*>(parameter);
        if (typed == nullptr) {
            ThrowWrongType(parameter);
        }
        return *typed;
    }
    [[noreturn]] static void ThrowWrongType(const Param_* parameter);
    [[noreturn]] static void ThrowSetFailed(const Param_* parameter);
    [[noreturn]] static void ThrowGetFailed(const Param_* parameter);
    // The parameter's option "Format" as text, "" when it has none.
    static std::string DisplayFormat(const Param_& parameter);
};
