#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// An INI document of sections ("[name]") and "key=value" lines, held in memory and read and
// written with the classic private-profile behaviour: section and key names compare ignoring
// ASCII case (whatever the process locale), values are trimmed of surrounding blanks, a missing
// section or key gives the default, writing replaces a key in place, appends a new key at the end
// of its section and a new section at the end of the document, and every other line is kept as
// it was.
//
// The text is parsed once (FromText) into lines and sections, and a section's keys are indexed
// the first time one of them is asked for, so every look-up and every SetString costs about the
// length of its names and value, whatever the size of the document. ToText gives the text back byte
// for byte where nothing was set: a UTF-8 byte-order mark at the start is no part of the first line
// and is kept, every line keeps its own line end (LF, CR LF or none on a last line), and new lines
// take the line end of the first line that has one (LF in a document without any).
//
// A section header is a line "[name]", closed by the line's last "]" (blanks around the name,
// and anything after the "]", are ignored); a line that starts with "[" and has no "]" is neither
// a header nor a key and is kept as it is. Key lines before the first header belong to no
// section.
//
// Reading and writing the file on disk is IniFileStore's.
//
// Threading: a plain value with no lock; use one object from one thread at a time (look-ups
// build the key index, so not even const calls may overlap).
class IniFile {
  public:
    // Value buffer of the private-profile reader: at most 255 characters of a value are taken.
    static constexpr size_t kValueBufferSize = 256;
    // Buffer for the list of section names; sections beyond it count as absent.
    static constexpr size_t kSectionNamesBufferSize = 2056;

    IniFile() = default;

    static IniFile FromText(std::string text);
    // The document as file text.
    std::string ToText() const;

    // The value of key in section, trimmed and cut to bufferSize - 1 characters, or the default
    // (trimmed and cut the same way).
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue,
                          size_t bufferSize = kValueBufferSize) const;
    // Whether section has key; if so its value, trimmed and cut to bufferSize - 1 characters.
    bool Lookup(const std::string& section, const std::string& key, std::string& value,
                size_t bufferSize = kValueBufferSize) const;
    // Section names in document order, as far as they fit into a buffer of bufferSize bytes
    // (each name followed by a zero byte, plus a final zero byte).
    std::vector<std::string> GetSectionNames(size_t bufferSize = kSectionNamesBufferSize) const;
    // Whether a section of that name (ignoring case) is among GetSectionNames().
    bool SectionExists(const std::string& section) const;

    // Sets key in section. Line breaks in the value end it, so a value never spills onto a
    // line of its own.
    void SetString(const std::string& section, const std::string& key, const std::string& value);

  private:
    enum class LineEnd : uint8_t { kNone, kLf, kCrLf };
    // One line: a piece of mText, or, once SetString replaced it, an entry of mReplaced.
    struct Line {
        size_t begin;  // offset into mText, or index into mReplaced
        size_t size;
        LineEnd end;
        bool replaced;
        bool header;  // a "[name]" line
    };
    // Where a key's line is: a line of the text, or a line SetString added to the section.
    struct KeyLine {
        bool added;
        size_t index;       // into mLines, or into the section's added
        size_t valueBegin;  // the trimmed value within the line's text
        size_t valueEnd;
    };
    // Names compared ignoring ASCII case, without making folded copies of them.
    struct FoldedHash {
        size_t operator()(const std::string& name) const noexcept;
    };
    struct FoldedEqual {
        bool operator()(const std::string& a, const std::string& b) const noexcept;
    };
    template <typename T>
    using NameMap = std::unordered_map<std::string, T, FoldedHash, FoldedEqual>;
    // A section's keys are indexed when first looked up, so sections nobody asks for cost only
    // the scan for headers.
    struct Section {
        std::string name;
        size_t header;                   // line of "[name]"; kNoLine for a section SetString added
        size_t end;                      // one past its last line of the text
        std::vector<std::string> added;  // key lines added by SetString
        bool indexed;
        size_t lastContent;     // once indexed: last non-blank line; new keys follow it
        NameMap<KeyLine> keys;  // once indexed: key (any case) -> its first line
    };
    static constexpr size_t kNoLine = static_cast<size_t>(-1);

    // Appends a section and keeps the section index and the section-name list count up to date.
    Section& AddSection(std::string name, size_t header);
    // The section of that name with its keys indexed, or null.
    Section* FindSection(const std::string& section) const;
    std::string_view TextOf(const Line& line) const;
    std::string_view TextOf(const Section& section, const KeyLine& line) const;
    static const char* LineEndText(LineEnd end);

    bool mByteOrderMark = false;
    LineEnd mNewLineEnd = LineEnd::kLf;
    std::string mText;                   // the text parsed
    std::vector<std::string> mReplaced;  // lines SetString replaced
    std::vector<Line> mLines;
    // Document order, added sections last. Mutable: look-ups index a section's keys on demand.
    mutable std::vector<Section> mSections;
    NameMap<size_t> mSectionIndex;  // name (any case) -> first section of that name
    size_t mListedSections = 0;     // how many sections fit kSectionNamesBufferSize
    size_t mListedBytes = 1;        // bytes of their names in that buffer, final zero included
    bool mListFull = false;         // a section did not fit: no later one is listed
};
