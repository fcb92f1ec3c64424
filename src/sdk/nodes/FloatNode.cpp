#include "sdk/nodes/FloatNode.h"

#include <cfloat>
#include <string>

#include "sdk/genapi/GenericException.h"
#include "sdk/nodes/NodeText.h"

namespace sdk {

FloatNode::FloatNode(MemoryNodeMap& map, const gcstring& name)
    : NumericNode(map, name, intfIFloat, -DBL_MAX, DBL_MAX, Linear) {}

gcstring FloatNode::ToString(bool verify, bool ignoreCache) const {
    return nodetext::FormatFloat(GetValue(verify, ignoreCache));
}

void FloatNode::FromString(const gcstring& text, bool verify) {
    SetValue(nodetext::ParseFloat(text.str(), GetName().str()), verify);
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
    WriteChecked(value);
}

bool FloatNode::HasInc() const {
    Lock lock = LockMap();
    return mInc > 0.0;
}

double FloatNode::GetInc() const {
    Lock lock = LockMap();
    return mInc;
}

FloatNode& FloatNode::SetRange(double min, double max) {
    SetLimits(min, max);
    return *this;
}

FloatNode& FloatNode::SetInc(double inc) {
    Lock lock = LockMap();
    mInc = inc;
    return *this;
}

}  // namespace sdk
