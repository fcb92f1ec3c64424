#include "sdk/nodes/IntegerNode.h"

#include <string>

#include "sdk/genapi/GenericException.h"
#include "sdk/nodes/NodeText.h"

namespace sdk {

IntegerNode::IntegerNode(MemoryNodeMap& map, const gcstring& name)
    : NumericNode(map, name, intfIInteger, 0, INT64_MAX, PureNumber) {}

gcstring IntegerNode::ToString(bool verify, bool ignoreCache) const {
    Lock lock = LockMap();
    return nodetext::FormatInteger(GetValue(verify, ignoreCache), GetRepresentation());
}

void IntegerNode::FromString(const gcstring& text, bool verify) {
    SetValue(nodetext::ParseInteger(text.str(), GetName().str()), verify);
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
    WriteChecked(value);
}

int64_t IntegerNode::GetInc() const {
    Lock lock = LockMap();
    return mInc;
}

IntegerNode& IntegerNode::SetRange(int64_t min, int64_t max, int64_t inc) {
    Lock lock = LockMap();
    SetLimits(min, max);
    mInc = inc < 1 ? 1 : inc;
    return *this;
}

}  // namespace sdk
