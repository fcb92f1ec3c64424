#pragma once

#include <cstdint>
#include <vector>

#include "sdk/genapi/IRegister.h"
#include "sdk/nodes/MemoryNode.h"

namespace sdk {

// In-memory register: a fixed-length block of bytes at an address (see MemoryNodeMap).
class RegisterNode : public MemoryNode, public IRegister {
  public:
    RegisterNode(MemoryNodeMap& map, const gcstring& name, int64_t address, int64_t length);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    int64_t GetAddress() const override { return mAddress; }
    int64_t GetLength() const override { return static_cast<int64_t>(mBytes.size()); }
    void Get(uint8_t* buffer, int64_t length, bool verify = false,
             bool ignoreCache = false) const override;
    void Set(const uint8_t* buffer, int64_t length, bool verify = true) override;

    // Unchecked; bytes beyond the length are dropped, missing ones are zero.
    RegisterNode& Initialize(const std::vector<uint8_t>& bytes);

  private:
    const int64_t mAddress;
    std::vector<uint8_t> mBytes;  // guarded by the map's lock
};

}  // namespace sdk
