#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "sdk/genapi/INode.h"
#include "sdk/nodes/SelectedValue.h"

namespace sdk {

class MemoryNodeMap;

// Common part of the in-memory nodes (MemoryNodeMap): names, texts, access mode and selector
// relations. Derived classes add the typed value.
//
// Access mode: the fixed mode (RW unless set), or the access provider's answer when one is set.
// Selectors: AddSelectedFeature(f) makes this node a selector of f; f's stored value then exists
// once per state of its selecting features (SelectorKey).
//
// Threading: see MemoryNodeMap; every public operation takes the map's lock.
class MemoryNode : public virtual INode {
  public:
    MemoryNode(MemoryNodeMap& map, const gcstring& name, EInterfaceType type);
    ~MemoryNode() override = default;
    MemoryNode(const MemoryNode&) = delete;
    MemoryNode& operator=(const MemoryNode&) = delete;

    gcstring GetName(bool fullQualified = false) const override;
    gcstring GetDisplayName() const override;
    gcstring GetDescription() const override;
    gcstring GetToolTip() const override;
    EInterfaceType GetPrincipalInterfaceType() const override { return mType; }
    INodeMap* GetNodeMap() const override;
    EAccessMode GetAccessMode() const override;

    bool IsSelector() const override;
    void GetSelectedFeatures(FeatureList_t& features) const override;
    void GetSelectingFeatures(FeatureList_t& features) const override;
    using ISelector::GetSelectedFeatures;
    using ISelector::GetSelectingFeatures;

    MemoryNode& SetDisplayName(const gcstring& text);
    MemoryNode& SetDescription(const gcstring& text);
    MemoryNode& SetAccessMode(EAccessMode mode);
    // Decides the access mode from now on (e.g. from another feature's value).
    MemoryNode& SetAccessProvider(std::function<EAccessMode()> provider);
    // This node selects the feature.
    MemoryNode& AddSelectedFeature(MemoryNode& feature);
    // Runs after every successful write of this node's value (not for initial values).
    MemoryNode& AddWriteListener(std::function<void()> listener);

    // The current state of this node's selectors.
    SelectorKey GetSelectorKey() const;
    // This node's value as a selector key part; enumerations and integers override it.
    virtual int64_t GetKeyValue() const { return 0; }

  protected:
    using Lock = std::unique_lock<std::recursive_mutex>;

    Lock LockMap() const;
    // Throw AccessException naming the node.
    void CheckReadable() const;
    void CheckWritable() const;
    void NotifyWritten();
    MemoryNodeMap& Map() const { return mMap; }

  private:
    MemoryNodeMap& mMap;
    const gcstring mName;
    const EInterfaceType mType;
    gcstring mDisplayName;
    gcstring mDescription;
    EAccessMode mAccessMode = RW;
    std::function<EAccessMode()> mAccessProvider;
    std::vector<MemoryNode*> mSelected;
    std::vector<MemoryNode*> mSelecting;
    std::vector<std::function<void()>> mWriteListeners;
};

}  // namespace sdk
