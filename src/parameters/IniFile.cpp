#include "parameters/IniFile.h"

#include <string_view>
#include <utility>

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
std::string Fold(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
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

std::string Cut(std::string_view text, size_t bufferSize) {
    if (bufferSize == 0) {
        return std::string();
    }
    return std::string(text.substr(0, bufferSize - 1));
}

}  // namespace

IniFile IniFile::FromText(const std::string& text) {
    IniFile file;
    std::string_view rest(text);
    if (rest.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        file.mByteOrderMark = true;
        rest.remove_prefix(kByteOrderMark.size());
    }
    bool lineEndSeen = false;
    Section* current = nullptr;
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view content = rest.substr(0, end);
        LineEnd lineEnd = LineEnd::kNone;
        if (end != std::string_view::npos) {
            lineEnd = LineEnd::kLf;
            if (!content.empty() && content.back() == '\r') {
                content.remove_suffix(1);
                lineEnd = LineEnd::kCrLf;
            }
            rest.remove_prefix(end + 1);
        } else {
            rest = std::string_view();
        }
        if (!lineEndSeen && lineEnd != LineEnd::kNone) {
            lineEndSeen = true;
            file.mNewLineEnd = lineEnd;
        }
        const size_t index = file.mLines.size();
        file.mLines.push_back(Line{std::string(content), lineEnd});

        std::string_view name, key;
        size_t valueBegin = 0, valueEnd = 0;
        if (ParseHeader(content, name)) {
            current = &file.AddSection(std::string(name), index);
        } else if (current != nullptr) {
            if (!Trim(content).empty()) {
                current->lastContent = index;
            }
            if (ParseKey(content, key, valueBegin, valueEnd)) {
                current->keys.emplace(Fold(key), KeyLine{false, index, valueBegin, valueEnd});
            }
        }
    }
    return file;
}

IniFile::Section& IniFile::AddSection(std::string name, size_t header) {
    std::string folded = Fold(name);
    mSectionIndex.emplace(std::move(folded), mSections.size());
    if (!mListFull && mListedBytes + name.size() + 1 <= kSectionNamesBufferSize) {
        mListedBytes += name.size() + 1;
        ++mListedSections;
    } else {
        mListFull = true;
    }
    mSections.push_back(Section{std::move(name), header, header, {}, {}});
    return mSections.back();
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
    if (mByteOrderMark) {
        text += kByteOrderMark;
    }
    // Sections of the text, in text order, hold their added keys after their last content line.
    size_t next = 0;
    for (size_t i = 0; i < mLines.size(); ++i) {
        text += mLines[i].text;
        text += LineEndText(mLines[i].end);
        for (; next < mSections.size() && mSections[next].header != kNoLine &&
               mSections[next].lastContent == i;
             ++next) {
            const Section& section = mSections[next];
            if (!section.added.empty() && mLines[i].end == LineEnd::kNone) {
                text += newLine;
            }
            for (const std::string& line : section.added) {
                text += line;
                text += newLine;
            }
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

const IniFile::Section* IniFile::FindSection(const std::string& section) const {
    const auto found = mSectionIndex.find(Fold(section));
    return found == mSectionIndex.end() ? nullptr : &mSections[found->second];
}

const std::string& IniFile::TextOf(const Section& section, const KeyLine& line) const {
    return line.added ? section.added[line.index] : mLines[line.index].text;
}

bool IniFile::Lookup(const std::string& section, const std::string& key, std::string& value,
                     size_t bufferSize) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return false;
    }
    const auto line = found->keys.find(Fold(key));
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
    const auto found = mSectionIndex.find(Fold(section));
    return found != mSectionIndex.end() && found->second < mListedSections;
}

void IniFile::SetString(const std::string& section, const std::string& key,
                        const std::string& value) {
    std::string line = key + "=" + value.substr(0, value.find_first_of("\r\n"));
    std::string_view parsedKey;
    size_t valueBegin = 0, valueEnd = 0;
    if (!ParseKey(line, parsedKey, valueBegin, valueEnd)) {
        valueBegin = valueEnd = line.size();
    }
    const auto found = mSectionIndex.find(Fold(section));
    Section& target =
        found != mSectionIndex.end() ? mSections[found->second] : AddSection(section, kNoLine);
    auto [entry, added] = target.keys.try_emplace(
        Fold(key), KeyLine{true, target.added.size(), valueBegin, valueEnd});
    if (added) {
        target.added.push_back(std::move(line));
        return;
    }
    KeyLine& existing = entry->second;
    existing.valueBegin = valueBegin;
    existing.valueEnd = valueEnd;
    if (existing.added) {
        target.added[existing.index] = std::move(line);
    } else {
        mLines[existing.index].text = std::move(line);
    }
}
