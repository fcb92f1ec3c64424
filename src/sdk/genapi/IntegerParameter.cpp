#include "sdk/genapi/IntegerParameter.h"

#include "sdk/genapi/GenApi.h"

namespace sdk {

IInteger& IntegerParameter::Node() const {
    IInteger* node = As<IInteger>(mMap.GetNode(mName));
    if (!node) {
        throw LogicalErrorException("No integer parameter '" + mName.str() + "'", __FILE__,
                                    __LINE__);
    }
    return *node;
}

int64_t IntegerParameter::GetValue() const {
    return Node().GetValue();
}
void IntegerParameter::SetValue(int64_t value) {
    Node().SetValue(value);
}
int64_t IntegerParameter::GetMin() const {
    return Node().GetMin();
}
int64_t IntegerParameter::GetMax() const {
    return Node().GetMax();
}
bool IntegerParameter::IsReadable() const {
    return sdk::IsReadable(&Node());
}
bool IntegerParameter::IsWritable() const {
    return sdk::IsWritable(&Node());
}

}  // namespace sdk
