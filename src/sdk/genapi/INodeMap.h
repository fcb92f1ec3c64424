#pragma once

#include "sdk/genapi/GcString.h"
#include "sdk/genapi/NodeTypes.h"

namespace sdk {

class INode;

// The nodes of one device (or of its transport layer, or of one grab result's chunk data).
class INodeMap {
  public:
    virtual ~INodeMap() = default;

    // The node of that exact name, or null.
    virtual INode* GetNode(const gcstring& name) const = 0;
    // All nodes, in the order the map defines them.
    virtual void GetNodes(NodeList_t& nodes) const = 0;
    // Drops cached values, so the next read asks the device.
    virtual void InvalidateNodes() = 0;
    virtual gcstring GetDeviceName() const = 0;
    // Between BeginSnapshot and its EndSnapshot (they nest), one look at the device: a register
    // the device does not let a cache keep (NoCache, volatile) is read from it once, until
    // something is written, however many of the features read meanwhile use it. A pass over
    // every feature so costs each such register one read per selector position it is read at.
    // Reads outside a snapshot ask the device each time.
    virtual void BeginSnapshot() {}
    virtual void EndSnapshot() {}

    NodeList_t GetNodes() const {
        NodeList_t list;
        GetNodes(list);
        return list;
    }
};

}  // namespace sdk
