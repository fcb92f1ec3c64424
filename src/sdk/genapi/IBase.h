#pragma once

#include "sdk/genapi/NodeTypes.h"

namespace sdk {

// What every node and every typed view of a node has: an access mode. It is a virtual base of
// both INode and IValue, so a node object has exactly one.
class IBase {
  public:
    virtual ~IBase() = default;

    virtual EAccessMode GetAccessMode() const = 0;
};

}  // namespace sdk
