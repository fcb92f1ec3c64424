#pragma once

#include <memory>

class Param_;
class PropertyControlAdapter;

// The process-wide table of (parameter class, shared adapter) pairs, in the order Param<bool>,
// Param<int>, Param<unsigned>, Param<int64_t>, Param<double>, Param<std::string>, ParamEnum. It is
// filled on first use and lives until process exit.
//
// Threading: GUI thread only; the first use is not guarded against concurrent callers.
class PropertyControlAdapterRegistry {
  public:
    // The adapter of the parameter's exact run-time class (a ParamEnum gets the enumeration
    // adapter, not the text one). Throws std::runtime_error "Unsupported parameter type" when no
    // row matches, including for a null parameter.
    static std::shared_ptr<PropertyControlAdapter> GetAdapter(const Param_* parameter);
};
