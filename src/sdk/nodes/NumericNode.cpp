#include "sdk/nodes/NumericNode.h"

#include <cstdint>

#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"

namespace sdk {

template <class Derived, class T, class Interface>
NumericNode<Derived, T, Interface>::NumericNode(MemoryNodeMap& map, const gcstring& name,
                                                EInterfaceType type, T min, T max,
                                                ERepresentation representation)
    : ValueNode<Derived, T>(map, name, type),
      mMin(min),
      mMax(max),
      mRepresentation(representation) {}

template <class Derived, class T, class Interface>
INode* NumericNode<Derived, T, Interface>::GetNode() const {
    return const_cast<Derived*>(static_cast<const Derived*>(this));
}

template <class Derived, class T, class Interface>
T NumericNode<Derived, T, Interface>::GetValue(bool, bool) const {
    return this->ReadChecked();
}

template <class Derived, class T, class Interface>
T NumericNode<Derived, T, Interface>::GetMin() const {
    MemoryNode::Lock lock = this->LockMap();
    return mMinProvider ? mMinProvider() : mMin;
}

template <class Derived, class T, class Interface>
T NumericNode<Derived, T, Interface>::GetMax() const {
    MemoryNode::Lock lock = this->LockMap();
    return mMaxProvider ? mMaxProvider() : mMax;
}

template <class Derived, class T, class Interface>
ERepresentation NumericNode<Derived, T, Interface>::GetRepresentation() const {
    MemoryNode::Lock lock = this->LockMap();
    return mRepresentation;
}

template <class Derived, class T, class Interface>
gcstring NumericNode<Derived, T, Interface>::GetUnit() const {
    MemoryNode::Lock lock = this->LockMap();
    return mUnit;
}

template <class Derived, class T, class Interface>
Derived& NumericNode<Derived, T, Interface>::SetMinProvider(std::function<T()> provider) {
    MemoryNode::Lock lock = this->LockMap();
    mMinProvider = std::move(provider);
    return static_cast<Derived&>(*this);
}

template <class Derived, class T, class Interface>
Derived& NumericNode<Derived, T, Interface>::SetMaxProvider(std::function<T()> provider) {
    MemoryNode::Lock lock = this->LockMap();
    mMaxProvider = std::move(provider);
    return static_cast<Derived&>(*this);
}

template <class Derived, class T, class Interface>
Derived& NumericNode<Derived, T, Interface>::SetRepresentation(ERepresentation representation) {
    MemoryNode::Lock lock = this->LockMap();
    mRepresentation = representation;
    return static_cast<Derived&>(*this);
}

template <class Derived, class T, class Interface>
Derived& NumericNode<Derived, T, Interface>::SetUnit(const gcstring& unit) {
    MemoryNode::Lock lock = this->LockMap();
    mUnit = unit;
    return static_cast<Derived&>(*this);
}

template <class Derived, class T, class Interface>
void NumericNode<Derived, T, Interface>::SetLimits(T min, T max) {
    MemoryNode::Lock lock = this->LockMap();
    mMin = min;
    mMax = max;
}

template class NumericNode<FloatNode, double, IFloat>;
template class NumericNode<IntegerNode, int64_t, IInteger>;

}  // namespace sdk
