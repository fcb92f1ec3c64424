#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "sdk/genapi/IString.h"
#include "sdk/nodes/MemoryNode.h"

namespace sdk {

// In-memory text feature (see MemoryNodeMap). A write longer than the maximum length (unlimited
// unless set) throws OutOfRangeException, as a device refuses it.
class StringNode : public MemoryNode, public IString {
  public:
    StringNode(MemoryNodeMap& map, const gcstring& name);

    INode* GetNode() const override;
    gcstring ToString(bool verify = false, bool ignoreCache = false) const override;
    void FromString(const gcstring& text, bool verify = true) override;
    gcstring GetValue(bool verify = false, bool ignoreCache = false) const override;
    void SetValue(const gcstring& value, bool verify = true) override;
    int64_t GetMaxLength() const override;
    using IString::operator=;

    StringNode& SetMaxLength(int64_t length);
    StringNode& SetValueProvider(std::function<std::string()> provider);
    StringNode& Initialize(const std::string& value);

    std::string ReadRaw() const;

  private:
    SelectedValue<std::string> mValue;
    int64_t mMaxLength = INT64_MAX;
    std::function<std::string()> mValueProvider;
};

}  // namespace sdk
