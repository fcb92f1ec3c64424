#pragma once

#include "sdk/genapi/IValue.h"

namespace sdk {

// Command feature. Execute throws AccessException when the node is not writable.
class ICommand : public virtual IValue {
  public:
    virtual void Execute(bool verify = true) = 0;
    virtual bool IsDone(bool verify = true) const = 0;

    void operator()() { Execute(); }
};

}  // namespace sdk
