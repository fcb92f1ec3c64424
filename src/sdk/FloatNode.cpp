#include "sdk/FloatNode.h"

#include <cfloat>
#include <string>

#include "sdk/GenericException.h"
#include "sdk/NodeText.h"

namespace sdk {

FloatNode::FloatNode(MemoryNodeMap& map, const gcstring& name)
    : MemoryNode(map, name, intfIFloat), mMin(-DBL_MAX), mMax(DBL_MAX) {}

INode* FloatNode::GetNode() const {
    return const_cast<FloatNode*>(this);
}

gcstring FloatNode::ToString(bool verify, bool ignoreCache) const {
    return nodetext::FormatFloat(GetValue(verify, ignoreCache));
}

void FloatNode::FromString(const gcstring& text, bool verify) {
    SetValue(nodetext::ParseFloat(text.str(), GetName().str()), verify);
}

double FloatNode::GetValue(bool, bool) const {
    Lock lock = LockMap();
    CheckReadable();
    return ReadRaw();
}

void FloatNode::SetValue(double value, bool) {
    Lock lock = LockMap();
    CheckWritable();
    const double min = GetMin();
    const double max = GetMax();
    if (!(value >= min && value <= max)) {
        throw OutOfRangeException("Value = " + nodetext::FormatFloat(value) + " must be within [" +
                                      nodetext::FormatFloat(min) + ", " +
                                      nodetext::FormatFloat(max) + "] : Node = '" +
                                      GetName().str() + "'",
                                  __FILE__, __LINE__);
    }
    if (mWriteHandler) {
        mWriteHandler(value);
    } else {
        Store(value);
    }
    NotifyWritten();
}

double FloatNode::GetMin() const {
    Lock lock = LockMap();
    return mMinProvider ? mMinProvider() : mMin;
}

double FloatNode::GetMax() const {
    Lock lock = LockMap();
    return mMaxProvider ? mMaxProvider() : mMax;
}

bool FloatNode::HasInc() const {
    Lock lock = LockMap();
    return mInc > 0.0;
}

double FloatNode::GetInc() const {
    Lock lock = LockMap();
    return mInc;
}

ERepresentation FloatNode::GetRepresentation() const {
    Lock lock = LockMap();
    return mRepresentation;
}

gcstring FloatNode::GetUnit() const {
    Lock lock = LockMap();
    return mUnit;
}

FloatNode& FloatNode::SetRange(double min, double max) {
    Lock lock = LockMap();
    mMin = min;
    mMax = max;
    return *this;
}

FloatNode& FloatNode::SetInc(double inc) {
    Lock lock = LockMap();
    mInc = inc;
    return *this;
}

FloatNode& FloatNode::SetMinProvider(std::function<double()> provider) {
    Lock lock = LockMap();
    mMinProvider = std::move(provider);
    return *this;
}

FloatNode& FloatNode::SetMaxProvider(std::function<double()> provider) {
    Lock lock = LockMap();
    mMaxProvider = std::move(provider);
    return *this;
}

FloatNode& FloatNode::SetRepresentation(ERepresentation representation) {
    Lock lock = LockMap();
    mRepresentation = representation;
    return *this;
}

FloatNode& FloatNode::SetUnit(const gcstring& unit) {
    Lock lock = LockMap();
    mUnit = unit;
    return *this;
}

FloatNode& FloatNode::SetValueProvider(std::function<double()> provider) {
    Lock lock = LockMap();
    mValueProvider = std::move(provider);
    return *this;
}

FloatNode& FloatNode::SetWriteHandler(std::function<void(double)> handler) {
    Lock lock = LockMap();
    mWriteHandler = std::move(handler);
    return *this;
}

FloatNode& FloatNode::Initialize(double value) {
    Lock lock = LockMap();
    mValue.SetAll(value);
    return *this;
}

double FloatNode::ReadRaw() const {
    Lock lock = LockMap();
    return mValueProvider ? mValueProvider() : mValue.Get(GetSelectorKey());
}

void FloatNode::Store(double value) {
    Lock lock = LockMap();
    mValue.Set(GetSelectorKey(), value);
}

void FloatNode::Store(const SelectorKey& key, double value) {
    Lock lock = LockMap();
    mValue.Set(key, value);
}

}  // namespace sdk
