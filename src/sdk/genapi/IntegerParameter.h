#pragma once

#include <cstdint>

#include "sdk/genapi/GcString.h"

namespace sdk {

class IInteger;
class INodeMap;

// A named integer feature of a node map, used as a member so callers can write
// `camera.MaxNumBuffer.SetValue(5)` or `camera.MaxNumBuffer = 5`. Throws LogicalErrorException
// when the map has no such integer.
class IntegerParameter {
  public:
    IntegerParameter(INodeMap& map, const gcstring& name) : mMap(map), mName(name) {}

    int64_t GetValue() const;
    void SetValue(int64_t value);
    int64_t GetMin() const;
    int64_t GetMax() const;
    bool IsReadable() const;
    bool IsWritable() const;

    IntegerParameter& operator=(int64_t value) {
        SetValue(value);
        return *this;
    }
    int64_t operator()() const { return GetValue(); }

  private:
    IInteger& Node() const;

    INodeMap& mMap;
    const gcstring mName;
};

}  // namespace sdk
