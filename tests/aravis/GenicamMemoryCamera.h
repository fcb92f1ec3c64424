#pragma once

#include <arv.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// A camera served in process from any GenICam description: Aravis' GenICam parser over a device
// of ours (an ArvDevice subclass) whose registers live in memory, every address having storage.
//
// Seeding, from the description alone (never from knowledge of a particular file): the
// registers that the features' pIsImplemented and pIsAvailable conditions read (read-only
// registers reached through pValue and pVariable) are set to all ones, or to zero where a
// condition needs that (for each entry of the selectors that select the feature); the read-only
// registers a pMax reads hold 1024 (a sensor-like size), the other read-only number registers 1;
// the registers pIsLocked conditions read are cleared where that unlocks a feature, as after
// power-up. Then every feature under Root: an enumeration that holds no available entry gets its
// first available entry (document order), every number outside its range its maximum (its
// minimum when the range is wider than 1024), values a description divides by are not 0. Last
// the image: Width and Height at their maximum (1024 where that is no sensor's), a PixelFormat
// BedFrame draws where the description offers one, and a PayloadSize that holds the image.
//
// Frames: writing the register of the description's AcquisitionStart command starts Aravis' fake
// camera (in process, no network) behind the stream with the frame NextFrame() describes, drawn
// as BedFrame says; writing the AcquisitionStop register stops it. Before AcquisitionStart no
// frame arrives.
//
// Unplugging: while not present, every register access waits GoneDelayMs and fails with a
// time-out, and each connection emits Aravis' "control-lost" signal once.
//
// Transactions: every register read and write of a connection the driver opened (not the
// seeding connection) is counted, with its bytes, as a link's camera would see it; each may wait
// a set delay first, the round trip of a real link.
//
// Threading: Open, the accessors and the register calls of the devices are thread-safe;
// mMemoryLock guards mPages, mGcLock the seeding tree mGc and mDevice.
class GenicamMemoryCamera {
  public:
    // Throws std::runtime_error when the file cannot be read or parsed.
    GenicamMemoryCamera(const std::string& xmlPath, std::string serial);
    ~GenicamMemoryCamera();
    GenicamMemoryCamera(const GenicamMemoryCamera&) = delete;
    GenicamMemoryCamera& operator=(const GenicamMemoryCamera&) = delete;

    const std::string& Serial() const { return mSerial; }
    // The file name without folder and ".xml".
    const std::string& Model() const { return mModel; }
    const std::string& Xml() const { return mXml; }

    // A new connection (the caller owns the reference). Null with the error set when the
    // camera is not present.
    ArvDevice* Open(GError** error);

    void SetPresent(bool present) { mPresent = present; }
    bool IsPresent() const { return mPresent; }
    // The camera disappears after that many more register reads.
    void UnplugAfterReads(int64_t reads) { mReadsLeft = reads; }
    void SetGoneDelayMs(int ms) { mGoneDelayMs = ms; }

    // A feature's value read from the registers (seeding tree, no cache); 0 when unreadable.
    int64_t ReadInteger(const std::string& feature);
    // An enumeration's current entry (seeding tree, no cache); empty when unreadable.
    std::string ReadEntry(const std::string& feature);
    // Writes a feature through the seeding tree (checks off), as the camera itself would.
    void WriteInteger(const std::string& feature, int64_t value);
    void WriteFloat(const std::string& feature, double value);
    void WriteEntry(const std::string& feature, const std::string& entry);
    // The features below Root's categories that are implemented, each once, categories and
    // entries not counted: what arv-tool-0.8 features lists for this camera.
    size_t CountImplementedFeatures();
    // The frame the bed serves from the registers as they stand: the description's Width, Height
    // and PixelFormat (Mono8 for a format BedFrame does not draw), the height cut to what
    // PayloadSize holds.
    struct Frame {
        int64_t width = 0;
        int64_t height = 0;
        ArvPixelFormat format = ARV_PIXEL_FORMAT_MONO_8;
    };
    Frame NextFrame();
    // Whether the fake behind some connection is acquiring.
    bool IsAcquiring() const { return mAcquiring; }
    // How often each command's register was written.
    int StartCount() const { return mStarts; }
    int StopCount() const { return mStops; }

    // Register transactions counted so far (see above).
    struct Transactions {
        int64_t reads = 0;
        int64_t writes = 0;
        int64_t readBytes = 0;
        int64_t writtenBytes = 0;
        int64_t Count() const { return reads + writes; }
        Transactions operator-(const Transactions& earlier) const;
    };
    Transactions Counted() const;
    // Each counted transaction waits that long before it is served.
    void SetTransactionDelayUs(int us) { mDelayUs = us; }
    // Sees every counted transaction (set before the camera is opened; called on the thread that
    // makes it): where an open's transactions go, register by register.
    using Observer = std::function<void(bool write, uint64_t address, uint32_t bytes)>;
    void SetTransactionObserver(Observer observer) { mObserver = std::move(observer); }
    // What reading every feature value once costs with Aravis' register cache on, on a
    // connection of its own (what arv-tool-0.8 values reads: every implemented feature under
    // Root's categories, its availability and access mode, the value of every available number,
    // boolean, string and enumeration). -1 when the camera cannot be opened.
    int64_t CountReadingEveryValueOnce();

    // The camera's own behaviour, for tests: after a driver's connection writes a range that
    // holds the address, the reaction runs (and may change registers with Poke32).
    void OnWrite(uint64_t address, std::function<void(GenicamMemoryCamera&)> reaction);
    // A big-endian 32-bit register, as the camera itself reads and changes it (nothing counted).
    uint32_t Peek32(uint64_t address);
    void Poke32(uint64_t address, uint32_t value);
    // Reads of more bytes than that fail with an invalid-address error, as on a camera that
    // serves only single registers (0: no limit).
    void RefuseReadsLongerThan(uint32_t bytes) { mLongestRead = bytes; }

    // For the device class.
    bool ReadMemory(uint64_t address, uint32_t size, void* buffer, GError** error);
    bool WriteMemory(ArvDevice* device, uint64_t address, uint32_t size, const void* buffer,
                     GError** error);
    bool CheckPresent(ArvDevice* device, GError** error);
    // Counts a transaction of the connection (the seeding one is not counted) and waits the delay.
    void Count(ArvDevice* device, bool write, uint64_t address, uint32_t bytes);
    // Runs the reactions to a driver's write of the range.
    void React(uint64_t address, uint32_t size);
    bool AcceptsRead(uint32_t size) const;
    ArvDevice* SeedingDevice() const { return mDevice; }

    // A host's write of registers, for a camera served over another transport: whether it was
    // the AcquisitionStart or the AcquisitionStop command (counted; IsAcquiring follows).
    enum class Written { Plain, Start, Stop };
    Written WriteAsHost(uint64_t address, uint32_t size, const void* buffer);

  private:
    struct Command {
        uint64_t address = UINT64_MAX;   // of the register the command writes
        int64_t value = 0;               // its CommandValue
        ArvGcNode* valueNode = nullptr;  // its pValue, in the seeding tree
    };

    void Seed();
    void SeedConditions();
    void SeedCondition(ArvGcNode* condition);
    void SeedDivisors(ArvDomNode* element);
    bool Decide(ArvGcNode* leaf);
    int64_t ReadLeaf(ArvGcNode* leaf);
    void SeedReadOnly();
    void SeedUnlocked();
    void SeedImage();
    int64_t BytesPerPixel();
    void SeedValues();
    Command FindCommand(const char* name);
    void StartFake(ArvDevice* fake);
    void Store(uint64_t address, uint32_t size, const void* buffer);
    void Fill(uint64_t address, uint64_t length, uint8_t byte);

    const std::string mSerial;
    std::string mModel;
    std::string mXml;
    std::atomic<bool> mPresent{true};
    std::atomic<int64_t> mReadsLeft{-1};
    std::atomic<int> mGoneDelayMs{500};
    std::atomic<bool> mAcquiring{false};
    std::atomic<int> mStarts{0};
    std::atomic<int> mStops{0};
    std::atomic<int64_t> mReads{0};
    std::atomic<int64_t> mWrites{0};
    std::atomic<int64_t> mReadBytes{0};
    std::atomic<int64_t> mWrittenBytes{0};
    std::atomic<int> mDelayUs{0};
    Observer mObserver;
    std::atomic<uint32_t> mLongestRead{0};
    std::mutex mReactionLock;  // guards mReactions
    std::vector<std::pair<uint64_t, std::function<void(GenicamMemoryCamera&)>>> mReactions;
    Command mStart;
    Command mStop;

    std::mutex mMemoryLock;
    std::unordered_map<uint64_t, std::vector<uint8_t>> mPages;  // by address / kPage

    std::recursive_mutex mGcLock;
    ArvDevice* mDevice = nullptr;  // the seeding connection, holding mGc
    ArvGc* mGc = nullptr;
    // Registers (at an address) seeding has set; guarded by mGcLock.
    std::set<std::pair<ArvGcNode*, uint64_t>> mDecided;
};
