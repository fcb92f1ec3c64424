#pragma once

#include "sdk/genapi/GcString.h"
#include "sdk/genapi/IBase.h"

namespace sdk {

class INode;

// Base of the typed views: the node behind the view and its value as text.
class IValue : public virtual IBase {
  public:
    virtual INode* GetNode() const = 0;
    virtual gcstring ToString(bool verify = false, bool ignoreCache = false) const = 0;
    virtual void FromString(const gcstring& text, bool verify = true) = 0;
};

}  // namespace sdk
