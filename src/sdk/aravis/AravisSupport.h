#pragma once

#include <arv.h>

#include <initializer_list>
#include <string>
#include <vector>

// Small helpers shared by the Aravis backend: GError to SDK exceptions, texts from Aravis, the
// links of a GenICam node and a reference holder for GObjects.

namespace sdk {
namespace aravis {

// Throws the SDK exception that fits the error (OutOfRangeException for range errors,
// AccessException for read-only or write-only features, TimeoutException for time-outs,
// RuntimeException otherwise) with "context: message". Frees the error.
[[noreturn]] void ThrowError(GError* error, const std::string& context, const char* file,
                             unsigned line);

// Does nothing without an error; otherwise ThrowError.
inline void Check(GError* error, const std::string& context, const char* file, unsigned line) {
    if (error) {
        ThrowError(error, context, file, line);
    }
}

// The text, or "" for null.
inline std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

// Whether the node has a property of that kind.
bool HasProperty(ArvDomNode* node, ArvGcPropertyNodeType type);
// The text of the node's property of that kind ("" without one).
std::string PropertyText(ArvDomNode* node, ArvGcPropertyNodeType type);

// The nodes the node's properties of the given kinds (pValue, pSelected, ...) link to, in
// document order.
std::vector<ArvGcNode*> Linked(ArvDomNode* node,
                               std::initializer_list<ArvGcPropertyNodeType> types);

// Holds one reference to a GObject (takes the reference it is given).
template <class T>
class GRef {
  public:
    GRef() = default;
    explicit GRef(T* object) : mObject(object) {}
    ~GRef() { Reset(); }
    GRef(const GRef&) = delete;
    GRef& operator=(const GRef&) = delete;
    GRef(GRef&& other) noexcept : mObject(other.mObject) { other.mObject = nullptr; }
    GRef& operator=(GRef&& other) noexcept {
        if (this != &other) {
            Reset();
            mObject = other.mObject;
            other.mObject = nullptr;
        }
        return *this;
    }

    T* Get() const { return mObject; }
    explicit operator bool() const { return mObject != nullptr; }
    void Reset(T* object = nullptr) {
        if (mObject) {
            g_object_unref(mObject);
        }
        mObject = object;
    }
    T* Release() {
        T* object = mObject;
        mObject = nullptr;
        return object;
    }

  private:
    T* mObject = nullptr;
};

}  // namespace aravis
}  // namespace sdk
