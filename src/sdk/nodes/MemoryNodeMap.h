#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sdk/genapi/GenericException.h"
#include "sdk/genapi/INodeMap.h"

namespace sdk {

class MemoryNode;

// A node map held in memory: the simulator's device maps, transport-layer maps and chunk maps are
// built from it, and tests build their own. Nodes are created in place (Add) and live as long as
// the map; GetNodes lists them in creation order.
//
// Devices couple values through the hooks of the node classes (range, value and access
// providers, write handlers, write listeners), which run while the map's lock is held.
//
// Threading: any thread may use the map and its nodes. One recursive lock (Mutex()) guards every
// node value and mBypassAccess; each node operation takes it, so a hook may use other nodes of the
// same map. Building (Add, the node setters) should be finished before the map is shared.
class MemoryNodeMap : public INodeMap {
  public:
    explicit MemoryNodeMap(gcstring deviceName = "Device");
    ~MemoryNodeMap() override;
    MemoryNodeMap(const MemoryNodeMap&) = delete;
    MemoryNodeMap& operator=(const MemoryNodeMap&) = delete;

    INode* GetNode(const gcstring& name) const override;
    void GetNodes(NodeList_t& nodes) const override;
    void InvalidateNodes() override {}
    gcstring GetDeviceName() const override { return mDeviceName; }
    using INodeMap::GetNodes;

    // Creates a node of class N named name (N's constructor takes the map, the name and args).
    // Throws LogicalErrorException when the name is taken.
    template <class N, class... Args>
    N& Add(const gcstring& name, Args&&... args) {
        auto node = std::make_unique<N>(*this, name, std::forward<Args>(args)...);
        N& ref = *node;
        Adopt(std::move(node));
        return ref;
    }

    // The node of that name as class N; throws LogicalErrorException when missing or of another
    // class.
    template <class N>
    N& Get(const gcstring& name) const {
        N* node = dynamic_cast<N*>(FindMemoryNode(name));
        if (!node) {
            throw LogicalErrorException("Node '" + name.str() + "' missing or of another kind",
                                        __FILE__, __LINE__);
        }
        return *node;
    }
    MemoryNode* FindMemoryNode(const gcstring& name) const;

    // Sets a feature from text as a device state that exists before anyone uses it: access modes
    // are not checked (a read-only value may be preset), ranges and entries are. With a selector
    // entry, the selecting enumeration that has an entry of that name is set to it for the write
    // and put back afterwards. Commands are never run. Returns false, changing nothing, when the
    // feature, the entry or the text is not accepted.
    bool ApplyInitialValue(const gcstring& feature, const gcstring& selectorEntry,
                           const gcstring& text);
    // The same; on false, why says what was not accepted ("unknown feature", "entry not offered
    // by this sensor", "value not accepted: ...").
    bool ApplyInitialValue(const gcstring& feature, const gcstring& selectorEntry,
                           const gcstring& text, std::string& why);

    std::recursive_mutex& Mutex() const { return mMutex; }
    // True while ApplyInitialValue runs; nodes then skip their access check on writes.
    bool IsBypassingAccess() const { return mBypassAccess; }

  private:
    void Adopt(std::unique_ptr<MemoryNode> node);

    const gcstring mDeviceName;
    mutable std::recursive_mutex mMutex;
    std::vector<std::unique_ptr<MemoryNode>> mNodes;  // built before sharing; not changed after
    std::map<gcstring, MemoryNode*> mByName;          // same
    bool mBypassAccess = false;                       // guarded by mMutex
};

}  // namespace sdk
