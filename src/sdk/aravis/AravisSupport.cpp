#include "sdk/aravis/AravisSupport.h"

#include <algorithm>

#include "sdk/genapi/GenericException.h"

namespace sdk {
namespace aravis {

void ThrowError(GError* error, const std::string& context, const char* file, unsigned line) {
    const std::string message = context + ": " + Text(error ? error->message : "unknown error");
    const GQuark domain = error ? error->domain : 0;
    const int code = error ? error->code : 0;
    g_clear_error(&error);
    if (domain == ARV_GC_ERROR) {
        if (code == ARV_GC_ERROR_OUT_OF_RANGE || code == ARV_GC_ERROR_ENUM_ENTRY_NOT_FOUND) {
            throw OutOfRangeException(message, file, line);
        }
        if (code == ARV_GC_ERROR_READ_ONLY) {
            throw AccessException(message, file, line);
        }
        if (code == ARV_GC_ERROR_INVALID_SYNTAX) {
            throw InvalidArgumentException(message, file, line);
        }
    }
    if (domain == ARV_DEVICE_ERROR && code == ARV_DEVICE_ERROR_TIMEOUT) {
        throw TimeoutException(message, file, line);
    }
    throw RuntimeException(message, file, line);
}

bool HasProperty(ArvDomNode* node, ArvGcPropertyNodeType type) {
    for (ArvDomNode* child = arv_dom_node_get_first_child(node); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_PROPERTY_NODE(child) &&
            arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child)) == type) {
            return true;
        }
    }
    return false;
}

std::string PropertyText(ArvDomNode* node, ArvGcPropertyNodeType type) {
    for (ArvDomNode* child = arv_dom_node_get_first_child(node); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_PROPERTY_NODE(child) &&
            arv_gc_property_node_get_node_type(ARV_GC_PROPERTY_NODE(child)) == type) {
            GError* error = nullptr;
            const std::string text =
                Text(arv_gc_property_node_get_string(ARV_GC_PROPERTY_NODE(child), &error));
            g_clear_error(&error);
            return text;
        }
    }
    return std::string();
}

std::vector<ArvGcNode*> Linked(ArvDomNode* node,
                               std::initializer_list<ArvGcPropertyNodeType> types) {
    std::vector<ArvGcNode*> linked;
    for (ArvDomNode* child = arv_dom_node_get_first_child(node); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (!ARV_IS_GC_PROPERTY_NODE(child)) {
            continue;
        }
        ArvGcPropertyNode* property = ARV_GC_PROPERTY_NODE(child);
        const ArvGcPropertyNodeType type = arv_gc_property_node_get_node_type(property);
        if (std::find(types.begin(), types.end(), type) == types.end()) {
            continue;
        }
        if (ArvGcNode* target = arv_gc_property_node_get_linked_node(property)) {
            linked.push_back(target);
        }
    }
    return linked;
}

}  // namespace aravis
}  // namespace sdk
