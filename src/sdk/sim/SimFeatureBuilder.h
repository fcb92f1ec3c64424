#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "sdk/nodes/BooleanNode.h"
#include "sdk/nodes/CategoryNode.h"
#include "sdk/nodes/CommandNode.h"
#include "sdk/nodes/EnumerationNode.h"
#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/nodes/StringNode.h"

namespace sdk {

// Small helpers that keep the simulated feature trees (SimFeatureTree) readable: each adds one
// node of a kind to the map, initialised and described, and lists it in a category, or leaves it
// "loose" for a selector to take.
//
// Threading: as the map's; used while a tree is built, before it is shared.
class SimFeatureBuilder {
  public:
    explicit SimFeatureBuilder(MemoryNodeMap& map) : m(map) {}

    CategoryNode& Category(CategoryNode* parent, const char* name, const char* display) {
        CategoryNode& c = m.Add<CategoryNode>(name);
        c.SetDisplayName(display);
        if (parent) {
            parent->AddFeature(c);
        }
        return c;
    }
    IntegerNode& Integer(CategoryNode& c, const char* name, int64_t min, int64_t max, int64_t inc,
                         int64_t value, const char* description) {
        IntegerNode& n = m.Add<IntegerNode>(name);
        n.SetRange(min, max, inc).Initialize(value).SetDescription(description);
        c.AddFeature(n);
        return n;
    }
    FloatNode& Float(CategoryNode& c, const char* name, double min, double max, double value,
                     const char* unit, const char* description) {
        return In(c, LooseFloat(name, min, max, value, unit, description));
    }
    BooleanNode& Boolean(CategoryNode& c, const char* name, bool value, const char* description) {
        return In(c, LooseBoolean(name, value, description));
    }
    StringNode& String(CategoryNode& c, const char* name, const std::string& value,
                       const char* description) {
        StringNode& n = m.Add<StringNode>(name);
        n.Initialize(value).SetDescription(description);
        c.AddFeature(n);
        return n;
    }
    CommandNode& Command(CategoryNode& c, const char* name, const char* description) {
        return In(c, LooseCommand(name, description));
    }
    EnumerationNode& Enumeration(CategoryNode& c, const char* name,
                                 std::initializer_list<const char*> entries,
                                 const char* description) {
        return In(c, LooseEnumeration(name, entries, description));
    }
    // A feature that exists per selector entry: listed in no category, selected by selector.
    template <class N>
    N& Selected(N& node, EnumerationNode& selector) {
        selector.AddSelectedFeature(node);
        return node;
    }
    // Removes the node from nowhere: features below a selector are created without category.
    IntegerNode& LooseInteger(const char* name, int64_t min, int64_t max, int64_t value,
                              const char* description) {
        IntegerNode& n = m.Add<IntegerNode>(name);
        n.SetRange(min, max).Initialize(value).SetDescription(description);
        return n;
    }
    FloatNode& LooseFloat(const char* name, double min, double max, double value, const char* unit,
                          const char* description) {
        FloatNode& n = m.Add<FloatNode>(name);
        n.SetRange(min, max).SetUnit(unit).Initialize(value).SetDescription(description);
        return n;
    }
    BooleanNode& LooseBoolean(const char* name, bool value, const char* description) {
        BooleanNode& n = m.Add<BooleanNode>(name);
        n.Initialize(value).SetDescription(description);
        return n;
    }
    EnumerationNode& LooseEnumeration(const char* name, std::initializer_list<const char*> entries,
                                      const char* description) {
        EnumerationNode& n = m.Add<EnumerationNode>(name);
        int64_t value = 0;
        for (const char* entry : entries) {
            n.AddEntry(entry, value++);
        }
        n.SetDescription(description);
        return n;
    }
    CommandNode& LooseCommand(const char* name, const char* description) {
        CommandNode& n = m.Add<CommandNode>(name);
        n.SetDescription(description);
        return n;
    }

    MemoryNodeMap& m;

  private:
    // The node, listed in the category.
    template <class N>
    static N& In(CategoryNode& c, N& node) {
        c.AddFeature(node);
        return node;
    }
};

}  // namespace sdk
