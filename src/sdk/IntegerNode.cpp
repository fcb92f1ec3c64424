#include "sdk/IntegerNode.h"

#include <string>

#include "sdk/GenericException.h"
#include "sdk/NodeText.h"

namespace sdk {

IntegerNode::IntegerNode(MemoryNodeMap& map, const gcstring& name)
    : MemoryNode(map, name, intfIInteger) {}

INode* IntegerNode::GetNode() const {
    return const_cast<IntegerNode*>(this);
}

gcstring IntegerNode::ToString(bool verify, bool ignoreCache) const {
    Lock lock = LockMap();
    return nodetext::FormatInteger(GetValue(verify, ignoreCache), mRepresentation);
}

void IntegerNode::FromString(const gcstring& text, bool verify) {
    SetValue(nodetext::ParseInteger(text.str(), GetName().str()), verify);
}

int64_t IntegerNode::GetValue(bool, bool) const {
    Lock lock = LockMap();
    CheckReadable();
    return ReadRaw();
}

void IntegerNode::SetValue(int64_t value, bool) {
    Lock lock = LockMap();
    CheckWritable();
    const int64_t min = GetMin();
    const int64_t max = GetMax();
    const std::string name = GetName().str();
    if (value < min) {
        throw OutOfRangeException("Value = " + std::to_string(value) +
                                      " must be equal or greater "
                                      "than Min = " +
                                      std::to_string(min) + " : Node = '" + name + "'",
                                  __FILE__, __LINE__);
    }
    if (value > max) {
        throw OutOfRangeException("Value = " + std::to_string(value) +
                                      " must be equal or smaller "
                                      "than Max = " +
                                      std::to_string(max) + " : Node = '" + name + "'",
                                  __FILE__, __LINE__);
    }
    const int64_t inc = GetInc();
    if (inc > 1 && (value - min) % inc != 0) {
        throw OutOfRangeException("Value = " + std::to_string(value) +
                                      " must be equal to Min + "
                                      "N * Inc, Min = " +
                                      std::to_string(min) + ", Inc = " + std::to_string(inc) +
                                      " : Node = '" + name + "'",
                                  __FILE__, __LINE__);
    }
    if (mWriteHandler) {
        mWriteHandler(value);
    } else {
        Store(value);
    }
    NotifyWritten();
}

int64_t IntegerNode::GetMin() const {
    Lock lock = LockMap();
    return mMinProvider ? mMinProvider() : mMin;
}

int64_t IntegerNode::GetMax() const {
    Lock lock = LockMap();
    return mMaxProvider ? mMaxProvider() : mMax;
}

int64_t IntegerNode::GetInc() const {
    Lock lock = LockMap();
    return mInc;
}

ERepresentation IntegerNode::GetRepresentation() const {
    Lock lock = LockMap();
    return mRepresentation;
}

gcstring IntegerNode::GetUnit() const {
    Lock lock = LockMap();
    return mUnit;
}

IntegerNode& IntegerNode::SetRange(int64_t min, int64_t max, int64_t inc) {
    Lock lock = LockMap();
    mMin = min;
    mMax = max;
    mInc = inc < 1 ? 1 : inc;
    return *this;
}

IntegerNode& IntegerNode::SetMinProvider(std::function<int64_t()> provider) {
    Lock lock = LockMap();
    mMinProvider = std::move(provider);
    return *this;
}

IntegerNode& IntegerNode::SetMaxProvider(std::function<int64_t()> provider) {
    Lock lock = LockMap();
    mMaxProvider = std::move(provider);
    return *this;
}

IntegerNode& IntegerNode::SetRepresentation(ERepresentation representation) {
    Lock lock = LockMap();
    mRepresentation = representation;
    return *this;
}

IntegerNode& IntegerNode::SetUnit(const gcstring& unit) {
    Lock lock = LockMap();
    mUnit = unit;
    return *this;
}

IntegerNode& IntegerNode::SetValueProvider(std::function<int64_t()> provider) {
    Lock lock = LockMap();
    mValueProvider = std::move(provider);
    return *this;
}

IntegerNode& IntegerNode::SetWriteHandler(std::function<void(int64_t)> handler) {
    Lock lock = LockMap();
    mWriteHandler = std::move(handler);
    return *this;
}

IntegerNode& IntegerNode::Initialize(int64_t value) {
    Lock lock = LockMap();
    mValue.SetAll(value);
    return *this;
}

int64_t IntegerNode::ReadRaw() const {
    Lock lock = LockMap();
    return mValueProvider ? mValueProvider() : mValue.Get(GetSelectorKey());
}

int64_t IntegerNode::StoredValue(const SelectorKey& key) const {
    Lock lock = LockMap();
    return mValue.Get(key);
}

void IntegerNode::Store(int64_t value) {
    Lock lock = LockMap();
    mValue.Set(GetSelectorKey(), value);
}

void IntegerNode::Store(const SelectorKey& key, int64_t value) {
    Lock lock = LockMap();
    mValue.Set(key, value);
}

}  // namespace sdk
