#pragma once

#include <functional>

#include "sdk/nodes/MemoryNode.h"

namespace sdk {

// Typed value of an in-memory node (see MemoryNodeMap), shared by the boolean, integer, float and
// enumeration nodes: the value stored per selector state, a value provider (computed values) and
// a write handler (the write goes there instead of the stored value). Derived is the node class
// the setters return, for chaining.
//
// Threading: see MemoryNodeMap; every public operation takes the map's lock.
template <class Derived, class T>
class ValueNode : public MemoryNode {
  public:
    ValueNode(MemoryNodeMap& map, const gcstring& name, EInterfaceType type);

    Derived& SetValueProvider(std::function<T()> provider);
    Derived& SetWriteHandler(std::function<void(T)> handler);
    // The stored value in every selector state, unchecked.
    Derived& Initialize(T value);

    // The value without access check (provider or stored value for the current selectors).
    T ReadRaw() const;
    // The stored value for a selector state, and storing without checks.
    T StoredValue(const SelectorKey& key) const;
    void Store(T value);
    void Store(const SelectorKey& key, T value);

  protected:
    // The value after the read access check.
    T ReadChecked() const;
    // Hands an already checked value to the write handler, or stores it, then notifies.
    void WriteChecked(T value);

  private:
    SelectedValue<T> mValue;
    std::function<T()> mValueProvider;
    std::function<void(T)> mWriteHandler;
};

}  // namespace sdk
