#pragma once

#include <functional>
#include <string>
#include <vector>

// An INI file of sections ("[name]") and "key=value" lines, read and written with the classic
// private-profile behaviour: section and key names compare ignoring case, values are trimmed of
// surrounding blanks, a missing file, section or key gives the default, writing replaces a key in
// place, appends a new key at the end of its section and a new section at the end of the file,
// and every other line is kept as it was.
//
// Threading: every access to a file on disk goes through one process-wide lock, so readers never
// see a half-written file and two writers never lose each other's keys. A file is replaced
// atomically (temporary file beside it, then rename), so a crash leaves the old or the new file.
// An IniFile object itself is a plain value with no lock; use it from one thread.
class IniFile {
public:
    // Value buffer of the private-profile reader: at most 255 characters of a value are taken.
    static constexpr size_t kValueBufferSize = 256;
    // Buffer for the list of section names; sections beyond it count as absent.
    static constexpr size_t kSectionNamesBufferSize = 2056;

    IniFile() = default;

    // Reads the file (an absent or unreadable file gives an empty document).
    static IniFile Read(const std::string& path);

    // Reads, lets update change the document, and writes it back, all under the process lock.
    static bool Update(const std::string& path, const std::function<void(IniFile&)>& update);

    // One value, as GetPrivateProfileString does it.
    static std::string GetProfileString(const std::string& path, const std::string& section,
                                        const std::string& key, const std::string& defaultValue,
                                        size_t bufferSize = kValueBufferSize);
    // One key written, as WritePrivateProfileString does it. False when the file can't be written.
    static bool WriteProfileString(const std::string& path, const std::string& section,
                                   const std::string& key, const std::string& value);

    // The value of key in section, trimmed and cut to bufferSize - 1 characters, or the default.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue,
                          size_t bufferSize = kValueBufferSize) const;
    // Section names in file order, as far as they fit into a buffer of bufferSize bytes
    // (each name followed by a zero byte, plus a final zero byte).
    std::vector<std::string> GetSectionNames(size_t bufferSize = kSectionNamesBufferSize) const;
    // Whether a section of that name (ignoring case) is among GetSectionNames().
    bool SectionExists(const std::string& section) const;

    // Sets key in section. Line breaks in the value end it, so a value never spills onto a
    // line of its own.
    void SetString(const std::string& section, const std::string& key, const std::string& value);

    // The document as file text.
    std::string ToText() const;
    static IniFile FromText(const std::string& text);

private:
    struct Range {
        size_t header;  // index of the "[name]" line
        size_t end;     // one past the last line of the section
    };

    bool FindSection(const std::string& section, Range& range) const;
    bool Write(const std::string& path) const;

    std::vector<std::string> mLines;  // without line terminators
};
