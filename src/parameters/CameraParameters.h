#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

#include "base/NoCaseLess.h"
#include "parameters/Param_.h"
#include "sdk/genapi/NodeTypes.h"

class IniFile;

namespace sdk {
class ICategory;
class IEnumEntry;
class IEnumeration;
class INode;
class INodeMap;
}  // namespace sdk

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
// The set is built from a camera's feature tree (CreateFromNodes), written to the camera and read
// back from it (ApplyParameters, UpdateParameters, UpdateChunkParameters), checked (Validate) and
// stored in the configuration file (Load, Save). Every log line names the port as "port" P and the
// method as "CameraParameters::" NAME; trace texts are built only when level 3 is enabled.
//
// The class's members are defined in four source files, one per concern: CameraParameters.cpp
// (the set itself and its driver settings), CameraParametersWalk.cpp (the walk of the feature
// tree), CameraParametersApply.cpp (writing to the camera, reading back, validation) and
// CameraParametersFile.cpp (the configuration file sections).
//
// Threading: no lock of its own. The camera serialises the threads that build, change and read it
// (open, reopen, configuration and the host's property calls). UpdateChunkParameters runs on the
// image thread and changes only values; the chunk-mode flag and the port are atomics, so they may
// be read from any thread. The configuration file is read and written under IniFileStore's locks
// (in the process and across processes), each Save as one atomic update.
class CameraParameters {
  public:
    using ParamList = std::vector<std::unique_ptr<Param_>>;
    // Iteration in insertion order yields the parameters themselves.
    using iterator = boost::indirect_iterator<ParamList::const_iterator, Param_>;
    using const_iterator = boost::indirect_iterator<ParamList::const_iterator, const Param_>;

    // The walk's name tables; all compared exactly (case-sensitive). Categories not walked:
    static constexpr std::array<std::string_view, 4> IgnoredCategories{
        {"LUTControls", "FileAccess", "EventsGeneration", "ExpertFeatureAccess"}};
    // Parameter names (selector prefix included) for which no parameter is created:
    static constexpr std::array<std::string_view, 1> IgnoredFeatures{
        {"ExpertFeature1_ExpertFeatureAccessKey"}};
    // Parameter names the camera may change on its own (mVolatile):
    static constexpr std::array<std::string_view, 18> VolatileFeatures{
        {"Out1_LineStatus", "Out2_LineStatus", "Out3_LineStatus", "Out4_LineStatus",
         "LineStatusAll", "UserOutput1_UserOutputValue", "UserOutput2_UserOutputValue",
         "UserOutput3_UserOutputValue", "UserOutput4_UserOutputValue", "UserOutputValueAll",
         "Sensorboard_TemperatureAbs", "ResultingFrameRateAbs", "AcquisitionFrameRateAbs",
         "ExposureTimeRaw", "ExposureTimeAbs", "ExposureTimeBaseAbs", "PixelDynamicRangeMin",
         "PixelDynamicRangeMax"}};

    // Registers longer than this (in bytes) are not read into their text parameter: tables and
    // files are no settings, and reading them would cost the open its time and memory.
    static constexpr int64_t kLargestRegisterText = 4096;

    // Tolerance below which a real value counts as already on the camera.
    static constexpr double kFloatTolerance = 0.001;

    // cameraPort points at the owning camera's port number (negative: unassigned) and must
    // outlive the set; it may be null for a set not bound to a camera.
    CameraParameters(const std::atomic<int>* cameraPort, std::string cameraName);
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
    int GetCameraPort() const { return mCameraPort != nullptr ? mCameraPort->load() : -1; }
    const std::string& GetCameraName() const { return mCameraName; }
    // Whether grabbed images refresh the chunk parameters ("ChunkModeActive" as last refreshed).
    bool IsChunkModeActive() const { return mChunkModeActive; }

    // --- Parameters from the feature tree ------------------------------------------------------

    // Walks every category directly under the node map's "Root" category, in tree order, adding
    // a parameter per feature whose name is not yet in the set (so a second walk over the same
    // camera adds only features not seen before). Expanding a selector sets it to each of its
    // available entries in turn and leaves it at the last one. Throws std::runtime_error
    // "CameraParameters::CreateFromNodes: Failed to get root node" when there is no "Root"
    // category; parameters added so far stay.
    void CreateFromNodes(sdk::INodeMap& nodeMap);
    // Walks one category unless its name is in IgnoredCategories. Throws std::runtime_error
    // "CameraParameters::CreateParametersFromCategory: parameter == null" for a null category.
    void CreateFromCategory(sdk::ICategory* category);
    // Walks one feature list. selectorName and entry are empty / null for a category's list and
    // name the selector and its entry for the features a selector entry selects; the parameters
    // are then named ENTRY "_" FEATURE, and a feature reached through nested selectors carries
    // every entry, outermost first (OUTER "_" ENTRY "_" FEATURE). A categoryName equal to
    // "ChunkData" ignoring case marks the parameters as chunk parameters.
    void CreateFromFeatures(const std::string& categoryName, const sdk::FeatureList_t& features,
                            const std::string& selectorName, sdk::IEnumEntry* entry);
    // Maps one node to a new parameter (not yet added), or null: not implemented, a selected
    // feature reached without its selector, a command, an entry, a sub-category (walked here), a
    // selector (expanded here) or an unsupported type. Every exception of the node's mapping,
    // nested walks included, is caught and logged; the parameter is then not created.
    std::unique_ptr<Param_> CreateParamFromNode(const std::string& categoryName, sdk::INode* node,
                                                const std::string& selectorName,
                                                sdk::IEnumEntry* entry);

    // --- Writing to and reading from the camera -----------------------------------------------

    // Writes every writable camera parameter in the set's order, pass after pass, until a pass
    // writes nothing (true) or maxPasses passes all wrote something (false). maxPasses <= 0
    // writes nothing and returns true. The node map's cache is invalidated after a pass that
    // wrote a value, so that the next pass and a read-back see what the camera made of it; a
    // pass that wrote nothing leaves it (the values it read are the camera's).
    bool ApplyParameters(sdk::INodeMap& nodeMap, int maxPasses);
    // ApplyParameter for each named parameter in the list's order; names not in the set are
    // skipped, a failure of one is logged and the next one follows. Returns true.
    bool ApplyParameters(sdk::INodeMap& nodeMap, const std::vector<std::string>& names);
    // Writes one parameter to its node ("NodeName") when the node is readable and writable and
    // holds another value; written tells whether it did. Never throws; a null parameter does
    // nothing.
    void ApplyParameter(sdk::INodeMap& nodeMap, Param_* parameter, bool& written);
    // Compares the node's value with the parameter's and writes the parameter's when they differ
    // (reals: by kFloatTolerance or more, non-finite values when unequal, a non-finite parameter
    // never; texts: other than by case; enumerations: by entry value, an unknown entry text
    // counting as 0). Registers are never written; other pairings of node and parameter type
    // are left alone. Throws what the node throws.
    void WriteToCamera(sdk::INode* node, Param_* parameter, bool& written);
    // Sets the selectors of a parameter reached through nested selectors (options
    // "OuterSelectorName0", ... with their values), outermost first, then the selector named by
    // the option "SelectorName" (one of the node's selecting features) to "SelectorValue", each
    // written only when it does not stand there already (a read-only selector does). Does
    // nothing without the option or without such a selector. False when a selector is not
    // available or stands read-only at another entry (the parameter cannot be reached now);
    // throws what the selector throws.
    bool SetSelector(sdk::INode* node, Param_* parameter);
    // Reads every camera parameter (not the driver settings) back from the camera, the node
    // map's cache invalidated first unless the caller knows nothing was written since the last
    // invalidation (after ApplyParameters, say). Exceptions of a parameter without "NodeName"
    // option or a failing look-up end the refresh and propagate.
    void UpdateParameters(sdk::INodeMap& nodeMap, bool invalidate = true);
    // Reads one parameter back: value, for numbers the range, and mWritable. Refreshing
    // "ChunkModeActive" sets the chunk mode.
    void UpdateParameter(sdk::INodeMap& nodeMap, Param_* parameter);
    // Copies the node's value (and for numbers its range) into the parameter when their types
    // pair up; throws what the node throws.
    void SetValue(Param_* parameter, sdk::INode* node);
    // Refreshes every parameter named like a node of one grab result's chunk-data node map.
    // Failures are logged per node; never throws for a node.
    void UpdateChunkParameters(sdk::INodeMap& chunkNodeMap);
    // Checks the writable numeric parameters in the set's order against their range (and a
    // Param<int> with an increment against its step). On the first failure returns false with
    // its text in message ("General: BufferCount: out of range [3..25]"); else true, message
    // untouched.
    bool Validate(std::string& message) const;

    // --- Configuration file (DriverState::GetIniPath()) ----------------------------------------

    // "Port.0." followed by the port number.
    std::string PortSectionName() const;
    // The section this camera loads from: the port section when its "$Camera" value names this
    // camera (only the text before the first "(" compared, ignoring case, when the camera's name
    // has one), else none; without a port section, a section named exactly like the camera.
    // Empty when there is none.
    std::string FindSection() const;
    // Reads every persistent parameter whose mGeneral equals driverSettings from FindSection()
    // (driver settings from "General"); a missing key keeps the value. A file that exists but
    // cannot be read is logged and read as none. Returns true.
    bool Load(bool driverSettings);
    // Writes "$Camera" and every persistent parameter into the port section (driver settings into
    // "General") in one atomic update of the file. False, writing nothing, for an unassigned
    // port or when the file cannot be read or written; error, when given, then tells why.
    bool Save(std::string* error = nullptr) const;
    // Whether the configuration file has a section of that name, ignoring case.
    static bool SectionExists(const std::string& name);

  private:
    // Selector expansion: for each available entry, sets the selector to it (when writable) and
    // walks the features it selects with that entry. A read-only selector has only the entry it
    // stands at. A feature that a selected selector selects too is left to that selector.
    void ExpandSelector(const std::string& categoryName, sdk::INode* selector,
                        sdk::IEnumeration& enumeration);
    // The parameter name of a node reached through a selector entry: the entries of the
    // selectors around it (mOuterSelectors) and its own, outermost first, then the node's name,
    // joined by "_". Without an entry the node's name.
    std::string SelectedName(sdk::IEnumEntry* entry, const std::string& nodeName) const;
    // Sets a selector to the entry value unless it stands there; false when it cannot get there
    // (not available, or read-only at another entry).
    bool MoveSelector(sdk::INode* selector, int64_t value);
    // FindSection on a file already read.
    std::string FindSection(const IniFile& file) const;

    // Adds the seven driver settings in their fixed order.
    void CreateDriverSettings();
    // Appends an owned parameter known to have a new name.
    void Append(std::unique_ptr<Param_> parameter);

    ParamList mParams;                                   // owning, in insertion order
    std::map<std::string, Param_*, NoCaseLess> mByName;  // exactly the parameters of mParams
    std::atomic<bool> mChunkModeActive{false};
    const std::atomic<int>* mCameraPort;
    std::string mCameraName;
    sdk::NodeList_t mChunkNodes;  // scratch list of UpdateChunkParameters
    // While a walk expands a selector reached through another selector's entry: those outer
    // selectors' names and entries, outermost first.
    std::vector<std::pair<std::string, sdk::IEnumEntry*>> mOuterSelectors;
};
