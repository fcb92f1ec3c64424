#pragma once

#include "sdk/genapi/INodeMap.h"

namespace sdk {

// Holds one look at the device (INodeMap::BeginSnapshot) for the scope.
class NodeMapSnapshot {
  public:
    explicit NodeMapSnapshot(INodeMap& map) : mMap(map) { mMap.BeginSnapshot(); }
    ~NodeMapSnapshot() { mMap.EndSnapshot(); }
    NodeMapSnapshot(const NodeMapSnapshot&) = delete;
    NodeMapSnapshot& operator=(const NodeMapSnapshot&) = delete;

  private:
    INodeMap& mMap;
};

}  // namespace sdk
