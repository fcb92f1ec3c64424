#pragma once

#include "sdk/genapi/NodeTypes.h"
#include "sdk/nodes/ValueNode.h"

namespace sdk {

// Common part of the in-memory integer and float nodes (Interface is IInteger or IFloat): the
// checked read, the range [min, max] with optional min/max providers (coupled ranges), the
// representation and the unit. Derived classes check a write against the range and pass it on
// with WriteChecked.
//
// Threading: see MemoryNodeMap; every public operation takes the map's lock.
template <class Derived, class T, class Interface>
class NumericNode : public ValueNode<Derived, T>, public Interface {
  public:
    NumericNode(MemoryNodeMap& map, const gcstring& name, EInterfaceType type, T min, T max,
                ERepresentation representation);

    INode* GetNode() const override;
    T GetValue(bool verify = false, bool ignoreCache = false) const override;
    T GetMin() const override;
    T GetMax() const override;
    ERepresentation GetRepresentation() const override;
    gcstring GetUnit() const override;

    Derived& SetMinProvider(std::function<T()> provider);
    Derived& SetMaxProvider(std::function<T()> provider);
    Derived& SetRepresentation(ERepresentation representation);
    Derived& SetUnit(const gcstring& unit);

  protected:
    // The fixed range, used where no provider is set.
    void SetLimits(T min, T max);

  private:
    T mMin;
    T mMax;
    ERepresentation mRepresentation;
    gcstring mUnit;
    std::function<T()> mMinProvider;
    std::function<T()> mMaxProvider;
};

}  // namespace sdk
