#pragma once

#include <arv.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sdk/aravis/AravisRegisterCache.h"
#include "sdk/aravis/AravisSupport.h"
#include "sdk/genapi/INodeMap.h"

namespace sdk {

class AravisNode;

// The node map of an open Aravis device: one node object (AravisNodes.h) per feature node of the
// device's GenICam tree, enumeration entries included (named "EnumEntry_<enumeration>_<entry>"
// as GenApi names them). GetNodes lists them in document order.
//
// Selectors: Aravis knows only the features a selector selects; the reverse relation (the
// features that select a node) is built once, here, when the map is made. Where a selector lists
// the hidden register or converter behind a feature (another selector's register, say), the
// feature is what it selects.
//
// Ranges: the node classes check written values against GetMin/GetMax; Aravis' own range check
// is off, since it would also apply the bounds a converter inside a feature derives from the
// value below it. Numbers whose bounds come only through a converter not declared monotonic
// (Slope "Varying" or "Automatic") have the limits of their type.
//
// Cache: the map's GenICam tree is its own, parsed from the device's description over an
// AravisCachingDevice, so that every register access passes through the map's
// AravisRegisterCache (see there for what is kept and what a write forgets). A read goes to the
// device when the caller asks to ignore the cache; InvalidateNodes forgets every value. Writes
// are checked (Aravis' access checks are on, and the node classes check
// ranges, entries and access modes themselves) and read back from the device when verified.
//
// Order: enumeration entries and the features a selector selects are listed in document order
// (Aravis' own lists are in reverse).
//
// Binding: a feature whose value comes from a chunk port (one with a ChunkID) can only be read
// with a chunk buffer attached to the tree, one from an event port (EventID) only with event
// data, which Aravis does not deliver; such features are not available otherwise (NA), as in
// GenApi, and are not asked.
//
// Lost device: a time-out or a lost connection reported by Aravis, or the device's
// "control-lost" signal (through LostFlag), marks the map lost: from then on no node talks to
// the device (access modes are NA, values throw at once) and the lost listener runs once, so
// that a walk over thousands of features ends within moments instead of waiting out a time-out
// per feature.
//
// Threading: Aravis' GenICam objects are not thread-safe; every node operation holds the map's
// recursive lock (Mutex()), also while it talks to the device. The cache and the listeners are
// guarded by it; the node tables are built in the constructor and not changed after. The lost
// flag is atomic and may be set from any thread.
class AravisNodeMap : public INodeMap {
  public:
    // Wraps the GenICam tree of the device, which must stay open while the map lives (the map
    // holds a reference to it).
    AravisNodeMap(ArvDevice* device, gcstring deviceName);
    ~AravisNodeMap() override;
    AravisNodeMap(const AravisNodeMap&) = delete;
    AravisNodeMap& operator=(const AravisNodeMap&) = delete;

    INode* GetNode(const gcstring& name) const override;
    void GetNodes(NodeList_t& nodes) const override;
    void InvalidateNodes() override;
    void BeginSnapshot() override;
    void EndSnapshot() override;
    gcstring GetDeviceName() const override { return mDeviceName; }
    using INodeMap::GetNodes;

    // Runs under the map's lock just before a command node of this map is executed, with the
    // command's name (the device uses it to follow "AcquisitionStart"/"AcquisitionStop").
    void SetCommandListener(std::function<void(const std::string&)> listener);
    // Runs once (under the map's lock) when the map finds the device gone.
    void SetLostListener(std::function<void()> listener);
    // The flag behind IsLost, for a signal handler that outlives nothing but itself.
    std::shared_ptr<std::atomic<bool>> LostFlag() const { return mLost; }
    bool IsLost() const { return mLost->load(); }

    enum class Binding { Device, Chunk, Event };

    // For the node classes.
    std::recursive_mutex& Mutex() const { return mMutex; }
    ArvGc* Genicam() const { return mGc; }
    AravisRegisterCache& Cache() const { return mCache; }
    AravisNode* Find(ArvGcNode* node) const;
    AravisNode* Find(const std::string& name) const;
    const std::vector<AravisNode*>& SelectingNodes(const AravisNode& node) const;
    void NotifyCommand(const std::string& name) const;
    // The selected features in document order.
    const std::vector<AravisNode*>& SelectedNodes(const AravisNode& node) const;
    Binding BindingOf(const AravisNode& node) const;
    // Whether a number's bounds come through a converter whose formula is not declared to rise
    // or fall with its input (its Slope): such bounds say nothing, and the number has the limits
    // of its type.
    bool HasUnreliableBounds(const AravisNode& node) const;
    // The nodes whose implementation, availability or lock read one of these nodes find their
    // access mode again.
    void MarkTouched(const std::vector<ArvGcNode*>& touched) const;
    // Throws RuntimeException when the device is gone.
    void ThrowIfLost(const std::string& context) const;
    // Marks the map lost when the error says the device is gone. Leaves the error.
    void NoteError(const GError* error) const;
    // NoteError, then aravis::Check.
    void Check(GError* error, const std::string& context, const char* file, unsigned line) const;

  private:
    void Build(ArvDomNode* parent);
    void Adopt(std::unique_ptr<AravisNode> node, const std::string& name);
    void BuildSelectorIndex();
    void BuildConditionIndex();
    Binding FindBinding(ArvGcNode* node, int depth);
    bool HasVaryingBound(ArvGcNode* node, int depth) const;

    aravis::GRef<ArvDevice> mDevice;
    mutable AravisRegisterCache mCache;  // guarded by mMutex
    aravis::GRef<ArvDevice> mCaching;    // the AravisCachingDevice over mDevice
    ArvGc* mGc = nullptr;                // owned by mCaching
    const gcstring mDeviceName;
    mutable std::recursive_mutex mMutex;
    std::vector<std::unique_ptr<AravisNode>> mNodes;
    std::unordered_map<std::string, AravisNode*> mByName;
    std::unordered_map<ArvGcNode*, AravisNode*> mByArv;
    std::unordered_map<const AravisNode*, std::vector<AravisNode*>> mSelecting;
    std::unordered_map<const AravisNode*, std::vector<AravisNode*>> mSelected;
    std::unordered_map<const AravisNode*, Binding> mBindings;  // Device when absent
    std::unordered_set<const AravisNode*> mVaryingBounds;      // HasUnreliableBounds
    // The nodes whose conditions read a node (through any number of links).
    std::unordered_map<ArvGcNode*, std::vector<AravisNode*>> mConditionUsers;
    std::unordered_map<ArvGcNode*, Binding> mBindingCache;     // used while building
    std::function<void(const std::string&)> mCommandListener;  // guarded by mMutex
    mutable std::function<void()> mLostListener;               // guarded by mMutex
    const std::shared_ptr<std::atomic<bool>> mLost = std::make_shared<std::atomic<bool>>(false);
};

// While it lives, reads go to the device instead of the cache (when bypass is true). Callers
// hold the map's lock.
class AravisCacheBypass {
  public:
    AravisCacheBypass(AravisRegisterCache& cache, bool bypass);
    ~AravisCacheBypass();
    AravisCacheBypass(const AravisCacheBypass&) = delete;
    AravisCacheBypass& operator=(const AravisCacheBypass&) = delete;

  private:
    AravisRegisterCache& mCache;
    const bool mPrevious;
};

// Around a write through the map: while it lives, the writes are a selector's move (when
// selector is true); when it goes, the cache learns that the node was written (see
// AravisRegisterCache::NoteNodeWrite) and the nodes whose conditions read what changed find
// their access mode again. Callers hold the map's lock.
class AravisWrite {
  public:
    AravisWrite(AravisNodeMap& map, ArvGcFeatureNode* node, bool selector);
    ~AravisWrite();
    AravisWrite(const AravisWrite&) = delete;
    AravisWrite& operator=(const AravisWrite&) = delete;

  private:
    AravisNodeMap& mMap;
    ArvGcFeatureNode* const mNode;
    const bool mPrevious;
};

}  // namespace sdk
