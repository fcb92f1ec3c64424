#include "sdk/aravis/AravisRegisterCache.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

#include "sdk/aravis/AravisSupport.h"

// What the cache learns from the GenICam description: the registers at fixed addresses (cells,
// merged where they overlap, and their blocks), the registers whose address is computed, and what
// a write of each does to the others. The reads and writes are in AravisRegisterCache.cpp.

namespace sdk {

namespace {

using aravis::HasProperty;
using aravis::Linked;
using aravis::PropertyText;

template <class Visit>
void ForEachElement(ArvDomNode* parent, const Visit& visit) {
    for (ArvDomNode* child = arv_dom_node_get_first_child(parent); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (ARV_IS_GC_FEATURE_NODE(child)) {
            visit(child);
        }
        if (ARV_IS_DOM_ELEMENT(child)) {
            ForEachElement(child, visit);
        }
    }
}

// The element that holds a register's address, length, port and caching: a struct entry's
// register, or the register itself.
ArvDomNode* RegisterElement(ArvDomNode* node) {
    if (ARV_IS_GC_STRUCT_ENTRY_NODE(node)) {
        return arv_dom_node_get_parent_node(node);
    }
    return node;
}

// A node inside a register that computes its address (an IntSwissKnife); a struct register's
// entries are none.
bool IsAddressFormula(ArvDomNode* child) {
    return ARV_IS_GC_FEATURE_NODE(child) && !ARV_IS_GC_STRUCT_ENTRY_NODE(child);
}

// A fixed address: no part of it (or of the length) is computed from other nodes.
bool IsFixed(ArvDomNode* element) {
    if (!HasProperty(element, ARV_GC_PROPERTY_NODE_TYPE_ADDRESS) ||
        HasProperty(element, ARV_GC_PROPERTY_NODE_TYPE_P_ADDRESS) ||
        HasProperty(element, ARV_GC_PROPERTY_NODE_TYPE_P_INDEX) ||
        HasProperty(element, ARV_GC_PROPERTY_NODE_TYPE_P_LENGTH)) {
        return false;
    }
    for (ArvDomNode* child = arv_dom_node_get_first_child(element); child;
         child = arv_dom_node_get_next_sibling(child)) {
        if (IsAddressFormula(child)) {
            return false;
        }
    }
    return true;
}

// Whether the register's port serves chunk or event data instead of the device's memory.
bool IsOffDevice(ArvDomNode* element) {
    for (ArvGcNode* port : Linked(element, {ARV_GC_PROPERTY_NODE_TYPE_P_PORT})) {
        if (HasProperty(ARV_DOM_NODE(port), ARV_GC_PROPERTY_NODE_TYPE_CHUNK_ID) ||
            HasProperty(ARV_DOM_NODE(port), ARV_GC_PROPERTY_NODE_TYPE_EVENT_ID)) {
            return true;
        }
    }
    return false;
}

// The links along which a feature's value is read.
const std::initializer_list<ArvGcPropertyNodeType> kValueLinks = {
    ARV_GC_PROPERTY_NODE_TYPE_P_VALUE, ARV_GC_PROPERTY_NODE_TYPE_P_VARIABLE,
    ARV_GC_PROPERTY_NODE_TYPE_P_VALUE_INDEXED, ARV_GC_PROPERTY_NODE_TYPE_P_VALUE_DEFAULT};

// Walks the registers a feature's value is read from. A camera may serve the value of the
// selected entry at one address; bounds and conditions that depend on a selector read the
// selector's own registers (which a move makes unknown anyway) or name it as an invalidator.
class Reach {
  public:
    Reach(const std::unordered_map<ArvGcNode*, size_t>& cells, std::vector<size_t>& found,
          const std::unordered_map<ArvGcNode*, size_t>& dynamics, std::vector<size_t>& computed)
        : mCells(cells), mFound(found), mDynamics(dynamics), mComputed(computed) {}

    const std::unordered_set<ArvGcNode*>& Seen() const { return mSeen; }

    void From(ArvGcNode* node) {
        if (!node || !mSeen.insert(node).second) {
            return;
        }
        const auto cell = mCells.find(node);
        if (cell != mCells.end()) {
            mFound.push_back(cell->second);
        }
        const auto dynamic = mDynamics.find(node);
        if (dynamic != mDynamics.end()) {
            mComputed.push_back(dynamic->second);
        }
        FromElement(ARV_DOM_NODE(node));
        if (ARV_IS_GC_STRUCT_ENTRY_NODE(node)) {
            FromElement(arv_dom_node_get_parent_node(ARV_DOM_NODE(node)));
        }
    }

  private:
    void FromElement(ArvDomNode* element) {
        if (!element) {
            return;
        }
        for (ArvGcNode* linked : Linked(element, kValueLinks)) {
            From(linked);
        }
    }

    const std::unordered_map<ArvGcNode*, size_t>& mCells;
    std::vector<size_t>& mFound;
    const std::unordered_map<ArvGcNode*, size_t>& mDynamics;
    std::vector<size_t>& mComputed;
    std::unordered_set<ArvGcNode*> mSeen;
};

// The registers a write of the node's value ends in (through pValue): fixed ones (cells) and
// computed ones.
void WrittenRegisters(ArvGcNode* node, const std::unordered_map<ArvGcNode*, size_t>& cells,
                      const std::unordered_map<ArvGcNode*, size_t>& dynamics,
                      std::vector<size_t>& found, std::vector<size_t>& computed, int depth = 0) {
    if (!node || depth > 16) {
        return;
    }
    const auto cell = cells.find(node);
    if (cell != cells.end()) {
        found.push_back(cell->second);
        return;
    }
    const auto dynamic = dynamics.find(node);
    if (dynamic != dynamics.end()) {
        computed.push_back(dynamic->second);
        return;
    }
    for (ArvGcNode* value : Linked(ARV_DOM_NODE(node), {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE})) {
        WrittenRegisters(value, cells, dynamics, found, computed, depth + 1);
    }
}

// The node and the nodes its value is written to (through pValue).
void ValueChain(ArvGcNode* node, std::unordered_set<ArvGcNode*>& chain, int depth = 0) {
    if (!node || depth > 16 || !chain.insert(node).second) {
        return;
    }
    for (ArvGcNode* value : Linked(ARV_DOM_NODE(node), {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE})) {
        ValueChain(value, chain, depth + 1);
    }
}

void SortUnique(std::vector<size_t>& list) {
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

}  // namespace

void AravisRegisterCache::Learn(ArvGc* genicam) {
    mCells.clear();
    mBlocks.clear();
    mDynamics.clear();
    mLearned.clear();
    mLearnedInOrder.clear();
    mPositions.clear();
    mResolveOnWrite.clear();
    mTouched.clear();
    mHeld.clear();
    ArvDomNode* root =
        ARV_DOM_NODE(arv_dom_document_get_document_element(ARV_DOM_DOCUMENT(genicam)));
    // Every register at a fixed address, as a cell of its own first.
    std::vector<Cell> registers;
    std::vector<ArvGcNode*> owners;
    ForEachElement(root, [&](ArvDomNode* node) {
        if (!ARV_IS_GC_REGISTER(node)) {
            return;
        }
        ArvDomNode* element = RegisterElement(node);
        if (!element || IsOffDevice(element)) {
            return;
        }
        const bool kept = PropertyText(element, ARV_GC_PROPERTY_NODE_TYPE_CACHABLE) != "NoCache" &&
                          PropertyText(element, ARV_GC_PROPERTY_NODE_TYPE_ACCESS_MODE) != "WO";
        if (!IsFixed(element)) {
            Dynamic dynamic;
            dynamic.node = ARV_GC_NODE(node);
            dynamic.kept = kept;
            mDynamics.push_back(dynamic);
            return;
        }
        GError* error = nullptr;
        const guint64 address = arv_gc_register_get_address(ARV_GC_REGISTER(node), &error);
        const guint64 length =
            error ? 0 : arv_gc_register_get_length(ARV_GC_REGISTER(node), &error);
        // Tables (a LUT, a file) are no cells: a read of one goes to the device, and the
        // registers inside it keep cells of their own.
        if (error || length == 0 || length > kMaxBlock) {
            g_clear_error(&error);
            return;
        }
        Cell cell;
        cell.address = address;
        cell.length = static_cast<uint32_t>(length);
        cell.kept = kept;
        cell.writeThrough =
            PropertyText(element, ARV_GC_PROPERTY_NODE_TYPE_CACHABLE) != "WriteAround";
        registers.push_back(cell);
        owners.push_back(ARV_GC_NODE(node));
    });
    // Overlapping registers share one cell, kept only when all of them may be.
    std::vector<size_t> order(registers.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return registers[a].address < registers[b].address; });
    std::unordered_map<ArvGcNode*, size_t> cellOf;
    for (size_t index : order) {
        const Cell& reg = registers[index];
        if (!mCells.empty() && reg.address < mCells.back().address + mCells.back().length) {
            Cell& last = mCells.back();
            const uint64_t end = std::max(last.address + last.length, reg.address + reg.length);
            last.length = static_cast<uint32_t>(end - last.address);
            last.kept = last.kept && reg.kept && last.length <= kMaxBlock;
            last.writeThrough = last.writeThrough && reg.writeThrough;
        } else {
            mCells.push_back(reg);
        }
        cellOf[owners[index]] = mCells.size() - 1;
    }
    for (Cell& cell : mCells) {
        cell.bytes.assign(cell.kept ? cell.length : 0, 0);
    }
    mOwners.assign(mCells.size(), {});
    for (const auto& owner : cellOf) {
        mOwners[owner.second].push_back(owner.first);
    }
    BuildBlocks();
    std::unordered_map<ArvGcNode*, size_t> dynamicOf;
    for (size_t i = 0; i < mDynamics.size(); ++i) {
        dynamicOf[mDynamics[i].node] = i;
    }
    // What a computed register's address is computed from: found again when one of them is
    // written; one computed from anything not kept is never kept itself.
    std::vector<bool> inputsKept(mDynamics.size(), false);
    std::vector<std::vector<size_t>> inputsComputed(mDynamics.size());
    for (size_t i = 0; i < mDynamics.size(); ++i) {
        ArvDomNode* element = RegisterElement(ARV_DOM_NODE(mDynamics[i].node));
        std::vector<size_t> sources;
        std::vector<size_t> computed;
        Reach reach(cellOf, sources, dynamicOf, computed);
        const std::vector<ArvGcNode*> inputs =
            Linked(element, {ARV_GC_PROPERTY_NODE_TYPE_P_ADDRESS, ARV_GC_PROPERTY_NODE_TYPE_P_INDEX,
                             ARV_GC_PROPERTY_NODE_TYPE_P_LENGTH});
        for (ArvGcNode* input : inputs) {
            reach.From(input);
        }
        for (ArvDomNode* child = arv_dom_node_get_first_child(element); child;
             child = arv_dom_node_get_next_sibling(child)) {
            if (IsAddressFormula(child)) {
                reach.From(ARV_GC_NODE(child));
            }
        }
        inputsKept[i] = std::all_of(sources.begin(), sources.end(),
                                    [&](size_t cell) { return mCells[cell].kept; });
        SortUnique(computed);
        inputsComputed[i] = computed;
        for (ArvGcNode* input : reach.Seen()) {
            mResolveOnWrite[input].push_back(i);
        }
        SortUnique(sources);
        for (size_t cell : sources) {
            mCells[cell].resolves.push_back(i);
        }
    }
    // Settled: computed from kept registers only, computed ones included (as far as they are
    // settled themselves; a circle never is).
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i = 0; i < mDynamics.size(); ++i) {
            const bool settled =
                inputsKept[i] &&
                std::all_of(inputsComputed[i].begin(), inputsComputed[i].end(), [&](size_t other) {
                    return other != i && mDynamics[other].kept && mDynamics[other].settled;
                });
            if (settled != mDynamics[i].settled) {
                mDynamics[i].settled = settled;
                changed = true;
            }
        }
    }
    mResolvePending = !mDynamics.empty();

    // A selector's move: what its selected features read, through selected selectors too.
    std::unordered_set<ArvGcNode*> selectorValues;  // the nodes a selector's value is written to
    ForEachElement(root, [&](ArvDomNode* node) {
        if (!ARV_IS_GC_SELECTOR(node) || !arv_gc_selector_is_selector(ARV_GC_SELECTOR(node))) {
            return;
        }
        ValueChain(ARV_GC_NODE(node), selectorValues);
        std::vector<size_t> written;
        std::vector<size_t> writtenComputed;
        WrittenRegisters(ARV_GC_NODE(node), cellOf, dynamicOf, written, writtenComputed);
        if (written.empty() && writtenComputed.empty()) {
            return;
        }
        std::vector<size_t> reached;
        std::vector<size_t> computed;
        Reach reach(cellOf, reached, dynamicOf, computed);
        std::vector<ArvDomNode*> selectors = {node};
        std::unordered_set<ArvDomNode*> seen = {node};
        while (!selectors.empty()) {
            ArvDomNode* selector = selectors.back();
            selectors.pop_back();
            for (ArvGcNode* selected : Linked(selector, {ARV_GC_PROPERTY_NODE_TYPE_P_SELECTED})) {
                reach.From(selected);
                if (seen.insert(ARV_DOM_NODE(selected)).second) {
                    selectors.push_back(ARV_DOM_NODE(selected));
                }
            }
        }
        const auto add = [&](Effects& effects) {
            effects.selector = true;
            effects.invalidates.insert(effects.invalidates.end(), reached.begin(), reached.end());
            effects.dynamics.insert(effects.dynamics.end(), computed.begin(), computed.end());
        };
        for (size_t cell : written) {
            add(mCells[cell]);
        }
        for (size_t dynamic : writtenComputed) {
            add(mDynamics[dynamic]);
        }
    });
    // The registers whose description names a selector (or a node its value is written to) as
    // their invalidator. Another node that shares a register with a selector's value (a command's
    // bit beside it, say) does not count: a move writes the selector's value only.
    const auto invalidatedBy = [&](ArvGcNode* owner, const std::function<void(Effects&)>& add) {
        for (ArvGcNode* invalidator : Linked(RegisterElement(ARV_DOM_NODE(owner)),
                                             {ARV_GC_PROPERTY_NODE_TYPE_P_INVALIDATOR})) {
            if (selectorValues.count(invalidator) == 0) {
                continue;
            }
            std::vector<size_t> written;
            std::vector<size_t> computed;
            WrittenRegisters(invalidator, cellOf, dynamicOf, written, computed);
            for (size_t cell : written) {
                add(mCells[cell]);
            }
            for (size_t dynamic : computed) {
                add(mDynamics[dynamic]);
            }
        }
    };
    for (size_t i = 0; i < owners.size(); ++i) {
        const size_t own = cellOf[owners[i]];
        invalidatedBy(owners[i], [own](Effects& effects) { effects.invalidates.push_back(own); });
    }
    for (size_t i = 0; i < mDynamics.size(); ++i) {
        invalidatedBy(mDynamics[i].node, [i](Effects& effects) { effects.dynamics.push_back(i); });
    }
    const auto tidy = [](Effects& effects) {
        SortUnique(effects.invalidates);
        SortUnique(effects.dynamics);
    };
    std::for_each(mCells.begin(), mCells.end(), tidy);
    std::for_each(mDynamics.begin(), mDynamics.end(), tidy);
    // Every selector's position has a slot; the cells it makes unknown know it as a controller.
    mPositions.clear();
    const auto number = [&](Effects& effects) {
        if (!effects.selector) {
            return;
        }
        effects.id = mPositions.size();
        mPositions.emplace_back();
        for (size_t other : effects.invalidates) {
            mCells[other].controllers.push_back(effects.id);
        }
    };
    std::for_each(mCells.begin(), mCells.end(), number);
    std::for_each(mDynamics.begin(), mDynamics.end(), number);
}

void AravisRegisterCache::BuildBlocks() {
    for (size_t i = 0; i < mCells.size();) {
        if (!mCells[i].kept) {
            ++i;
            continue;
        }
        Block block;
        block.first = i;
        block.last = i;
        size_t next = i + 1;
        while (next < mCells.size() && mCells[next].kept) {
            const Cell& last = mCells[block.last];
            const uint64_t gap = mCells[next].address - (last.address + last.length);
            const uint64_t span =
                mCells[next].address + mCells[next].length - mCells[block.first].address;
            if (gap > kMaxGap || span > kMaxBlock) {
                break;
            }
            block.last = next++;
        }
        for (size_t cell = block.first; cell <= block.last; ++cell) {
            mCells[cell].block = mBlocks.size();
        }
        mBlocks.push_back(block);
        i = next;
    }
}

}  // namespace sdk
