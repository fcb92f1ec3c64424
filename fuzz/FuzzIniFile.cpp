// libFuzzer target: arbitrary bytes as the text of an INI file, read and written in memory
// (IniFile::FromText / ToText; the file on disk is IniFileStore's and has its own tests).
//
// Besides running the reader and writer under the sanitizers, it checks that they hold together:
// - the text written back from a document nothing was set in is the input, byte for byte;
// - every listed section exists, and the listed names fit the section-name buffer;
// - a value read is cut to its buffer;
// - a key set (a new one, or one the input already has) reads back as written (cut at a line
//   break, trimmed, at most 255 characters), in memory and from the written text;
// - that write changes only the key's own line, or adds it (and its section header) as new
//   lines: every other line of the input is kept byte for byte (a last line without a line end
//   may gain one), and every other key reads as before.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ini/IniFile.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Bounds that keep one input fast: only the first kMaxInput bytes of an input are used (a
// document of sections beyond the section-name buffer is a unit test's; values longer than the
// value buffer are made by repeating the input's second half).
constexpr size_t kMaxInput = 160;
constexpr size_t kMaxSections = 2;
constexpr size_t kMaxKeys = 4;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return std::string_view();
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
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

// The text's pieces between line feeds (a CR of a CR LF stays with its piece).
std::vector<std::string_view> Pieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    pieces.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string_view WithoutCr(std::string_view piece) {
    if (!piece.empty() && piece.back() == '\r') {
        piece.remove_suffix(1);
    }
    return piece;
}

// Candidate keys: the text before "=" of the input's lines.
std::vector<std::string> CandidateKeys(const std::vector<std::string_view>& pieces) {
    std::vector<std::string> keys;
    keys.reserve(kMaxKeys);
    for (const std::string_view line : pieces) {
        if (keys.size() >= kMaxKeys) {
            break;
        }
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            keys.emplace_back(Trim(line.substr(0, equals)));
        }
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

using Values = std::vector<std::string>;

Values Snapshot(const IniFile& file, const std::vector<std::string>& sections,
                const std::vector<std::string>& keys) {
    Values values;
    values.reserve(sections.size() * keys.size());
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            values.push_back(file.GetString(section, key, "\x01missing"));
        }
    }
    return values;
}

// The written text differs from the input only where key was set in section: its line replaced
// in place, or new lines that are blank, the section's header or the key's line.
void CheckOnlyKeyChanged(std::string_view before, std::string_view after,
                         const std::string& section, const std::string& key,
                         const std::string& keyLine) {
    const bool mark = before.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    Check(mark == (after.substr(0, kByteOrderMark.size()) == kByteOrderMark));
    if (mark) {
        before.remove_prefix(kByteOrderMark.size());
        after.remove_prefix(kByteOrderMark.size());
    }
    // A last line without a line end gains one when lines are added after it.
    std::string_view ended = before;
    if (!before.empty() && before.back() != '\n' && after.substr(0, before.size()) == before) {
        const std::string_view rest = after.substr(before.size());
        for (const std::string_view end : {"\n", "\r\n"}) {
            if (rest.substr(0, end.size()) == end) {
                ended = after.substr(0, before.size() + end.size());  // before and that line end
                break;
            }
        }
    }
    const std::vector<std::string_view> a = Pieces(ended);
    const std::vector<std::string_view> b = Pieces(after);
    size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) {
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
        ++suffix;
    }
    const size_t removed = a.size() - prefix - suffix;
    const size_t inserted = b.size() - prefix - suffix;
    Check(removed <= 1);
    if (removed == 1) {
        // Replaced in place: the old line was that key's, the new one is the key line with the
        // old line's end.
        const std::string_view old = a[prefix];
        const size_t equals = old.find('=');
        Check(equals != std::string_view::npos && EqualNoCase(Trim(old.substr(0, equals)), key));
        Check(inserted == 1 && WithoutCr(b[prefix]) == keyLine);
        if (prefix + 1 < a.size()) {  // a line with a line end keeps it (LF or CR LF)
            Check((old.size() != WithoutCr(old).size()) ==
                  (b[prefix].size() != WithoutCr(b[prefix]).size()));
        }
        return;
    }
    size_t keyLines = 0;
    const std::string header = "[" + section + "]";
    for (size_t i = prefix; i < prefix + inserted; ++i) {
        const std::string_view piece = WithoutCr(b[i]);
        if (piece == keyLine) {
            ++keyLines;
        } else {
            Check(piece.empty() || piece == header);
        }
    }
    Check(keyLines == (inserted == 0 ? 0 : 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size = std::min(size, kMaxInput);
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniFile file = IniFile::FromText(text);
    // Nothing set: the text comes back as it was.
    Check(file.ToText() == text);

    // Section names: each exists, and together they fit the buffer of the platform call.
    std::vector<std::string> sections = file.GetSectionNames();
    size_t used = 1;
    for (const std::string& name : sections) {
        used += name.size() + 1;
        Check(file.SectionExists(name));
    }
    Check(used <= IniFile::kSectionNamesBufferSize);
    // A smaller buffer lists the names that fit it, in the same order.
    const size_t smallBuffer = size > 1 ? data[1] : 0;
    const std::vector<std::string> fitting = file.GetSectionNames(smallBuffer);
    used = 1;
    for (size_t i = 0; i < fitting.size(); ++i) {
        used += fitting[i].size() + 1;
        Check(i < sections.size() && fitting[i] == sections[i]);
    }
    Check(used <= std::max<size_t>(smallBuffer, 1));
    Check(fitting.size() == sections.size() ||
          used + sections[fitting.size()].size() + 1 > smallBuffer);
    if (sections.size() > kMaxSections) {
        sections.resize(kMaxSections);
    }
    const std::vector<std::string> keys = CandidateKeys(Pieces(text));
    const std::string section = sections.empty() ? std::string("Fuzz") : sections[0];
    const size_t bufferSize = size > 2 && data[2] < 128 ? data[2] % 10 : IniFile::kValueBufferSize;
    for (const std::string& key : keys) {
        const std::string value = file.GetString(section, key, "default", bufferSize);
        Check(value.size() + 1 <= (bufferSize == 0 ? 1 : bufferSize));
    }
    const Values before = Snapshot(file, sections, keys);

    // One key set from the input's own bytes: a key the section already has, or a new one.
    std::string key = SafeKey(text);
    std::string existing;
    if (size > 0 && (data[0] & 1) != 0) {
        for (const std::string& candidate : keys) {
            if (file.Lookup(section, candidate, existing)) {
                key = candidate;
                break;
            }
        }
    }
    std::string value = text.substr(text.size() / 2);
    for (size_t copies = size > 3 ? data[3] % 4 : 0; copies > 0; --copies) {
        value += text.substr(text.size() / 2);
    }
    const std::string firstLine = value.substr(0, value.find_first_of("\r\n"));
    file.SetString(section, key, value);
    std::string expected(Trim(firstLine));
    if (expected.size() > IniFile::kValueBufferSize - 1) {
        expected.resize(IniFile::kValueBufferSize - 1);
    }
    Check(file.GetString(section, key, "\x01missing") == expected);
    const std::string writtenText = file.ToText();
    CheckOnlyKeyChanged(text, writtenText, section, key, key + "=" + firstLine);

    // What is written reads back the same: the key as set, every other key as before.
    const IniFile written = IniFile::FromText(writtenText);
    Check(written.ToText() == writtenText);
    Check(written.GetString(section, key, "\x01missing") == expected);
    const Values after = Snapshot(written, sections, keys);
    for (size_t s = 0, i = 0; s < sections.size(); ++s) {
        for (size_t k = 0; k < keys.size(); ++k, ++i) {
            if (!(EqualNoCase(sections[s], section) && EqualNoCase(keys[k], key))) {
                Check(after[i] == before[i]);
            }
        }
    }
    return 0;
}
