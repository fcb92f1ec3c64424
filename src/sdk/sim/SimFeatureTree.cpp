#include "sdk/sim/SimFeatureTree.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <vector>

#include "sdk/image/PixelTypeMapper.h"
#include "sdk/nodes/BooleanNode.h"
#include "sdk/nodes/CategoryNode.h"
#include "sdk/nodes/CommandNode.h"
#include "sdk/nodes/EnumEntryNode.h"
#include "sdk/nodes/EnumerationNode.h"
#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/nodes/RegisterNode.h"
#include "sdk/nodes/StringNode.h"
#include "sdk/sim/SimFeatureBuilder.h"

namespace sdk {

namespace {

// Largest value min + n * inc not above limit (min when limit is below it).
int64_t AlignDown(int64_t limit, int64_t min, int64_t inc) {
    if (limit <= min) {
        return min;
    }
    return min + ((limit - min) / inc) * inc;
}

// Significant bits per channel of a pixel format name ("Mono12p" 12, "RGB8" 8, YUV 8).
int64_t DynamicBits(const std::string& name) {
    if (name.rfind("YUV", 0) == 0 || name.rfind("YCbCr", 0) == 0) {
        return 8;
    }
    const auto digit = name.find_first_of("0123456789");
    return digit == std::string::npos ? 8 : std::stoll(name.substr(digit));
}

// The PixelFormat entries in device order, by the names the devices show (PixelTypeMapper gives
// their values); SensorOffers tells which a sensor offers.
std::vector<const char*> PixelFormatNames(bool gige) {
    if (gige) {
        return {"Mono8",           "Mono10",          "Mono10Packed",
                "Mono10p",         "Mono12",          "Mono12Packed",
                "Mono16",          "Mono8Signed",     "BayerGR8",
                "BayerRG8",        "BayerGB8",        "BayerBG8",
                "BayerGR10",       "BayerRG10",       "BayerGB10",
                "BayerBG10",       "BayerGR12",       "BayerRG12",
                "BayerGB12",       "BayerBG12",       "BayerGR12Packed",
                "BayerRG12Packed", "BayerGB12Packed", "BayerBG12Packed",
                "BayerGR10p",      "BayerGR12p",      "BayerGR16",
                "RGB8Packed",      "BGR8Packed",      "RGBA8Packed",
                "BGRA8Packed",     "YUV422Packed",    "YUV422_YUYV_Packed"};
    }
    return {"Mono8",      "Mono10",     "Mono10p",    "Mono12",     "Mono12p",    "BayerGR8",
            "BayerRG8",   "BayerGB8",   "BayerBG8",   "BayerGR10",  "BayerRG10",  "BayerGB10",
            "BayerBG10",  "BayerGR10p", "BayerRG10p", "BayerGB10p", "BayerBG10p", "BayerGR12",
            "BayerRG12",  "BayerGB12",  "BayerBG12",  "BayerGR12p", "BayerRG12p", "BayerGB12p",
            "BayerBG12p", "RGB8",       "BGR8",       "YCbCr422_8"};
}

bool SensorOffers(const SimFeatureTree::Model& model, const std::string& name) {
    if (!model.color) {
        // Mono sensor: every mono format; GigE models lack the "p" packings.
        return name.rfind("Mono", 0) == 0 &&
               !(model.gige && (name == "Mono10p" || name == "Mono12p"));
    }
    // Colour sensor with a GR Bayer pattern: Mono8, its Bayer formats and the colour formats.
    if (name.rfind("Mono", 0) == 0) {
        return name == "Mono8";
    }
    if (name.rfind("Bayer", 0) == 0) {
        return name.rfind("BayerGR", 0) == 0 && name != "BayerGR16" && name != "BayerGR10" &&
               name != "BayerGR10p";
    }
    return name != "RGBA8Packed" && name != "BGRA8Packed";
}

int64_t EntryValue(const EnumerationNode& e, const char* symbolic) {
    return e.GetEntryByName(symbolic)->GetValue();
}

}  // namespace

SimFeatureTree::Model SimFeatureTree::MakeModel(bool gige, const std::string& modelName,
                                                const std::string& serial, bool color) {
    Model model;
    model.gige = gige;
    model.color = color;
    model.modelName = modelName;
    model.serial = serial;
    if (gige) {
        model.sensorWidth = 1280;
        model.sensorHeight = 1024;
        model.maxFrameRate = 30.0;
    } else {
        model.sensorWidth = 1920;
        model.sensorHeight = 1200;
        model.maxFrameRate = 40.0;
    }
    return model;
}

void SimFeatureTree::BuildDeviceMap(MemoryNodeMap& map, const Model& model) {
    SimFeatureBuilder b(map);
    const bool gige = model.gige;
    CategoryNode& root = b.Category(nullptr, "Root", "Root");

    // ---- Categories, in the order the camera shows them.
    CategoryNode& device = b.Category(&root, "DeviceControl", "Device Control");
    CategoryNode& format = b.Category(&root, "ImageFormatControl", "Image Format Control");
    CategoryNode& acquisition = b.Category(&root, "AcquisitionControl", "Acquisition Control");
    CategoryNode& analog = b.Category(&root, "AnalogControl", "Analog Control");
    CategoryNode& autoFunctions = b.Category(&root, "AutoFunctions", "Auto Functions");
    CategoryNode& io = b.Category(&root, "DigitalIOControl", "Digital I/O Control");
    CategoryNode& chunkControl = b.Category(&root, "ChunkDataControl", "Chunk Data Control");
    CategoryNode& chunkData = b.Category(&root, "ChunkData", "Chunk Data");
    CategoryNode& userSets = b.Category(&root, "UserSetControl", "User Set Control");
    CategoryNode& lut = b.Category(&root, "LUTControls", "LUT Controls");
    CategoryNode& files = b.Category(&root, "FileAccess", "File Access");
    CategoryNode& events = b.Category(&root, "EventsGeneration", "Events Generation");
    CategoryNode& expert = b.Category(&root, "ExpertFeatureAccess", "Expert Feature Access");
    CategoryNode* transport =
        gige ? &b.Category(&root, "TransportLayer", "Transport Layer") : nullptr;
    // One plain feature directly under the root (not a category).
    IntegerNode& locked = map.Add<IntegerNode>("TLParamsLocked");
    locked.SetRange(0, 1).Initialize(0).SetDescription(
        "Locks the transport-layer parameters while streaming.");
    root.AddFeature(locked);

    // ---- Device control.
    b.String(device, "DeviceVendorName", model.vendor, "Name of the manufacturer.")
        .SetAccessMode(RO);
    b.String(device, "DeviceModelName", model.modelName, "Model name of the device.")
        .SetAccessMode(RO);
    b.String(device, "DeviceManufacturerInfo", "none", "Additional information from the vendor.")
        .SetAccessMode(RO);
    b.String(device, "DeviceVersion", gige ? "106628-19" : "107404-07", "Device version.")
        .SetAccessMode(RO);
    b.String(device, "DeviceFirmwareVersion", gige ? "V3.11.0;1" : "V2.4.1;0",
             "Firmware version of the device.")
        .SetAccessMode(RO);
    b.String(device, gige ? "DeviceID" : "DeviceSerialNumber", model.serial,
             "Serial number of the device.")
        .SetAccessMode(RO);
    b.String(device, "DeviceUserID", "", "User-settable name of the device (16 characters).")
        .SetMaxLength(16);
    b.Enumeration(device, "DeviceScanType", {"Areascan"}, "Scan type of the sensor.")
        .SetAccessMode(RO);
    {
        EnumerationNode& sel =
            gige ? b.Enumeration(device, "TemperatureSelector",
                                 {"Sensorboard", "Coreboard", "Framegrabber"},
                                 "Selects the temperature sensor.")
                 : b.Enumeration(device, "DeviceTemperatureSelector", {"Coreboard"},
                                 "Selects the temperature sensor.");
        FloatNode& temperature =
            b.LooseFloat(gige ? "TemperatureAbs" : "DeviceTemperature", -40.0, 120.0, 0.0, "C",
                         "Temperature at the selected location.");
        temperature.SetAccessMode(RO);
        if (gige) {
            temperature.Store(SelectorKey{0}, 41.5);
            temperature.Store(SelectorKey{1}, 46.0);
            temperature.Store(SelectorKey{2}, 44.25);
        } else {
            temperature.Store(SelectorKey{0}, 47.5);
        }
        b.Selected(temperature, sel);
        device.AddFeature(temperature);
    }
    b.Command(device, "DeviceReset", "Resets the device.");
    {
        RegisterNode& calibration = map.Add<RegisterNode>("DeviceCalibrationData", 0x10600, 8);
        std::vector<uint8_t> bytes(8, 0);
        for (size_t i = 0; i < model.serial.size() && i < bytes.size(); ++i) {
            bytes[i] = static_cast<uint8_t>(model.serial[i]);
        }
        calibration.Initialize(bytes).SetAccessMode(RO);
        calibration.SetDescription("Factory calibration block of the sensor.");
        device.AddFeature(calibration);
    }
    if (!gige) {
        b.Integer(device, "DeviceLinkSpeed", 0, INT64_MAX, 1, 5000000000LL / 8,
                  "Speed of the link in bytes per second.")
            .SetUnit("Bps")
            .SetAccessMode(RO);
    }
    b.String(device, "DeviceSFNCVersion", gige ? "1.3.0" : "2.1.0", "SFNC version.")
        .SetAccessMode(NI);

    // ---- Image format control.
    IntegerNode& sensorWidth = b.Integer(format, "SensorWidth", 1, 16384, 1, model.sensorWidth,
                                         "Width of the sensor in pixels.");
    sensorWidth.SetAccessMode(RO);
    IntegerNode& sensorHeight = b.Integer(format, "SensorHeight", 1, 16384, 1, model.sensorHeight,
                                          "Height of the sensor in pixels.");
    sensorHeight.SetAccessMode(RO);
    IntegerNode& widthMax = b.Integer(format, "WidthMax", 0, INT64_MAX, 1, 0,
                                      "Largest width at the current horizontal offset.");
    IntegerNode& heightMax = b.Integer(format, "HeightMax", 0, INT64_MAX, 1, 0,
                                       "Largest height at the current vertical offset.");
    IntegerNode& width = b.Integer(format, "Width", 16, model.sensorWidth, 4, model.sensorWidth,
                                   "Width of the image area of interest.");
    IntegerNode& height = b.Integer(format, "Height", 16, model.sensorHeight, 2, model.sensorHeight,
                                    "Height of the image area of interest.");
    IntegerNode& offsetX = b.Integer(format, "OffsetX", 0, 0, 2, 0, "Horizontal offset.");
    IntegerNode& offsetY = b.Integer(format, "OffsetY", 0, 0, 2, 0, "Vertical offset.");
    width.SetMaxProvider(
        [&] { return AlignDown(sensorWidth.ReadRaw() - offsetX.ReadRaw(), 16, 4); });
    height.SetMaxProvider(
        [&] { return AlignDown(sensorHeight.ReadRaw() - offsetY.ReadRaw(), 16, 2); });
    offsetX.SetMaxProvider(
        [&] { return AlignDown(sensorWidth.ReadRaw() - width.ReadRaw(), 0, 2); });
    offsetY.SetMaxProvider(
        [&] { return AlignDown(sensorHeight.ReadRaw() - height.ReadRaw(), 0, 2); });
    widthMax.SetValueProvider([&] { return width.GetMax(); }).SetAccessMode(RO);
    heightMax.SetValueProvider([&] { return height.GetMax(); }).SetAccessMode(RO);
    b.Boolean(format, "CenterX", false, "Keeps the area of interest centred horizontally.");
    b.Boolean(format, "CenterY", false, "Keeps the area of interest centred vertically.");
    b.Boolean(format, "ReverseX", false, "Mirrors the image horizontally.");
    if (!gige) {
        b.Boolean(format, "ReverseY", false, "Mirrors the image vertically.");
    }

    EnumerationNode& pixelFormat = map.Add<EnumerationNode>("PixelFormat");
    pixelFormat.SetDescription("Format of the pixels delivered by the camera.");
    for (const char* name : PixelFormatNames(gige)) {
        pixelFormat.AddEntry(name, PixelTypeMapper::GetPylonPixelTypeByName(name),
                             SensorOffers(model, name));
    }
    pixelFormat.Initialize(model.color ? "BayerGR8" : "Mono8");
    format.AddFeature(pixelFormat);
    {
        EnumerationNode& pixelSize = map.Add<EnumerationNode>("PixelSize");
        for (int64_t bits : {8, 10, 12, 16, 24, 32}) {
            pixelSize.AddEntry("Bpp" + std::to_string(bits), bits);
        }
        pixelSize
            .SetValueProvider([&pixelFormat] {
                return int64_t{
                    PixelTypeMapper::BitPerPixel(static_cast<EPixelType>(pixelFormat.ReadRaw()))};
            })
            .SetAccessMode(RO);
        pixelSize.SetDescription("Bits per pixel of the current pixel format.");
        format.AddFeature(pixelSize);

        EnumerationNode& filter = b.Enumeration(
            format, "PixelColorFilter", {"None", "BayerRG", "BayerGB", "BayerGR", "BayerBG"},
            "Colour filter pattern of the current pixel format.");
        filter
            .SetValueProvider([&pixelFormat, &filter] {
                const bool bayer =
                    PixelTypeMapper::IsBayer(static_cast<EPixelType>(pixelFormat.ReadRaw()));
                return EntryValue(filter, bayer ? "BayerGR" : "None");
            })
            .SetAccessMode(RO);
        b.Integer(format, "PixelDynamicRangeMin", 0, INT64_MAX, 1, 0,
                  "Smallest value a pixel can have.")
            .SetAccessMode(RO);
        b.Integer(format, "PixelDynamicRangeMax", 0, INT64_MAX, 1, 255,
                  "Largest value a pixel can have.")
            .SetValueProvider([&pixelFormat] {
                const std::string name = pixelFormat.ReadSymbolic().str();
                return (int64_t{1} << DynamicBits(name)) - 1;
            })
            .SetAccessMode(RO);
    }
    {
        EnumerationNode& test = map.Add<EnumerationNode>("TestImageSelector");
        test.SetDescription("Selects a test image instead of the sensor image.");
        test.AddEntry("Off", 0);
        for (int64_t i = 1; i <= 7; ++i) {
            test.AddEntry("Testimage" + std::to_string(i), i, i <= 3);
        }
        format.AddFeature(test);
    }

    // ---- Acquisition control.
    EnumerationNode& acquisitionMode =
        b.Enumeration(acquisition, "AcquisitionMode", {"SingleFrame", "MultiFrame", "Continuous"},
                      "Number of frames acquired after an acquisition start.");
    acquisitionMode.Initialize("Continuous");
    b.Command(acquisition, "AcquisitionStart", "Starts the acquisition.");
    b.Command(acquisition, "AcquisitionStop", "Stops the acquisition.");
    b.Integer(acquisition, "AcquisitionFrameCount", 1, 255, 1, 1,
              "Frames per acquisition in multi-frame mode.");
    {
        EnumerationNode& sel = map.Add<EnumerationNode>("TriggerSelector");
        sel.SetDescription("Selects the trigger to configure.");
        sel.AddEntry("AcquisitionStart", 0);
        sel.AddEntry("FrameStart", 1);
        sel.AddEntry(gige ? "LineStart" : "FrameBurstStart", 2, false);
        sel.Initialize("FrameStart");
        acquisition.AddFeature(sel);
        EnumerationNode& mode = b.LooseEnumeration("TriggerMode", {"Off", "On"},
                                                   "Whether the selected trigger is active.");
        EnumerationNode& source = b.LooseEnumeration(
            "TriggerSource", {"Line1", "Software", "Action1"}, "Source of the selected trigger.");
        map.Get<EnumEntryNode>("EnumEntry_TriggerSource_Action1").SetAccessMode(gige ? RO : NA);
        EnumerationNode& activation =
            b.LooseEnumeration("TriggerActivation", {"RisingEdge", "FallingEdge"},
                               "Signal edge that fires the selected trigger.");
        FloatNode& delay = b.LooseFloat(gige ? "TriggerDelayAbs" : "TriggerDelay", 0.0, 1000000.0,
                                        0.0, "us", "Delay between trigger and exposure start.");
        CommandNode& software = b.LooseCommand("TriggerSoftware", "Fires the software trigger.");
        for (MemoryNode* n :
             std::initializer_list<MemoryNode*>{&mode, &source, &activation, &delay, &software}) {
            sel.AddSelectedFeature(*n);
            acquisition.AddFeature(*n);
        }
    }
    b.Enumeration(acquisition, "ExposureMode", {"Timed", "TriggerWidth"},
                  "How the exposure time is determined.");
    EnumerationNode& exposureAuto = b.Enumeration(
        acquisition, "ExposureAuto", {"Off", "Once", "Continuous"}, "Automatic exposure control.");
    autoFunctions.AddFeature(exposureAuto);
    std::function<double()> exposureUs;
    if (gige) {
        IntegerNode& raw = b.Integer(acquisition, "ExposureTimeRaw", 2, 50000, 1, 500,
                                     "Exposure time in multiples of the time base.");
        FloatNode& base = b.Float(acquisition, "ExposureTimeBaseAbs", 1.0, 100.0, 20.0, "us",
                                  "Time base of the raw exposure time.");
        FloatNode& abs = b.Float(acquisition, "ExposureTimeAbs", 0.0, 0.0, 0.0, "us",
                                 "Exposure time; the camera rounds it to the time base.");
        abs.SetMinProvider([&] { return raw.GetMin() * base.ReadRaw(); })
            .SetMaxProvider([&] { return raw.GetMax() * base.ReadRaw(); })
            .SetValueProvider([&] { return raw.ReadRaw() * base.ReadRaw(); })
            .SetWriteHandler([&](double us) {
                const int64_t r = std::llround(us / base.ReadRaw());
                raw.Store(std::min(std::max(r, raw.GetMin()), raw.GetMax()));
            });
        exposureUs = [&abs] { return abs.ReadRaw(); };
    } else {
        FloatNode& time =
            b.Float(acquisition, "ExposureTime", 34.0, 10000000.0, 10000.0, "us", "Exposure time.");
        exposureUs = [&time] { return time.ReadRaw(); };
    }
    BooleanNode& rateEnable = b.Boolean(acquisition, "AcquisitionFrameRateEnable", false,
                                        "Limits the frame rate to the value set.");
    FloatNode& rate =
        b.Float(acquisition, gige ? "AcquisitionFrameRateAbs" : "AcquisitionFrameRate", 0.1, 1000.0,
                model.maxFrameRate, "Hz", "Frame rate limit.");
    const double maxRate = model.maxFrameRate;
    FloatNode& resulting =
        b.Float(acquisition, gige ? "ResultingFrameRateAbs" : "ResultingFrameRate", 0.0, 10000.0,
                0.0, "Hz", "Frame rate the current settings allow.");
    resulting
        .SetValueProvider([&sensorHeight, &height, &rateEnable, &rate, exposureUs, maxRate] {
            const double rows = static_cast<double>(std::max<int64_t>(height.ReadRaw(), 1));
            double fps = std::min(maxRate * sensorHeight.ReadRaw() / rows, 1000.0);
            fps = std::min(fps, 1000000.0 / std::max(exposureUs(), 1.0));
            if (rateEnable.ReadRaw()) {
                fps = std::min(fps, rate.ReadRaw());
            }
            return fps;
        })
        .SetAccessMode(RO);
    BooleanNode& sequence = b.Boolean(acquisition, "SequenceEnable", false,
                                      "Runs the sequencer (not offered by this model).");
    sequence.SetAccessMode(NI);

    // ---- Analog control.
    EnumerationNode& gainAuto =
        b.Enumeration(analog, "GainAuto", {"Off", "Once", "Continuous"}, "Automatic gain control.");
    autoFunctions.AddFeature(gainAuto);
    {
        EnumerationNode& sel =
            b.Enumeration(analog, "GainSelector", {"All"}, "Selects the gain to configure.");
        IntegerNode& gain = b.LooseInteger("GainRaw", 0, 360, 0, "Gain in device units.");
        b.Selected(gain, sel);
        analog.AddFeature(gain);
        EnumerationNode& blackSel = b.Enumeration(analog, "BlackLevelSelector", {"All"},
                                                  "Selects the black level to configure.");
        IntegerNode& black = b.LooseInteger("BlackLevelRaw", 0, 511, 0, "Black level.");
        b.Selected(black, blackSel);
        analog.AddFeature(black);
    }
    b.Boolean(analog, "GammaEnable", false, "Applies the gamma correction.");
    b.Float(analog, "Gamma", 0.0, 3.99998, 1.0, "", "Gamma correction exponent.");
    b.Integer(analog, "DigitalShift", 0, 4, 1, 0, "Shifts the pixel bits to the left.");
    if (model.color) {
        b.Enumeration(analog, "BalanceWhiteAuto", {"Off", "Once", "Continuous"},
                      "Automatic white balance.");
        EnumerationNode& sel =
            b.Enumeration(analog, "BalanceRatioSelector", {"Red", "Green", "Blue"},
                          "Selects the colour channel to balance.");
        FloatNode& ratio = b.LooseFloat(gige ? "BalanceRatioAbs" : "BalanceRatio", 0.0, 15.98438,
                                        1.0, "", "Gain of the selected colour channel.");
        ratio.Store(SelectorKey{0}, 1.53125);
        ratio.Store(SelectorKey{2}, 2.21875);
        b.Selected(ratio, sel);
        analog.AddFeature(ratio);
    }

    // ---- Auto functions.
    if (gige) {
        b.Integer(autoFunctions, "AutoTargetValue", 50, 205, 1, 128,
                  "Target brightness of the auto functions.");
    } else {
        b.Float(autoFunctions, "AutoTargetBrightness", 0.19608, 0.80392, 0.50196, "",
                "Target brightness of the auto functions.");
    }

    // ---- Digital I/O.
    {
        EnumerationNode& lineSel =
            b.Enumeration(io, "LineSelector", {"Line1", "Out1", "Out2", "Out3", "Out4"},
                          "Selects the I/O line to configure.");
        EnumerationNode& outSel = map.Add<EnumerationNode>("UserOutputSelector");
        outSel.SetDescription("Selects the user output to configure.");
        for (int64_t i = 1; i <= 4; ++i) {
            outSel.AddEntry("UserOutput" + std::to_string(i), i);
        }
        EnumerationNode& mode =
            b.LooseEnumeration("LineMode", {"Input", "Output"}, "Direction of the selected line.");
        mode.SetValueProvider([&lineSel] { return int64_t{lineSel.ReadRaw() == 0 ? 0 : 1}; })
            .SetAccessMode(RO);
        EnumerationNode& source = b.LooseEnumeration(
            "LineSource",
            {"Off", "ExposureActive", "UserOutput1", "UserOutput2", "UserOutput3", "UserOutput4"},
            "Signal driven on the selected output line.");
        for (int64_t line = 1; line <= 4; ++line) {
            source.Store(SelectorKey{line}, line + 1);  // OutN follows UserOutputN
        }
        source.SetAccessProvider([&lineSel] { return lineSel.ReadRaw() == 0 ? NA : RW; });
        BooleanNode& inverter = b.LooseBoolean("LineInverter", false, "Inverts the line signal.");
        FloatNode& debouncer =
            b.LooseFloat(gige ? "LineDebouncerTimeAbs" : "LineDebouncerTime", 0.0, 20000.0, 0.0,
                         "us", "Minimum pulse length accepted on an input.");
        debouncer.SetAccessProvider([&lineSel] { return lineSel.ReadRaw() == 0 ? RW : NA; });
        BooleanNode& outValue =
            b.LooseBoolean("UserOutputValue", false, "State of the selected user output.");
        b.Selected(outValue, outSel);
        // State of one line from its source and inverter.
        auto lineStatus = [&source, &inverter, &outValue](int64_t line) {
            bool level = false;
            if (line > 0) {
                const int64_t src = source.StoredValue(SelectorKey{line});
                level = src >= 2 && outValue.StoredValue(SelectorKey{src - 1});
            }
            return level != inverter.StoredValue(SelectorKey{line});
        };
        BooleanNode& status = b.LooseBoolean("LineStatus", false, "Current state of the line.");
        status.SetValueProvider([&lineSel, lineStatus] { return lineStatus(lineSel.ReadRaw()); })
            .SetAccessMode(RO);
        for (MemoryNode* n :
             std::initializer_list<MemoryNode*>{&mode, &source, &inverter, &debouncer, &status}) {
            lineSel.AddSelectedFeature(*n);
            io.AddFeature(*n);
        }
        b.Integer(io, "LineStatusAll", 0, 0x1F, 1, 0, "States of all lines, one bit each.")
            .SetRepresentation(HexNumber)
            .SetValueProvider([lineStatus] {
                int64_t bits = 0;
                for (int64_t line = 0; line <= 4; ++line) {
                    bits |= int64_t{lineStatus(line)} << line;
                }
                return bits;
            })
            .SetAccessMode(RO);
        io.AddFeature(outSel);
        io.AddFeature(outValue);
        b.Integer(io, "UserOutputValueAll", 0, 0x1E, 1, 0,
                  "States of all user outputs, bit n for UserOutput n.")
            .SetRepresentation(HexNumber)
            .SetValueProvider([&outValue] {
                int64_t bits = 0;
                for (int64_t i = 1; i <= 4; ++i) {
                    bits |= int64_t{outValue.StoredValue(SelectorKey{i})} << i;
                }
                return bits;
            })
            .SetWriteHandler([&outValue](int64_t bits) {
                for (int64_t i = 1; i <= 4; ++i) {
                    outValue.Store(SelectorKey{i}, ((bits >> i) & 1) != 0);
                }
            });
    }

    // ---- Chunks.
    {
        BooleanNode& active =
            b.Boolean(chunkControl, "ChunkModeActive", false, "Appends chunk data to each image.");
        EnumerationNode& sel = b.Enumeration(
            chunkControl, "ChunkSelector",
            {"Timestamp", "Framecounter", "ExposureTime", "LineStatusAll", "Width", "Height"},
            "Selects the chunk to enable.");
        BooleanNode& enable = b.LooseBoolean("ChunkEnable", false, "Includes the selected chunk.");
        enable.SetAccessProvider([&active] { return active.ReadRaw() ? RW : RO; });
        b.Selected(enable, sel);
        chunkControl.AddFeature(enable);
        for (const char* name : {"ChunkTimestamp", "ChunkFramecounter", "ChunkLineStatusAll",
                                 "ChunkWidth", "ChunkHeight"}) {
            b.Integer(chunkData, name, INT64_MIN, INT64_MAX, 1, 0,
                      "Value of the last image's chunk.")
                .SetAccessMode(NA);
        }
        map.Get<IntegerNode>("ChunkLineStatusAll").SetRepresentation(HexNumber);
        b.Float(chunkData, "ChunkExposureTime", 0.0, 1e9, 0.0, "us",
                "Exposure time of the last image.")
            .SetAccessMode(NA);
    }

    // ---- User sets.
    {
        EnumerationNode& sel = map.Add<EnumerationNode>("UserSetSelector");
        sel.SetDescription("Selects the user set to load or save.");
        sel.AddEntry("Default", 0);
        sel.AddEntry("HighGain", 1, false);
        sel.AddEntry("AutoFunctions", 2, false);
        sel.AddEntry("UserSet1", 3);
        sel.AddEntry("UserSet2", 4);
        sel.AddEntry("UserSet3", 5);
        userSets.AddFeature(sel);
        CommandNode& load = b.LooseCommand("UserSetLoad", "Loads the selected user set.");
        CommandNode& save = b.LooseCommand("UserSetSave", "Saves to the selected user set.");
        save.SetAccessProvider([&sel] { return sel.ReadRaw() == 0 ? NA : WO; });
        for (CommandNode* n : {&load, &save}) {
            sel.AddSelectedFeature(*n);
            userSets.AddFeature(*n);
        }
        b.Enumeration(userSets, "UserSetDefaultSelector",
                      {"Default", "UserSet1", "UserSet2", "UserSet3"},
                      "User set loaded at power-up.");
    }

    // ---- Categories the driver leaves alone.
    {
        EnumerationNode& sel =
            b.Enumeration(lut, "LUTSelector", {"Luminance"}, "Selects the lookup table.");
        BooleanNode& enable = b.LooseBoolean("LUTEnable", false, "Applies the lookup table.");
        IntegerNode& index = b.LooseInteger("LUTIndex", 0, 4095, 0, "Entry of the lookup table.");
        IntegerNode& value = b.LooseInteger("LUTValue", 0, 4095, 0, "Value of the entry.");
        for (MemoryNode* n : std::initializer_list<MemoryNode*>{&enable, &index, &value}) {
            sel.AddSelectedFeature(*n);
            lut.AddFeature(*n);
        }
        RegisterNode& all = map.Add<RegisterNode>("LUTValueAll", 0x40000, 64);
        all.SetDescription("All entries of the lookup table.");
        lut.AddFeature(all);
    }
    {
        EnumerationNode& sel =
            b.Enumeration(files, "FileSelector", {"UserData", "UserSet1", "UserSet2", "UserSet3"},
                          "Selects the file.");
        EnumerationNode& op =
            b.LooseEnumeration("FileOperationSelector", {"Open", "Close", "Read", "Write"},
                               "Selects the file operation.");
        CommandNode& execute = b.LooseCommand("FileOperationExecute", "Runs the file operation.");
        sel.AddSelectedFeature(op);
        sel.AddSelectedFeature(execute);
        files.AddFeature(op);
        files.AddFeature(execute);
        RegisterNode& buffer = map.Add<RegisterNode>("FileAccessBuffer", 0x50000, 32);
        buffer.SetDescription("Data exchanged with the file.");
        files.AddFeature(buffer);
    }
    {
        EnumerationNode& sel =
            b.Enumeration(events, "EventSelector",
                          {"ExposureEnd", "FrameStartOvertrigger", "AcquisitionStartOvertrigger"},
                          "Selects the event.");
        EnumerationNode& notify =
            b.LooseEnumeration("EventNotification", {"Off", "On"}, "Sends the selected event.");
        sel.AddSelectedFeature(notify);
        events.AddFeature(notify);
    }
    {
        EnumerationNode& sel = map.Add<EnumerationNode>("ExpertFeatureAccessSelector");
        sel.SetDescription("Selects the expert feature.");
        sel.AddEntry("ExpertFeature1", 0);
        sel.AddEntry("ExpertFeature2", 1);
        sel.AddEntry("ExpertFeature3", 2, false);
        expert.AddFeature(sel);
        device.AddFeature(sel);  // also reachable from the device control
        IntegerNode& key = b.LooseInteger("ExpertFeatureAccessKey", INT32_MIN, INT32_MAX, 0,
                                          "Key that unlocks the selected expert feature.");
        key.SetAccessMode(WO);
        BooleanNode& enable =
            b.LooseBoolean("ExpertFeatureEnable", false, "Enables the selected expert feature.");
        for (MemoryNode* n : std::initializer_list<MemoryNode*>{&key, &enable}) {
            sel.AddSelectedFeature(*n);
            expert.AddFeature(*n);
        }
    }

    // ---- Transport layer (GigE), and the payload size for both.
    CategoryNode& payloadCategory = transport ? *transport : device;
    b.Integer(payloadCategory, "PayloadSize", 0, INT64_MAX, 1, 0, "Bytes of one image buffer.")
        .SetValueProvider([&width, &height, &pixelFormat] {
            return static_cast<int64_t>(PixelTypeMapper::ComputeBufferSize(
                static_cast<EPixelType>(pixelFormat.ReadRaw()),
                static_cast<uint32_t>(width.ReadRaw()), static_cast<uint32_t>(height.ReadRaw())));
        })
        .SetAccessMode(RO);
    if (transport) {
        b.Integer(*transport, "GevSCPSPacketSize", 220, 16404, 4, 1500,
                  "Size of the stream packets in bytes.");
        b.Integer(*transport, "GevSCPD", 0, 50000, 1, 0, "Delay between stream packets (ticks).");
        b.Integer(*transport, "GevCurrentIPAddress", 0, 0xFFFFFFFFLL, 1, 0xC0A80A0BLL,
                  "Current IP address of the device.")
            .SetRepresentation(IPV4Address)
            .SetAccessMode(RO);
        b.Integer(*transport, "GevMACAddress", 0, 0xFFFFFFFFFFFFLL, 1, 0x003053AB12CDLL,
                  "MAC address of the device.")
            .SetRepresentation(MACAddress)
            .SetAccessMode(RO);
        b.Integer(*transport, "GevTimestampTickFrequency", 0, INT64_MAX, 1, 125000000,
                  "Ticks of the time stamp per second.")
            .SetAccessMode(RO);
    }
}

void SimFeatureTree::BuildTransportLayerMap(MemoryNodeMap& map, const Model& model) {
    SimFeatureBuilder b(map);
    CategoryNode& root = b.Category(nullptr, "Root", "Root");
    CategoryNode& tl = b.Category(&root, "TransportLayer", "Transport Layer");
    b.Integer(tl, "ReadTimeout", 1, 60000, 1, model.gige ? 500 : 1000,
              "Time-out of a register read (ms).");
    b.Integer(tl, "WriteTimeout", 1, 60000, 1, model.gige ? 500 : 1000,
              "Time-out of a register write (ms).");
    if (model.gige) {
        b.Integer(tl, "HeartbeatTimeout", 500, 4294967295LL, 100, 3000,
                  "Time without heartbeat after which the device counts as removed (ms).");
        b.Integer(tl, "MaxRetryCountRead", 0, 100, 1, 2, "Retries of a failed read.");
        b.Integer(tl, "MaxRetryCountWrite", 0, 100, 1, 2, "Retries of a failed write.");
        b.Boolean(tl, "CommandDuplicationEnabled", false, "Sends each command twice.");
    } else {
        b.Integer(tl, "MaxTransferSize", 1024, 4194304, 1024, 262144,
                  "Largest USB transfer in bytes.");
        b.Integer(tl, "NumMaxQueuedUrbs", 1, 256, 1, 64, "Transfers queued at most.");
    }
}

void SimFeatureTree::Normalize(MemoryNodeMap& map) {
    std::lock_guard<std::recursive_mutex> lock(map.Mutex());
    // Sizes first (their maximum leaves room for the offsets), then the offsets; twice, for a
    // sensor that was made smaller than an offset.
    for (int pass = 0; pass < 2; ++pass) {
        for (const char* name : {"Width", "Height", "OffsetX", "OffsetY"}) {
            IntegerNode& n = map.Get<IntegerNode>(name);
            const int64_t v = std::min(std::max(n.ReadRaw(), n.GetMin()), n.GetMax());
            n.Store(AlignDown(v, n.GetMin(), n.GetInc()));
        }
    }
}

}  // namespace sdk
