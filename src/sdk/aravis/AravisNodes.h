#pragma once

#include <arv.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/genapi/IBoolean.h"
#include "sdk/genapi/ICategory.h"
#include "sdk/genapi/ICommand.h"
#include "sdk/genapi/IEnumEntry.h"
#include "sdk/genapi/IEnumeration.h"
#include "sdk/genapi/IFloat.h"
#include "sdk/genapi/IInteger.h"
#include "sdk/genapi/INode.h"
#include "sdk/genapi/IRegister.h"
#include "sdk/genapi/IString.h"

namespace sdk {

class AravisNodeMap;
class AravisRegisterCache;

// One feature node of an Aravis GenICam tree seen through the SDK's node interfaces (see
// AravisNodeMap). The typed classes below add the value views: the base node and the numbers are
// defined in AravisNodes.cpp, the other kinds in AravisNodeTypes.cpp.
//
// Access mode: NI when Aravis reports the feature not implemented, NA when not available,
// otherwise Aravis' actual access mode combined with the imposed one; a locked feature counts as
// read-only (a locked write-only feature is NA). Errors while asking (e.g. a device that is gone)
// give NA; so do a lost map, a chunk feature without a chunk buffer and an event feature (see
// AravisNodeMap).
//
// Numbers without a bound anywhere down their value chain have the bounds of their type
// (INT64_MIN/INT64_MAX, -DBL_MAX/DBL_MAX), as in GenApi. A register (or string register) of
// length 0 reads and writes nothing: Aravis is never given an empty buffer.
//
// Threading: every operation holds the map's lock (AravisNodeMap::Mutex()).
class AravisNode : public virtual INode {
  public:
    AravisNode(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name, EInterfaceType type);
    ~AravisNode() override = default;
    AravisNode(const AravisNode&) = delete;
    AravisNode& operator=(const AravisNode&) = delete;

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

    ArvGcFeatureNode* Arv() const { return mNode; }
    // Something the node's conditions read was written: the access mode is found again.
    void MarkAccessStale() const { mAccessStale = true; }

  protected:
    // The map's lock for one node operation. The outermost one is one ask of the camera: a
    // register that is not kept is read once in it, however many bits of it the operation uses
    // (AravisRegisterCache::BeginAsk).
    class Lock {
      public:
        explicit Lock(const AravisNodeMap& map);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        std::unique_lock<std::recursive_mutex> mLock;
        AravisRegisterCache& mCache;
    };

    Lock LockMap() const;
    void CheckReadable() const;
    void CheckWritable() const;
    // Aravis' access mode before availability, implementation and lock are applied.
    virtual EAccessMode BaseAccessMode() const;
    // The access mode as Aravis finds it; failed when asking failed (the mode is then NA).
    EAccessMode FindAccessMode(bool& failed) const;
    AravisNodeMap& Map() const { return mMap; }
    std::string Context() const { return "Node '" + mName + "'"; }

  private:
    AravisNodeMap& mMap;
    ArvGcFeatureNode* const mNode;
    const std::string mName;
    const EInterfaceType mType;
    // The access mode as last found, while the cache's Changes() stays mAccessChanges and
    // nothing its conditions read was written.
    mutable EAccessMode mAccess = NA;     // guarded by the map's lock
    mutable uint64_t mAccessChanges = 0;  // same
    mutable bool mAccessStale = true;     // same
};

class AravisInteger : public AravisNode, public IInteger {
  public:
    AravisInteger(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name);

    INode* GetNode() const override { return const_cast<AravisInteger*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    int64_t GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(int64_t value, bool verify = true) override;
    int64_t GetMin() const override;
    int64_t GetMax() const override;
    int64_t GetInc() const override;
    ERepresentation GetRepresentation() const override;
    gcstring GetUnit() const override;
    using IInteger::operator=;
};

class AravisFloat : public AravisNode, public IFloat {
  public:
    AravisFloat(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name);

    INode* GetNode() const override { return const_cast<AravisFloat*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    double GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(double value, bool verify = true) override;
    double GetMin() const override;
    double GetMax() const override;
    // False when the tree gives no increment (Aravis then reports the smallest double).
    bool HasInc() const override;
    double GetInc() const override;
    ERepresentation GetRepresentation() const override;
    gcstring GetUnit() const override;
    using IFloat::operator=;
};

class AravisBoolean : public AravisNode, public IBoolean {
  public:
    AravisBoolean(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name);

    INode* GetNode() const override { return const_cast<AravisBoolean*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    bool GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(bool value, bool verify = true) override;
    using IBoolean::operator=;
};

class AravisString : public AravisNode, public IString {
  public:
    AravisString(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name);

    INode* GetNode() const override { return const_cast<AravisString*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    gcstring GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(const gcstring& value, bool verify = true) override;
    int64_t GetMaxLength() const override;
    using IString::operator=;

  private:
    bool IsEmptyRegister() const;
};

class AravisCommand : public AravisNode, public ICommand {
  public:
    AravisCommand(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name);

    INode* GetNode() const override { return const_cast<AravisCommand*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    // "1"/"true" executes the command; "0"/"false" does nothing.
    void FromString(const gcstring& text, bool verify = true) override;
    void Execute(bool verify = true) override;
    // Aravis cannot tell; a command counts as done once written.
    bool IsDone(bool verify = true) const override;

  protected:
    EAccessMode BaseAccessMode() const override;
};

class AravisEnumEntry;

class AravisEnumeration : public AravisNode, public IEnumeration {
  public:
    AravisEnumeration(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name);

    INode* GetNode() const override { return const_cast<AravisEnumeration*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    void GetEntries(NodeList_t& entries) const override;
    IEnumEntry* GetEntryByName(const gcstring& symbolic) const override;
    IEnumEntry* GetEntry(int64_t value) const override;
    IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) const override;
    int64_t GetIntValue(bool verify = false, bool ignoreCache = false) const override;
    void SetIntValue(int64_t value, bool verify = true) override;
    using IEnumeration::GetEntries;
    using IEnumeration::operator=;

    // Called by the map while it is built.
    void AddEntry(AravisEnumEntry* entry) { mEntries.push_back(entry); }

  private:
    int64_t ReadInt(bool ignoreCache) const;

    std::vector<AravisEnumEntry*> mEntries;  // device order; owned by the map
};

class AravisEnumEntry : public AravisNode, public IEnumEntry {
  public:
    AravisEnumEntry(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name,
                    std::string symbolic);

    INode* GetNode() const override { return const_cast<AravisEnumEntry*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    int64_t GetValue() const override;
    gcstring GetSymbolic() const override { return mSymbolic; }
    double GetNumericValue() const override { return static_cast<double>(GetValue()); }

  protected:
    EAccessMode BaseAccessMode() const override { return RO; }

  private:
    const std::string mSymbolic;
};

class AravisCategory : public AravisNode, public ICategory {
  public:
    AravisCategory(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name);

    INode* GetNode() const override { return const_cast<AravisCategory*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    // The features the category lists that exist in the map, in the category's order.
    void GetFeatures(FeatureList_t& features) const override;
    using ICategory::GetFeatures;

  protected:
    EAccessMode BaseAccessMode() const override { return RO; }
};

class AravisRegister : public AravisNode, public IRegister {
  public:
    // Longer registers are not read: no device memory a feature maps is that large.
    static constexpr int64_t kLargestRegister = 64 * 1024 * 1024;

    AravisRegister(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name);

    INode* GetNode() const override { return const_cast<AravisRegister*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    int64_t GetAddress() const override;
    int64_t GetLength() const override;
    void Get(uint8_t* buffer, int64_t length, bool verify = false,
             bool ignoreCache = false) const override;
    void Set(const uint8_t* buffer, int64_t length, bool verify = true) override;
};

// Feature nodes of other kinds (ports, for instance): name, texts and access mode; the value as
// Aravis gives it in text form.
class AravisOtherNode : public AravisNode, public IValue {
  public:
    AravisOtherNode(AravisNodeMap& map, ArvGcFeatureNode* node, std::string name,
                    EInterfaceType type);

    INode* GetNode() const override { return const_cast<AravisOtherNode*>(this); }
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
};

}  // namespace sdk
