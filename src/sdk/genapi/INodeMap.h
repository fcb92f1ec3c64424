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

    NodeList_t GetNodes() const {
        NodeList_t list;
        GetNodes(list);
        return list;
    }
};

}  // namespace sdk
