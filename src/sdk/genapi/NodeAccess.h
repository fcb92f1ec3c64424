#pragma once

#include "sdk/genapi/IBase.h"
#include "sdk/genapi/NodeTypes.h"

// Null-safe access-mode tests and the typed-view helper.

namespace sdk {

inline bool IsReadable(EAccessMode mode) {
    return mode == RO || mode == RW;
}
inline bool IsWritable(EAccessMode mode) {
    return mode == WO || mode == RW;
}
inline bool IsAvailable(EAccessMode mode) {
    return mode != NI && mode != NA;
}
inline bool IsImplemented(EAccessMode mode) {
    return mode != NI;
}

inline bool IsReadable(const IBase* node) {
    return node && IsReadable(node->GetAccessMode());
}
inline bool IsWritable(const IBase* node) {
    return node && IsWritable(node->GetAccessMode());
}
inline bool IsAvailable(const IBase* node) {
    return node && IsAvailable(node->GetAccessMode());
}
inline bool IsImplemented(const IBase* node) {
    return node && IsImplemented(node->GetAccessMode());
}

// The node seen as another interface (IInteger, IEnumeration, INode, ...), or null when it is
// null or of another kind.
template <class To, class From>
To* As(From* node) {
    return dynamic_cast<To*>(node);
}
template <class To, class From>
const To* As(const From* node) {
    return dynamic_cast<const To*>(node);
}

}  // namespace sdk
