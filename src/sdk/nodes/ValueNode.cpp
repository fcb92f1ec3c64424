#include "sdk/nodes/ValueNode.h"

#include <cstdint>

#include "sdk/nodes/BooleanNode.h"
#include "sdk/nodes/EnumerationNode.h"
#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"

namespace sdk {

template <class Derived, class T>
ValueNode<Derived, T>::ValueNode(MemoryNodeMap& map, const gcstring& name, EInterfaceType type)
    : MemoryNode(map, name, type) {}

template <class Derived, class T>
Derived& ValueNode<Derived, T>::SetValueProvider(std::function<T()> provider) {
    Lock lock = LockMap();
    mValueProvider = std::move(provider);
    return static_cast<Derived&>(*this);
}

template <class Derived, class T>
Derived& ValueNode<Derived, T>::SetWriteHandler(std::function<void(T)> handler) {
    Lock lock = LockMap();
    mWriteHandler = std::move(handler);
    return static_cast<Derived&>(*this);
}

template <class Derived, class T>
Derived& ValueNode<Derived, T>::Initialize(T value) {
    Lock lock = LockMap();
    mValue.SetAll(value);
    return static_cast<Derived&>(*this);
}

template <class Derived, class T>
T ValueNode<Derived, T>::ReadRaw() const {
    Lock lock = LockMap();
    return mValueProvider ? mValueProvider() : mValue.Get(GetSelectorKey());
}

template <class Derived, class T>
T ValueNode<Derived, T>::StoredValue(const SelectorKey& key) const {
    Lock lock = LockMap();
    return mValue.Get(key);
}

template <class Derived, class T>
void ValueNode<Derived, T>::Store(T value) {
    Lock lock = LockMap();
    mValue.Set(GetSelectorKey(), value);
}

template <class Derived, class T>
void ValueNode<Derived, T>::Store(const SelectorKey& key, T value) {
    Lock lock = LockMap();
    mValue.Set(key, value);
}

template <class Derived, class T>
T ValueNode<Derived, T>::ReadChecked() const {
    Lock lock = LockMap();
    CheckReadable();
    return ReadRaw();
}

template <class Derived, class T>
void ValueNode<Derived, T>::WriteChecked(T value) {
    Lock lock = LockMap();
    if (mWriteHandler) {
        mWriteHandler(value);
    } else {
        Store(value);
    }
    NotifyWritten();
}

template class ValueNode<BooleanNode, bool>;
template class ValueNode<EnumerationNode, int64_t>;
template class ValueNode<FloatNode, double>;
template class ValueNode<IntegerNode, int64_t>;

}  // namespace sdk
