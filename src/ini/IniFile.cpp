#include "ini/IniFile.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "base/NoCaseLess.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return std::string_view();
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// ASCII letters to lower case; every other byte as it is, whatever the process locale.
unsigned char Fold(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// A "[name]" line, closed by its last "]" (text after it is ignored): the trimmed name, or false
// for other lines.
bool ParseHeader(std::string_view line, std::string_view& name) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') {
        return false;
    }
    const size_t close = trimmed.rfind(']');
    if (close == 0 || close == std::string_view::npos) {
        return false;
    }
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

// "key=value" lines: the trimmed key and where the trimmed value lies in the line. Comment lines
// (";"), lines starting with "[" and lines without "=" are no keys.
bool ParseKey(std::string_view line, std::string_view& key, size_t& valueBegin, size_t& valueEnd) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') {
        return false;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    valueBegin = value.empty() ? equals + 1 : static_cast<size_t>(value.data() - line.data());
    valueEnd = valueBegin + value.size();
    return true;
}

size_t CountLineFeeds(std::string_view text) {
    size_t count = 0;
    const char* const end = text.data() + text.size();
    for (const char* at = text.data(); at != end; ++at, ++count) {
        at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
        if (at == nullptr) {
            break;
        }
    }
    return count;
}

std::string Cut(std::string_view text, size_t bufferSize) {
    if (bufferSize == 0) {
        return std::string();
    }
    return std::string(text.substr(0, bufferSize - 1));
}

}  // namespace

size_t IniFile::FoldedHash::operator()(const std::string& name) const noexcept {
    // FNV-1a over the folded bytes.
    uint64_t hash = 14695981039346656037u;
    for (const char c : name) {
        hash = (hash ^ Fold(c)) * 1099511628211u;
    }
    return static_cast<size_t>(hash);
}

bool IniFile::FoldedEqual::operator()(const std::string& a, const std::string& b) const noexcept {
    return NoCaseLess::EqualNoCase(a, b);
}

IniFile IniFile::FromText(std::string text) {
    IniFile file;
    file.mText = std::move(text);
    const std::string_view all(file.mText);
    size_t begin = 0;
    if (all.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        file.mByteOrderMark = true;
        begin = kByteOrderMark.size();
    }
    // The lines first (one per line feed, and a last one without), then the sections, each into
    // a container of its final size.
    file.mLines.reserve(CountLineFeeds(all.substr(begin)) + 1);
    size_t headers = 0;
    bool lineEndSeen = false;
    while (begin < all.size()) {
        const size_t newLine = all.find('\n', begin);
        const size_t stop = newLine == std::string_view::npos ? all.size() : newLine;
        Line line{begin, stop - begin, LineEnd::kNone, false, false};
        if (newLine != std::string_view::npos) {
            line.end = LineEnd::kLf;
            if (line.size > 0 && all[stop - 1] == '\r') {
                --line.size;
                line.end = LineEnd::kCrLf;
            }
            if (!lineEndSeen) {
                lineEndSeen = true;
                file.mNewLineEnd = line.end;
            }
        }
        std::string_view name;
        line.header = ParseHeader(all.substr(line.begin, line.size), name);
        headers += line.header ? 1 : 0;
        file.mLines.push_back(line);
        begin = stop == all.size() ? stop : newLine + 1;
    }
    file.mSections.reserve(headers);
    file.mSectionIndex.reserve(headers);
    for (size_t i = 0; i < file.mLines.size(); ++i) {
        std::string_view name;
        if (file.mLines[i].header && ParseHeader(file.TextOf(file.mLines[i]), name)) {
            if (!file.mSections.empty()) {
                file.mSections.back().end = i;
            }
            file.AddSection(std::string(name), i);
        }
    }
    if (!file.mSections.empty()) {
        file.mSections.back().end = file.mLines.size();
    }
    return file;
}

IniFile::Section& IniFile::AddSection(std::string name, size_t header) {
    mSectionIndex.try_emplace(name, mSections.size());
    if (!mListFull && mListedBytes + name.size() + 1 <= kSectionNamesBufferSize) {
        mListedBytes += name.size() + 1;
        ++mListedSections;
    } else {
        mListFull = true;
    }
    // A section SetString adds has no lines of the text to index.
    const bool added = header == kNoLine;
    mSections.push_back(
        Section{std::move(name), header, added ? header : header + 1, {}, added, header, {}});
    return mSections.back();
}

std::string_view IniFile::TextOf(const Line& line) const {
    if (line.replaced) {
        return mReplaced[line.begin];
    }
    return std::string_view(mText).substr(line.begin, line.size);
}

std::string_view IniFile::TextOf(const Section& section, const KeyLine& line) const {
    return line.added ? std::string_view(section.added[line.index]) : TextOf(mLines[line.index]);
}

const char* IniFile::LineEndText(LineEnd end) {
    switch (end) {
        case LineEnd::kLf:
            return "\n";
        case LineEnd::kCrLf:
            return "\r\n";
        case LineEnd::kNone:
            break;
    }
    return "";
}

std::string IniFile::ToText() const {
    const std::string newLine = LineEndText(mNewLineEnd);
    std::string text;
    text.reserve(mText.size() + 64);
    if (mByteOrderMark) {
        text += kByteOrderMark;
    }
    // Sections of the text hold their added keys after their last content line; those lines
    // come in text order, as the sections do.
    size_t next = 0;
    const auto nextWithKeys = [&] {
        while (next < mSections.size() && mSections[next].header != kNoLine &&
               mSections[next].added.empty()) {
            ++next;
        }
        return next < mSections.size() && mSections[next].header != kNoLine ? &mSections[next]
                                                                            : nullptr;
    };
    const Section* pending = nextWithKeys();
    for (size_t i = 0; i < mLines.size(); ++i) {
        text += TextOf(mLines[i]);
        text += LineEndText(mLines[i].end);
        if (pending != nullptr && pending->lastContent == i) {
            if (mLines[i].end == LineEnd::kNone) {
                text += newLine;
            }
            for (const std::string& line : pending->added) {
                text += line;
                text += newLine;
            }
            ++next;
            pending = nextWithKeys();
        }
    }
    for (const Section& section : mSections) {
        if (section.header != kNoLine) {
            continue;
        }
        if (text.size() > (mByteOrderMark ? kByteOrderMark.size() : 0) && text.back() != '\n') {
            text += newLine;
        }
        text += "[" + section.name + "]" + newLine;
        for (const std::string& line : section.added) {
            text += line;
            text += newLine;
        }
    }
    return text;
}

IniFile::Section* IniFile::FindSection(const std::string& section) const {
    const auto found = mSectionIndex.find(section);
    if (found == mSectionIndex.end()) {
        return nullptr;
    }
    Section& target = mSections[found->second];
    if (!target.indexed) {
        target.indexed = true;
        target.keys.reserve(target.end - target.header - 1);
        std::string_view key;
        size_t valueBegin = 0, valueEnd = 0;
        for (size_t i = target.header + 1; i < target.end; ++i) {
            const std::string_view content = TextOf(mLines[i]);
            if (!Trim(content).empty()) {
                target.lastContent = i;
            }
            if (ParseKey(content, key, valueBegin, valueEnd)) {
                target.keys.try_emplace(std::string(key), KeyLine{false, i, valueBegin, valueEnd});
            }
        }
    }
    return &target;
}

bool IniFile::Lookup(const std::string& section, const std::string& key, std::string& value,
                     size_t bufferSize) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return false;
    }
    const auto line = found->keys.find(key);
    if (line == found->keys.end()) {
        return false;
    }
    const std::string_view text(TextOf(*found, line->second));
    value =
        Cut(text.substr(line->second.valueBegin, line->second.valueEnd - line->second.valueBegin),
            bufferSize);
    return true;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue, size_t bufferSize) const {
    std::string value;
    if (Lookup(section, key, value, bufferSize)) {
        return value;
    }
    return Cut(Trim(defaultValue), bufferSize);
}

std::vector<std::string> IniFile::GetSectionNames(size_t bufferSize) const {
    std::vector<std::string> names;
    names.reserve(mListedSections);
    size_t used = 1;  // the zero byte that ends the list
    for (const Section& section : mSections) {
        if (used + section.name.size() + 1 > bufferSize) {
            break;
        }
        used += section.name.size() + 1;
        names.push_back(section.name);
    }
    return names;
}

bool IniFile::SectionExists(const std::string& section) const {
    const auto found = mSectionIndex.find(section);
    return found != mSectionIndex.end() && found->second < mListedSections;
}

void IniFile::SetString(const std::string& section, const std::string& key,
                        const std::string& value) {
    const size_t valueSize = std::min(value.find_first_of("\r\n"), value.size());
    std::string line;
    line.reserve(key.size() + 1 + valueSize);
    line.append(key).append(1, '=').append(value, 0, valueSize);
    std::string_view parsedKey;
    size_t valueBegin = 0, valueEnd = 0;
    if (!ParseKey(line, parsedKey, valueBegin, valueEnd)) {
        valueBegin = valueEnd = line.size();
    }
    Section* found = FindSection(section);
    Section& target = found != nullptr ? *found : AddSection(section, kNoLine);
    auto [entry, added] =
        target.keys.try_emplace(key, KeyLine{true, target.added.size(), valueBegin, valueEnd});
    if (added) {
        target.added.push_back(std::move(line));
        return;
    }
    KeyLine& existing = entry->second;
    existing.valueBegin = valueBegin;
    existing.valueEnd = valueEnd;
    if (existing.added) {
        target.added[existing.index] = std::move(line);
    } else if (Line& replaced = mLines[existing.index]; replaced.replaced) {
        mReplaced[replaced.begin] = std::move(line);
    } else {
        replaced.begin = mReplaced.size();
        replaced.replaced = true;
        mReplaced.push_back(std::move(line));
    }
}
