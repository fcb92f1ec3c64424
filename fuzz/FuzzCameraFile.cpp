// libFuzzer target: arbitrary bytes as the text of a simulated camera file.
//
// Besides running the parser under the sanitizers, it checks what it reports:
// - the file is accepted exactly when its class is one of the two device classes;
// - every setting has a feature name without blanks or brackets, trimmed values, and settings
//   come in line order; every unused line has a line number of the file and its trimmed,
//   non-empty text, and no line is both a setting and unused, or unused twice;
// - what was read, written back as a camera file, reads back the same with no unused line
//   (but an unknown class), also into the object that parsed the input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/sim/SimCameraFile.h"
#include "sdk/transport/DeviceInfo.h"

using sdk::SimCameraFile;

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Only the first kMaxInput bytes of an input are used: enough for every kind of line, and fast.
constexpr size_t kMaxInput = 512;
const char* const kDirectory = "/cameras";
const char* const kFallback = "fallback";

bool Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    return text.empty() ||
           (text.find_first_of(blanks) != 0 && text.find_last_of(blanks) != text.size() - 1);
}

// The camera file that says what file says.
std::string Write(const SimCameraFile& file) {
    std::string text;
    text.reserve(256);
    const auto line = [&text](const char* key, const std::string& value) {
        text.append(key).append(1, '=').append(value).append(1, '\n');
    };
    if (!file.GetDeviceClass().empty()) {
        line("Class", file.GetDeviceClass());
    }
    line("Model", file.GetModel());
    line("Serial", file.GetSerial());
    if (file.GetSensor() != SimCameraFile::Sensor::ByModel) {
        text +=
            file.GetSensor() == SimCameraFile::Sensor::Mono ? "Sensor=mono\n" : "Sensor=color\n";
    }
    if (!file.GetImagePath().empty()) {
        line("ImageFile", file.GetImagePath());
    }
    for (const SimCameraFile::Setting& setting : file.GetSettings()) {
        text += setting.feature;
        if (!setting.selectorEntry.empty()) {
            text.append(1, '[').append(setting.selectorEntry).append(1, ']');
        }
        text.append(1, '=').append(setting.value).append(1, '\n');
    }
    return text;
}

// A file read back from the text written for expected: the same, and unused lines only as many
// as that text has.
void CheckSame(const SimCameraFile& read, const SimCameraFile& expected, size_t unused) {
    Check(read.GetDeviceClass() == expected.GetDeviceClass());
    Check(read.GetModel() == expected.GetModel());
    Check(read.GetSerial() == expected.GetSerial());
    Check(read.GetSensor() == expected.GetSensor());
    Check(read.IsColor() == expected.IsColor());
    Check(read.GetImagePath() == expected.GetImagePath());
    const auto& x = read.GetSettings();
    const auto& y = expected.GetSettings();
    Check(x.size() == y.size());
    for (size_t i = 0; i < x.size(); ++i) {
        Check(x[i].feature == y[i].feature && x[i].selectorEntry == y[i].selectorEntry &&
              x[i].value == y[i].value);
    }
    Check(read.GetUnusedLines().size() == unused);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) {
        size = kMaxInput;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    SimCameraFile file;
    const bool accepted = file.Parse(text, kFallback, kDirectory);
    const std::string& deviceClass = file.GetDeviceClass();
    Check(accepted == (deviceClass == sdk::DeviceInfo::kClassGigE ||
                       deviceClass == sdk::DeviceInfo::kClassUsb));
    Check(!file.GetModel().empty() && !file.GetSerial().empty());
    Check(file.GetImagePath().empty() || file.GetImagePath()[0] == '/');

    int lines = 1;
    for (const char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    std::vector<bool> seen(static_cast<size_t>(lines) + 1);  // lines a setting or unused line is of
    const auto firstSeen = [&seen](int line) {
        const bool first = !seen[static_cast<size_t>(line)];
        seen[static_cast<size_t>(line)] = true;
        return first;
    };
    int previous = 0;
    for (const SimCameraFile::Setting& setting : file.GetSettings()) {
        Check(!setting.feature.empty() &&
              setting.feature.find_first_of(" \t[]") == std::string::npos);
        Check(Trimmed(setting.feature) && Trimmed(setting.selectorEntry) && Trimmed(setting.value));
        Check(setting.line > previous && setting.line <= lines);
        previous = setting.line;
        Check(firstSeen(setting.line));
    }
    int unknownClass = 0;
    for (const SimCameraFile::UnusedLine& unused : file.GetUnusedLines()) {
        Check(unused.line >= 1 && unused.line <= lines);
        Check(!unused.text.empty() && Trimmed(unused.text) && !unused.why.empty());
        Check(firstSeen(unused.line));
        Check(file.Describe(unused).find(unused.text) != std::string::npos);
        unknownClass += unused.why.rfind("unknown device class", 0) == 0 ? 1 : 0;
    }
    Check(unknownClass <= 1);
    // A class that is written back and unknown is the one unused line of the written file.
    const size_t unusedWritten = !deviceClass.empty() && !accepted ? 1 : 0;

    // Written back, it reads the same: into a new object, and into the one that read the input.
    const std::string written = Write(file);
    SimCameraFile again;
    Check(again.Parse(written, "other", "/elsewhere") == accepted);
    CheckSame(again, file, unusedWritten);
    Check(file.Parse(written, "other", "/elsewhere") == accepted);
    CheckSame(file, again, unusedWritten);
    return 0;
}
