#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

#include "parameters/NoCaseLess.h"
#include "parameters/Param_.h"

// The parameter set of one camera: an ordered list of parameters that owns them, with an index by
// name. Names are unique ignoring case; when two parameters would share a name, the one inserted
// first stays and the later one is discarded. The insertion order is the order of every pass over
// the set (apply, refresh, validate, save, load and the dialog).
//
// A new set starts with the driver's seven settings in the category "General", in this order:
// "LogLevel", "LogIntoFile", "UseBGR", "InhibitPylonTerminate", "BufferCount", "Reconnect",
// "Heartbeat". Camera features follow them, and after those the per-category collapse flags of
// the dialog (CreateCollapseStatus).
//
// Each camera keeps two sets bound to its port and name: the working set and a backup used to undo
// a cancelled edit in the dialog (Assign, CopyValuesFrom).
//
// Threading: no lock of its own. The camera serialises the threads that build, change and read it
// (open, reopen, configuration and the host's property calls).
class CameraParameters {
  public:
    using ParamList = std::vector<std::unique_ptr<Param_>>;
    // Iteration in insertion order yields the parameters themselves.
    using iterator = boost::indirect_iterator<ParamList::const_iterator, Param_>;
    using const_iterator = boost::indirect_iterator<ParamList::const_iterator, const Param_>;

    // cameraPort points at the owning camera's port number (negative: unassigned) and must
    // outlive the set; it may be null for a set not bound to a camera.
    CameraParameters(const int* cameraPort, std::string cameraName);
    ~CameraParameters();
    CameraParameters(const CameraParameters&) = delete;
    CameraParameters& operator=(const CameraParameters&) = delete;

    // --- Set operations -------------------------------------------------------------------------

    // Takes ownership of a newly created parameter and appends it, unless one of the same name
    // (ignoring case) exists: then the new one is deleted at once. Returns whether it was added.
    // Throws std::exception "CameraParameters::AddParameter_ null argument" for a null pointer.
    bool AddParameter_(std::unique_ptr<Param_> parameter);
    // Appends a clone of the parameter unless one of its name exists. Returns whether it did.
    bool AddCopy(const Param_& parameter);
    // Makes this set a deep copy of the other (clones, options included); assigning a set to
    // itself changes nothing. Port, camera name and chunk mode stay this set's own.
    void Assign(const CameraParameters& other);
    // Deletes every parameter, the driver settings included.
    void ClearParameters();
    // For each own parameter, copies the value of the other set's parameter of the same name when
    // both have the same type; ranges, defaults, flags and options are untouched.
    void CopyValuesFrom(const CameraParameters& other);

    // Look-up by name, ignoring case.
    bool Contains(const std::string& name) const;
    Param_* Find(const std::string& name);
    const Param_* Find(const std::string& name) const;

    iterator begin() { return iterator(mParams.begin()); }
    iterator end() { return iterator(mParams.end()); }
    const_iterator begin() const { return const_iterator(mParams.begin()); }
    const_iterator end() const { return const_iterator(mParams.end()); }
    size_t size() const { return mParams.size(); }

    // --- Driver settings and dialog state -----------------------------------------------------

    // Adds, for every distinct non-empty category of the visible parameters, the hidden flag
    // CATEGORY "_CollapseStatus" (Param<bool>, true, category "General", option "SectionName" =
    // CATEGORY; a driver setting that is neither persistent, visible nor writable). Flags that
    // exist already are kept as they are, so calling it again adds nothing.
    void CreateCollapseStatus();

    // --- Binding to the camera ------------------------------------------------------------------

    // The owning camera's port, or -1 when the set is not bound to one.
    int GetCameraPort() const { return mCameraPort != nullptr ? *mCameraPort : -1; }
    const std::string& GetCameraName() const { return mCameraName; }
    // Whether grabbed images refresh the chunk parameters ("ChunkModeActive" as last refreshed).
    bool IsChunkModeActive() const { return mChunkModeActive; }

    // The walk over the camera's feature tree, writing to and reading from the camera, and the
    // configuration file add their operations to this class alongside the ones above.

  private:
    // Adds the seven driver settings in their fixed order.
    void CreateDriverSettings();
    // Appends an owned parameter known to have a new name.
    void Append(std::unique_ptr<Param_> parameter);

    ParamList mParams;                                   // owning, in insertion order
    std::map<std::string, Param_*, NoCaseLess> mByName;  // exactly the parameters of mParams
    bool mChunkModeActive = false;
    const int* mCameraPort;
    std::string mCameraName;
};
