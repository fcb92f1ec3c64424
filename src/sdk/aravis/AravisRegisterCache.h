#pragma once

#include <arv.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace sdk {

// What the camera's registers held when last read, for the registers a GenICam description maps
// at fixed addresses, so that a feature's value, bounds and conditions cost one register
// transaction however often they are asked for while nothing changes them. Every register
// access of the node map's GenICam tree passes through it (AravisCachingDevice).
//
// What is kept: the registers on the device's own port that the description does not mark
// NoCache and that can be read. Those with a fixed address have cells, merged where they overlap
// (the bit fields of one word, say). Those whose address is computed (pAddress, pIndex, an
// address formula) from registers that are kept have a cell at each address they were found at
// (ResolvePending finds them again when what they are computed from changes). Any other read goes
// to the device every time; so does every read while a bypass is on (a caller that ignores the
// cache).
//
// Blocks: cells that follow one another closely (gaps of at most kMaxGap bytes, kMaxBlock bytes
// in all, no cell in between that is not kept) are read in one transaction when one of them is
// asked for and not known. A block the device refuses is read cell by cell from then on.
//
// Writes go to the device. A selector's move is taken as what its registers now hold, unless
// their description says WriteAround (GenICam's write-through caching); any other write is not,
// and its registers are read again when next asked for. A selector's move (a write of a selector's
// value, which lands in registers the description gives that value) makes unknown the registers its
// selected features read (values, bounds and conditions, through selected selectors too) and those
// whose description names the selector (or a node its value is written to) as an invalidator, not
// those of other bits that share its register (a command's, say); any other write makes every
// cell unknown, since the camera may change anything in reaction to it.
//
// Selector positions: what a move makes unknown is remembered for the position it was known at
// (the registers of the selectors whose moves make it unknown, as last written) until something
// other than a move is written; moving back to a position brings it back, so that going through
// a selector's entries a second time (to apply settings, then to read them back) reads nothing
// again.
//
// Held-back moves: a move that only selects what is read next need not reach the camera while
// what is read at the new position is known or does not depend on the camera's position (a
// register whose address is computed from the selector is found at another address instead); it
// is written before a read of anything that may depend on it and before any write, and not at all
// when the camera already stands there (a selector gone through and moved back).
//
// Sources: AravisRegisterCacheLearn.cpp learns the description, AravisRegisterCache.cpp reads and
// writes.
//
// Threading: not thread-safe; the node map's lock guards every call.
class AravisRegisterCache {
  public:
    static constexpr uint32_t kMaxBlock = 512;  // bytes one GigE Vision memory read carries
    static constexpr uint32_t kMaxGap = 64;

    using DeviceRead =
        std::function<bool(uint64_t address, uint32_t size, void* buffer, GError** error)>;
    using DeviceWrite =
        std::function<bool(uint64_t address, uint32_t size, const void* buffer, GError** error)>;

    // How the cache writes the selector moves it holds back (see Defer).
    void SetDeviceWrite(DeviceWrite write) { mWrite = std::move(write); }

    // Learns the registers of the description from Aravis' tree (before any read is cached).
    void Learn(ArvGc* genicam);

    // The bytes at address: from the cells when they are known, otherwise read from the device
    // (a whole block where the cells allow it). False with the error set when the device failed.
    bool Read(uint64_t address, uint32_t size, void* buffer, GError** error,
              const DeviceRead& read);
    // Notes a write of the bytes (made to the device by the caller) as described above.
    void NoteWrite(uint64_t address, uint32_t size, const void* bytes);
    // A selector's move to a register kept with write-through: noted as NoteWrite does and held
    // back (true) instead of written, until the device is next talked to (Flush), so that going
    // through positions whose values are all known writes nothing. Moves are written in the
    // order they were made; a move of the register moved last replaces it. False: not a move
    // that can wait; the caller writes it.
    bool Defer(uint64_t address, uint32_t size, const void* bytes);
    // Writes the held-back moves. False with the error set when the device refused one (the
    // others are dropped and every value forgotten).
    bool Flush(GError** error);
    // After a write of a node (which may hold its value in the tree only, a selector that gives
    // registers their address say): the addresses computed from it are found again, and
    // Changes() counts it.
    void NoteNodeWrite(ArvGcNode* node);
    // Forgets every value.
    void Invalidate();
    // Between the outermost BeginAsk and its EndAsk, a read of a register that is not kept is
    // made once at each selector position (until something other than a move is written): one
    // ask of a feature reads each register it needs once, however many of its bits it uses. The
    // node map also holds one around a pass over many features (INodeMap::BeginSnapshot).
    void BeginAsk() { ++mAskDepth; }
    void EndAsk();
    // While on, reads go to the device (and refresh the cells they cover).
    void SetBypass(bool bypass) { mBypass = bypass; }
    bool Bypass() const { return mBypass; }
    // While on, the writes are a selector's move (see above); otherwise any other write.
    void SetSelectorMove(bool move) { mSelectorMove = move; }
    bool SelectorMove() const { return mSelectorMove; }

    // Finds the addresses of the computed registers whose inputs changed. Calls into Aravis'
    // tree: only from outside Aravis' calls (never from a register access it makes).
    void ResolvePending();

    // Counts the writes that forgot every value and the invalidations: what was learned from
    // the registers while it stays the same still holds, but for the nodes TakeTouched gives.
    uint64_t Changes() const { return mChanges; }
    // The nodes written, and the registers made unknown, by selector moves and node writes since
    // the last call (the things learned from them may no longer hold).
    std::vector<ArvGcNode*> TakeTouched();

    // For tests: how many cells are kept.
    size_t KeptCells() const;

  private:
    // What a write of a register does to the others.
    struct Effects {
        bool selector = false;            // the value register of a selector
        size_t id = 0;                    // the selector's, in mPositions
        std::vector<size_t> invalidates;  // cells a move of this selector makes unknown
        std::vector<size_t> dynamics;     // computed registers it makes unknown
        std::vector<size_t> resolves;     // computed registers whose address it is an input of
    };
    struct Cell : Effects {
        uint64_t address = 0;
        uint32_t length = 0;
        bool kept = true;          // cacheable, readable, on the device's port
        bool writeThrough = true;  // a write's bytes are what it holds (not WriteAround)
        bool known = false;        // bytes hold what the device last gave
        size_t block = SIZE_MAX;
        std::vector<uint8_t> bytes;
        std::vector<size_t> controllers;  // the selectors whose moves make it unknown
        std::unordered_map<std::string, std::vector<uint8_t>> remembered;  // by position
    };
    // A register whose address is computed.
    struct Dynamic : Effects {
        ArvGcNode* node = nullptr;
        uint32_t length = 0;
        bool kept = true;      // its value may be kept
        bool settled = false;  // its address is computed from kept registers only
        bool pending = true;
        std::vector<uint64_t> addresses;  // where it was found
    };
    struct Learned {
        uint64_t address = 0;
        uint32_t length = 0;
        bool kept = true;
        bool known = false;
        bool single = false;  // a block read over it was refused
        std::vector<uint8_t> bytes;
        std::vector<size_t> owners;  // the computed registers found here
    };
    struct Block {
        size_t first = 0;  // cells first..last
        size_t last = 0;
        bool usable = true;
    };

    void AddCells(const std::vector<Cell>& registers);
    void BuildBlocks();
    // The cells overlapping the range, in address order.
    void Overlapping(uint64_t address, uint32_t size, std::vector<size_t>& cells) const;
    bool Fetch(size_t cell, GError** error, const DeviceRead& read);
    void Store(uint64_t address, uint32_t size, const uint8_t* bytes);
    void ForgetAll();
    void ApplyMove(const Effects& effects);
    std::string PositionOf(const Cell& cell) const;
    std::string AllPositions() const;
    // The positions a register read at the address depends on: of the selectors whose moves make
    // its cells unknown, or of every selector for memory without cells.
    std::string AskedPosition(uint64_t address, uint32_t size) const;
    // What depends on the computed register is found again; its values are forgotten too
    // unless told otherwise.
    void Forget(const Dynamic& dynamic, bool values = true);
    // The cell at the address when the read asks exactly for it; null otherwise.
    Learned* LearnedAt(uint64_t address, uint32_t size);
    // Reads a found cell with its kept neighbours in one transaction where they allow it.
    bool FetchLearned(Learned& learned, GError** error, const DeviceRead& read);
    // Writes the held-back moves unless what the range holds does not depend on them: registers
    // a held move makes unknown (or the moved register itself) do, and so does memory the
    // description maps nowhere the cache knows; registers whose address is computed from the
    // selector (they are found at another address instead) and unrelated ones do not.
    bool FlushBefore(uint64_t address, uint64_t size, GError** error);
    // Whether the computed register's address is computed from the registers of the selector.
    bool AddressedBy(const Effects& effects, size_t dynamic) const;

    std::vector<Cell> mCells;  // by address, not overlapping
    std::vector<Block> mBlocks;
    std::vector<Dynamic> mDynamics;
    std::unordered_map<uint64_t, Learned> mLearned;  // by address
    std::map<uint64_t, Learned*> mLearnedInOrder;    // the same, in address order
    // The computed registers whose address a node is an input of.
    std::unordered_map<ArvGcNode*, std::vector<size_t>> mResolveOnWrite;
    std::vector<std::vector<ArvGcNode*>> mOwners;  // the registers of each cell
    std::vector<ArvGcNode*> mTouched;
    struct Held {
        uint64_t address = 0;
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> before;  // what the device holds until it is written (if known)
    };
    std::vector<Held> mHeld;  // moves not written yet, in order
    DeviceWrite mWrite;
    bool mResolvePending = false;
    std::vector<std::vector<uint8_t>> mPositions;  // by selector id: its registers as written
    bool mBypass = false;
    bool mSelectorMove = false;
    int mAskDepth = 0;
    // What this ask read of the registers that are not kept: by address, then by the positions
    // of the selectors that may change what the register holds (AskedPosition).
    std::unordered_map<uint64_t, std::unordered_map<std::string, std::vector<uint8_t>>> mAsked;
    uint64_t mChanges = 1;
};

}  // namespace sdk
