// libFuzzer target: arbitrary bytes as the text of an INI file.
//
// Besides running the reader and writer under the sanitizers, it checks that they hold together:
// every listed section exists, the listed names fit the section-name buffer, the document reads
// the same after a write and re-read, and a key set with SetString reads back as written (cut at
// a line break, trimmed, at most 255 characters) without changing any other key.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "parameters/IniFile.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Bounds that keep one input fast.
constexpr size_t kMaxSections = 8;
constexpr size_t kMaxKeys = 8;

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Candidate keys: the text before "=" of the input's lines.
std::vector<std::string> CandidateKeys(const std::string& text) {
    std::vector<std::string> keys;
    size_t start = 0;
    while (start < text.size() && keys.size() < kMaxKeys) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            keys.push_back(Trim(line.substr(0, equals)));
        }
        start = end + 1;
    }
    return keys;
}

// A key that always parses as one: letters, digits and a few marks from the input, never empty.
std::string SafeKey(const std::string& text) {
    std::string key = "K";
    for (const char c : text) {
        if (key.size() >= 16) {
            break;
        }
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '$' || c == '.') {
            key += c;
        }
    }
    return key;
}

using Values = std::vector<std::pair<std::pair<std::string, std::string>, std::string>>;

Values Snapshot(const IniFile& file, const std::vector<std::string>& sections,
                const std::vector<std::string>& keys) {
    Values values;
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            values.push_back({{section, key}, file.GetString(section, key, "\x01missing")});
        }
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniFile file = IniFile::FromText(text);

    // Section names: each exists, and together they fit the buffer of the platform call.
    std::vector<std::string> sections = file.GetSectionNames();
    size_t used = 1;
    for (const std::string& name : sections) {
        used += name.size() + 1;
        Check(file.SectionExists(name));
    }
    Check(used <= IniFile::kSectionNamesBufferSize);
    if (sections.size() > kMaxSections) {
        sections.resize(kMaxSections);
    }
    const std::vector<std::string> keys = CandidateKeys(text);
    for (size_t bufferSize : {size_t{0}, size_t{1}, size_t{8}, IniFile::kValueBufferSize}) {
        for (const std::string& key : keys) {
            const std::string value =
                file.GetString(sections.empty() ? "" : sections[0], key, "default", bufferSize);
            Check(value.size() + 1 <= (bufferSize == 0 ? 1 : bufferSize));
        }
    }

    // Writing and reading back gives the same document.
    const Values before = Snapshot(file, sections, keys);
    const IniFile reread = IniFile::FromText(file.ToText());
    Check(reread.GetSectionNames() == file.GetSectionNames());
    Check(Snapshot(reread, sections, keys) == before);

    // One key set from the input's own bytes.
    const std::string section = sections.empty() ? std::string("Fuzz") : sections[0];
    const std::string key = SafeKey(text);
    const std::string value = text.substr(text.size() / 2);
    file.SetString(section, key, value);
    std::string expected = Trim(value.substr(0, value.find_first_of("\r\n")));
    if (expected.size() > IniFile::kValueBufferSize - 1) {
        expected.resize(IniFile::kValueBufferSize - 1);
    }
    Check(file.GetString(section, key, "\x01missing") == expected);
    const IniFile written = IniFile::FromText(file.ToText());
    Check(written.GetString(section, key, "\x01missing") == expected);
    // No other key changed.
    const Values after = Snapshot(written, sections, keys);
    for (size_t i = 0; i < before.size(); ++i) {
        const auto& where = before[i].first;
        if (EqualNoCase(where.first, section) && EqualNoCase(where.second, key)) {
            continue;
        }
        Check(after[i] == before[i]);
    }
    return 0;
}
