#pragma once

#include "sdk/genapi/GcString.h"
#include "sdk/genapi/IBase.h"
#include "sdk/genapi/ISelector.h"

namespace sdk {

class INodeMap;

// One node of a node map. Its typed views (IInteger, IFloat, ...) are reached with
// sdk::As<View>(node), which gives null when the node is of another kind.
class INode : public virtual IBase, public ISelector {
  public:
    virtual gcstring GetName(bool fullQualified = false) const = 0;
    virtual gcstring GetDisplayName() const = 0;
    virtual gcstring GetDescription() const = 0;
    virtual gcstring GetToolTip() const = 0;
    virtual EInterfaceType GetPrincipalInterfaceType() const = 0;
    virtual INodeMap* GetNodeMap() const = 0;

    // The value as text; throws AccessException when the node is not readable.
    virtual gcstring ToString(bool verify = false, bool ignoreCache = false) const = 0;
    // Sets the value from text; throws InvalidArgumentException for text that does not parse,
    // and what the typed SetValue throws otherwise.
    virtual void FromString(const gcstring& text, bool verify = true) = 0;
};

}  // namespace sdk
