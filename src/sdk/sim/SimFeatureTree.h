#pragma once

#include <cstdint>
#include <string>

namespace sdk {

class MemoryNodeMap;

// Builds the feature trees of the simulated camera models: a device node map under "Root" with
// the categories of an area-scan camera, and the transport layer's node map.
//
// What couples in the device map: Width/Height ranges follow SensorWidth/Height and the offsets
// (and the other way round); GigE ExposureTimeAbs is ExposureTimeRaw × ExposureTimeBaseAbs, so a
// written value comes back rounded to the base; the resulting frame rate follows exposure, height
// and the frame-rate limit; LineStatus/LineStatusAll follow the user outputs; ChunkEnable is
// writable only in chunk mode. Chunk values ("ChunkData") are not available in the device map;
// they come with each grab result.
//
// Commands that touch the device (AcquisitionStart/Stop, TriggerSoftware) are left without
// handler; the device adds them.
//
// Threading: build before sharing the maps.
class SimFeatureTree {
  public:
    struct Model {
        bool gige = true;
        bool color = false;
        std::string vendor = "Basler";
        std::string modelName;
        std::string serial;
        int64_t sensorWidth = 1280;
        int64_t sensorHeight = 1024;
        double maxFrameRate = 30.0;  // full sensor, short exposure
    };

    // A model's sensor and class from its name and class text.
    static Model MakeModel(bool gige, const std::string& modelName, const std::string& serial,
                           bool color);

    static void BuildDeviceMap(MemoryNodeMap& map, const Model& model);
    static void BuildTransportLayerMap(MemoryNodeMap& map, const Model& model);
    // After initial values were applied: brings the image geometry back into range.
    static void Normalize(MemoryNodeMap& map);
};

}  // namespace sdk
