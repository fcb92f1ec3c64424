#include "sdk/aravis/AravisRegisterCache.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "sdk/aravis/AravisSupport.h"

// The reads and writes through the cache; what it learns from the description is in
// AravisRegisterCacheLearn.cpp.

namespace sdk {

namespace {

using aravis::Linked;

// A failure after which a second read would only wait again.
bool IsGone(const GError* error) {
    return error && error->domain == ARV_DEVICE_ERROR &&
           (error->code == ARV_DEVICE_ERROR_TIMEOUT ||
            error->code == ARV_DEVICE_ERROR_NOT_CONNECTED);
}

}  // namespace

size_t AravisRegisterCache::KeptCells() const {
    return static_cast<size_t>(
        std::count_if(mCells.begin(), mCells.end(), [](const Cell& cell) { return cell.kept; }));
}

void AravisRegisterCache::Overlapping(uint64_t address, uint32_t size,
                                      std::vector<size_t>& cells) const {
    cells.clear();
    const uint64_t end = address + size;
    auto it = std::upper_bound(mCells.begin(), mCells.end(), address,
                               [](uint64_t at, const Cell& cell) { return at < cell.address; });
    if (it != mCells.begin()) {
        --it;
    }
    for (; it != mCells.end() && it->address < end; ++it) {
        if (it->address + it->length > address) {
            cells.push_back(static_cast<size_t>(it - mCells.begin()));
        }
    }
}

bool AravisRegisterCache::Read(uint64_t address, uint32_t size, void* buffer, GError** error,
                               const DeviceRead& read) {
    std::vector<size_t> cells;
    if (!mBypass && size > 0) {
        Overlapping(address, size, cells);
    }
    // Served from the cells only when kept cells cover the range without a gap.
    bool covered = !cells.empty() && mCells[cells.front()].address <= address;
    for (size_t i = 0; covered && i < cells.size(); ++i) {
        const Cell& cell = mCells[cells[i]];
        covered = cell.kept && (i == 0 || cell.address == mCells[cells[i - 1]].address +
                                                              mCells[cells[i - 1]].length);
    }
    covered =
        covered && mCells[cells.back()].address + mCells[cells.back()].length >= address + size;
    if (!covered) {
        Learned* learned = LearnedAt(address, size);
        if (learned != nullptr && !mBypass) {
            if (!learned->known && !FetchLearned(*learned, error, read)) {
                return false;
            }
            std::memcpy(buffer, learned->bytes.data(), size);
            return true;
        }
        const std::string position = mAskDepth > 0 ? AskedPosition(address, size) : "";
        const auto asked = mAsked.find(address);
        if (mAskDepth > 0 && asked != mAsked.end()) {
            const auto at = asked->second.find(position);
            if (at != asked->second.end() && at->second.size() == size) {
                std::memcpy(buffer, at->second.data(), size);
                return true;
            }
        }
        if (!FlushBefore(address, size, error) || !read(address, size, buffer, error)) {
            return false;
        }
        if (mAskDepth > 0 && size <= kMaxBlock) {
            const auto* bytes = static_cast<const uint8_t*>(buffer);
            mAsked[address][position].assign(bytes, bytes + size);
        }
        Store(address, size, static_cast<const uint8_t*>(buffer));
        if (learned != nullptr) {
            std::memcpy(learned->bytes.data(), buffer, size);
            learned->known = true;
        }
        return true;
    }
    for (size_t cell : cells) {
        if (!mCells[cell].known && !Fetch(cell, error, read)) {
            return false;
        }
    }
    auto* out = static_cast<uint8_t*>(buffer);
    for (size_t index : cells) {
        const Cell& cell = mCells[index];
        const uint64_t from = std::max(address, cell.address);
        const uint64_t to = std::min(address + size, cell.address + cell.length);
        std::memcpy(out + (from - address), cell.bytes.data() + (from - cell.address), to - from);
    }
    return true;
}

// Reads the cell's block in one transaction; a block the device refuses is given up for
// single reads, unless the device is gone (then a second read would only wait again).
bool AravisRegisterCache::Fetch(size_t index, GError** error, const DeviceRead& read) {
    Cell& cell = mCells[index];
    if (cell.block != SIZE_MAX && mBlocks[cell.block].usable &&
        mBlocks[cell.block].first != mBlocks[cell.block].last) {
        Block& block = mBlocks[cell.block];
        const uint64_t start = mCells[block.first].address;
        const uint64_t end = mCells[block.last].address + mCells[block.last].length;
        std::vector<uint8_t> bytes(end - start);
        GError* local = nullptr;
        if (!FlushBefore(start, end - start, error)) {
            return false;
        }
        if (read(start, static_cast<uint32_t>(bytes.size()), bytes.data(), &local)) {
            Store(start, static_cast<uint32_t>(bytes.size()), bytes.data());
            return true;
        }
        if (IsGone(local)) {
            g_propagate_error(error, local);
            return false;
        }
        g_clear_error(&local);
        block.usable = false;
    }
    if (!FlushBefore(cell.address, cell.length, error) ||
        !read(cell.address, cell.length, cell.bytes.data(), error)) {
        return false;
    }
    cell.known = true;
    return true;
}

void AravisRegisterCache::Store(uint64_t address, uint32_t size, const uint8_t* bytes) {
    std::vector<size_t> cells;
    Overlapping(address, size, cells);
    for (size_t index : cells) {
        Cell& cell = mCells[index];
        if (cell.kept && cell.address >= address && cell.address + cell.length <= address + size) {
            std::memcpy(cell.bytes.data(), bytes + (cell.address - address), cell.length);
            cell.known = true;
        }
    }
}

void AravisRegisterCache::EndAsk() {
    if (--mAskDepth == 0) {
        mAsked.clear();
    }
}

void AravisRegisterCache::NoteWrite(uint64_t address, uint32_t size, const void* bytes) {
    std::vector<size_t> cells;
    Overlapping(address, size, cells);
    const auto moves = [&](const Effects& effects) { return effects.selector; };
    bool selectorMove = mSelectorMove;
    const Learned* learned = nullptr;
    if (cells.empty()) {
        const auto it = mLearned.find(address);
        learned = it != mLearned.end() && !it->second.owners.empty() ? &it->second : nullptr;
        // A selector's register found where other registers are found too (its bits beside
        // theirs): the move writes back what they hold, as a move of a register at a fixed
        // address shared with others does.
        selectorMove = selectorMove && learned != nullptr &&
                       std::any_of(learned->owners.begin(), learned->owners.end(),
                                   [&](size_t owner) { return moves(mDynamics[owner]); });
    } else {
        selectorMove = selectorMove && std::all_of(cells.begin(), cells.end(), [&](size_t cell) {
                           return moves(mCells[cell]);
                       });
    }
    if (!selectorMove) {
        ForgetAll();
        ++mChanges;
        for (Dynamic& dynamic : mDynamics) {
            dynamic.pending = true;
        }
        mResolvePending = !mDynamics.empty();
        return;
    }
    // The selectors moved and what they make unknown, remembered at the position they had.
    std::vector<const Effects*> moved;
    for (size_t index : cells) {
        moved.push_back(&mCells[index]);
    }
    if (learned != nullptr) {
        for (size_t owner : learned->owners) {
            if (moves(mDynamics[owner])) {
                moved.push_back(&mDynamics[owner]);
            }
        }
    }
    for (const Effects* effects : moved) {
        for (size_t other : effects->invalidates) {
            Cell& cell = mCells[other];
            if (cell.known) {
                cell.remembered[PositionOf(cell)] = cell.bytes;
            }
        }
    }
    const auto* written = static_cast<const uint8_t*>(bytes);
    for (const Effects* effects : moved) {
        mPositions[effects->id].assign(written, written + size);
    }
    for (size_t index : cells) {
        mCells[index].known = false;
        mTouched.insert(mTouched.end(), mOwners[index].begin(), mOwners[index].end());
        ApplyMove(mCells[index]);
    }
    if (learned != nullptr) {
        for (size_t owner : learned->owners) {
            Forget(mDynamics[owner]);
            mTouched.push_back(mDynamics[owner].node);
            ApplyMove(mDynamics[owner]);
        }
    }
    for (const Effects* effects : moved) {
        for (size_t other : effects->invalidates) {
            Cell& cell = mCells[other];
            const auto it = cell.remembered.find(PositionOf(cell));
            if (!cell.known && it != cell.remembered.end()) {
                cell.bytes = it->second;
                cell.known = true;
            }
        }
    }
    // The selector's own register holds what was written.
    if (cells.size() == 1) {
        Cell& cell = mCells[cells.front()];
        if (cell.kept && cell.writeThrough && cell.address == address && cell.length == size) {
            cell.bytes.assign(written, written + size);
            cell.known = true;
        }
    }
}

bool AravisRegisterCache::Defer(uint64_t address, uint32_t size, const void* bytes) {
    if (!mSelectorMove || !mWrite) {
        return false;
    }
    std::vector<size_t> cells;
    Overlapping(address, size, cells);
    if (cells.size() != 1) {
        return false;
    }
    const Cell& cell = mCells[cells.front()];
    if (!cell.selector || !cell.kept || !cell.writeThrough || cell.address != address ||
        cell.length != size) {
        return false;
    }
    std::vector<uint8_t> before;
    if (cell.known) {
        before = cell.bytes;
    }
    NoteWrite(address, size, bytes);
    const auto* written = static_cast<const uint8_t*>(bytes);
    if (mHeld.empty() || mHeld.back().address != address) {
        mHeld.emplace_back();
        mHeld.back().address = address;
        mHeld.back().before = std::move(before);
    }
    mHeld.back().bytes.assign(written, written + size);
    return true;
}

bool AravisRegisterCache::Flush(GError** error) {
    if (mHeld.empty()) {
        return true;
    }
    std::vector<Held> held;
    held.swap(mHeld);
    for (const Held& move : held) {
        if (move.bytes == move.before) {
            continue;  // moved through other entries and back: the camera stands there
        }
        if (!mWrite(move.address, static_cast<uint32_t>(move.bytes.size()), move.bytes.data(),
                    error)) {
            ForgetAll();
            ++mChanges;
            return false;
        }
    }
    return true;
}

bool AravisRegisterCache::AddressedBy(const Effects& effects, size_t dynamic) const {
    return std::find(effects.resolves.begin(), effects.resolves.end(), dynamic) !=
           effects.resolves.end();
}

bool AravisRegisterCache::FlushBefore(uint64_t address, uint64_t size, GError** error) {
    if (mHeld.empty()) {
        return true;
    }
    const uint64_t end = address + size;
    bool mapped = false;
    bool depends = false;
    std::vector<size_t> cells;
    Overlapping(address, static_cast<uint32_t>(size), cells);
    for (const Held& move : mHeld) {
        std::vector<size_t> moved;
        Overlapping(move.address, static_cast<uint32_t>(move.bytes.size()), moved);
        for (size_t selector : moved) {
            const Effects& effects = mCells[selector];
            for (size_t cell : cells) {
                depends = depends || cell == selector ||
                          std::binary_search(effects.invalidates.begin(), effects.invalidates.end(),
                                             cell);
            }
            for (auto it = mLearnedInOrder.lower_bound(address);
                 it != mLearnedInOrder.end() && it->first < end; ++it) {
                mapped = true;
                for (size_t owner : it->second->owners) {
                    depends = depends || (std::binary_search(effects.dynamics.begin(),
                                                             effects.dynamics.end(), owner) &&
                                          !AddressedBy(effects, owner));
                }
            }
        }
    }
    mapped = mapped || !cells.empty();
    return mapped && !depends ? true : Flush(error);
}

void AravisRegisterCache::ApplyMove(const Effects& effects) {
    for (size_t other : effects.invalidates) {
        mCells[other].known = false;
        mTouched.insert(mTouched.end(), mOwners[other].begin(), mOwners[other].end());
    }
    for (size_t dynamic : effects.dynamics) {
        // One whose address the selector gives is found at another address instead; what it
        // held where it was found stays.
        Forget(mDynamics[dynamic], !AddressedBy(effects, dynamic));
        mTouched.push_back(mDynamics[dynamic].node);
    }
    for (size_t dynamic : effects.resolves) {
        mDynamics[dynamic].pending = true;
        mResolvePending = true;
    }
}

std::string AravisRegisterCache::AskedPosition(uint64_t address, uint32_t size) const {
    std::vector<size_t> cells;
    Overlapping(address, size, cells);
    if (cells.empty()) {
        return AllPositions();  // no selector is known to leave it alone
    }
    std::string key;
    for (size_t index : cells) {
        const Cell& cell = mCells[index];
        key += PositionOf(cell);
        if (cell.selector) {  // a selector's own register holds its position
            key.append(mPositions[cell.id].begin(), mPositions[cell.id].end());
        }
        key.push_back(';');
    }
    return key;
}

std::string AravisRegisterCache::AllPositions() const {
    std::string key;
    for (const std::vector<uint8_t>& position : mPositions) {
        key.append(position.begin(), position.end());
        key.push_back('|');
    }
    return key;
}

std::string AravisRegisterCache::PositionOf(const Cell& cell) const {
    std::string key;
    for (size_t controller : cell.controllers) {
        key.append(mPositions[controller].begin(), mPositions[controller].end());
        key.push_back('|');
    }
    return key;
}

void AravisRegisterCache::ResolvePending() {
    if (!mResolvePending) {
        return;
    }
    mResolvePending = false;
    for (Dynamic& dynamic : mDynamics) {
        if (!dynamic.pending || !dynamic.settled) {
            continue;
        }
        dynamic.pending = false;
        GError* error = nullptr;
        const guint64 address = arv_gc_register_get_address(ARV_GC_REGISTER(dynamic.node), &error);
        const guint64 length =
            error ? 0 : arv_gc_register_get_length(ARV_GC_REGISTER(dynamic.node), &error);
        if (error || length == 0 || length > kMaxBlock) {
            g_clear_error(&error);
            continue;
        }
        std::vector<size_t> cells;
        Overlapping(address, static_cast<uint32_t>(length), cells);
        if (!cells.empty()) {
            continue;  // memory a fixed register maps is kept (or not) as that register says
        }
        Learned& learned = mLearned[address];
        if (learned.length == 0) {
            learned.address = address;
            mLearnedInOrder[address] = &learned;
            learned.length = static_cast<uint32_t>(length);
            learned.bytes.assign(length, 0);
        }
        // An address where a register that may not be kept was found is not kept.
        learned.kept = learned.kept && dynamic.kept && learned.length == length;
        if (std::find(dynamic.addresses.begin(), dynamic.addresses.end(), address) ==
            dynamic.addresses.end()) {
            dynamic.addresses.push_back(address);
            learned.owners.push_back(static_cast<size_t>(&dynamic - mDynamics.data()));
        }
    }
}

AravisRegisterCache::Learned* AravisRegisterCache::LearnedAt(uint64_t address, uint32_t size) {
    const auto it = mLearned.find(address);
    if (it == mLearned.end() || it->second.length != size || !it->second.kept) {
        return nullptr;
    }
    return &it->second;
}

bool AravisRegisterCache::FetchLearned(Learned& learned, GError** error, const DeviceRead& read) {
    // The run of kept neighbours around it, as close and as long as a block of fixed cells.
    const auto at = mLearnedInOrder.find(learned.address);
    uint64_t start = learned.address;
    uint64_t end = learned.address + learned.length;
    auto first = at;
    auto last = at;
    const auto joins = [&](const Learned& other, uint64_t from, uint64_t to) {
        return other.kept && !other.single && from - std::min(from, to) <= kMaxGap &&
               std::max(end, other.address + other.length) - std::min(start, other.address) <=
                   kMaxBlock;
    };
    if (!learned.single) {
        for (auto next = std::next(at); next != mLearnedInOrder.end(); ++next) {
            const Learned& other = *next->second;
            if (other.address < end || !joins(other, other.address, end)) {
                break;
            }
            end = std::max(end, other.address + other.length);
            last = next;
        }
        while (first != mLearnedInOrder.begin()) {
            const Learned& other = *std::prev(first)->second;
            if (other.address + other.length > start ||
                !joins(other, start, other.address + other.length)) {
                break;
            }
            start = other.address;
            --first;
        }
    }
    std::vector<size_t> fixed;
    Overlapping(start, static_cast<uint32_t>(end - start), fixed);
    if (first != last && fixed.empty()) {
        std::vector<uint8_t> bytes(end - start);
        GError* local = nullptr;
        if (!FlushBefore(start, end - start, error)) {
            return false;
        }
        if (read(start, static_cast<uint32_t>(bytes.size()), bytes.data(), &local)) {
            for (auto it = first;; ++it) {
                Learned& other = *it->second;
                std::memcpy(other.bytes.data(), bytes.data() + (other.address - start),
                            other.length);
                other.known = true;
                if (it == last) {
                    break;
                }
            }
            return true;
        }
        if (IsGone(local)) {
            g_propagate_error(error, local);
            return false;
        }
        g_clear_error(&local);
        for (auto it = first;; ++it) {
            it->second->single = true;
            if (it == last) {
                break;
            }
        }
    }
    if (!FlushBefore(learned.address, learned.length, error) ||
        !read(learned.address, learned.length, learned.bytes.data(), error)) {
        return false;
    }
    learned.known = true;
    return true;
}

void AravisRegisterCache::Forget(const Dynamic& dynamic, bool values) {
    const auto dependents = mResolveOnWrite.find(dynamic.node);
    if (dependents != mResolveOnWrite.end()) {
        for (size_t other : dependents->second) {
            mDynamics[other].pending = true;
            mResolvePending = true;
        }
    }
    for (uint64_t address : dynamic.addresses) {
        const auto it = mLearned.find(address);
        if (it != mLearned.end() && values) {
            it->second.known = false;
        }
    }
}

void AravisRegisterCache::NoteNodeWrite(ArvGcNode* node) {
    // The node and the nodes its value is written to.
    for (int depth = 0; node != nullptr && depth < 16; ++depth) {
        mTouched.push_back(node);
        const auto dependents = mResolveOnWrite.find(node);
        if (dependents != mResolveOnWrite.end()) {
            for (size_t dynamic : dependents->second) {
                mDynamics[dynamic].pending = true;
                mResolvePending = true;
            }
        }
        const std::vector<ArvGcNode*> values =
            Linked(ARV_DOM_NODE(node), {ARV_GC_PROPERTY_NODE_TYPE_P_VALUE});
        node = values.empty() ? nullptr : values.front();
    }
}

std::vector<ArvGcNode*> AravisRegisterCache::TakeTouched() {
    std::vector<ArvGcNode*> touched;
    touched.swap(mTouched);
    return touched;
}

void AravisRegisterCache::Invalidate() {
    ForgetAll();
    ++mChanges;
}

void AravisRegisterCache::ForgetAll() {
    mAsked.clear();
    for (std::vector<uint8_t>& position : mPositions) {
        position.clear();
    }
    for (Cell& cell : mCells) {
        cell.known = false;
        cell.remembered.clear();
    }
    for (auto& learned : mLearned) {
        learned.second.known = false;
    }
}

}  // namespace sdk
