#include "parameters/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

namespace {

std::mutex& FileLock() {
    static std::mutex* lock = new std::mutex();
    return *lock;
}

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca != cb && std::tolower(ca) != std::tolower(cb)) {
            return false;
        }
    }
    return true;
}

// "[name]" lines: the name, or false for other lines.
bool ParseHeader(const std::string& line, std::string& name) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] != '[') {
        return false;
    }
    size_t close = trimmed.find(']');
    name = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// "key=value" lines; comment lines (";") and lines without "=" are no keys.
bool ParseKey(const std::string& line, std::string& key, std::string& value) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';') {
        return false;
    }
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    return true;
}

std::string Cut(const std::string& text, size_t bufferSize) {
    if (bufferSize == 0) {
        return std::string();
    }
    return text.size() > bufferSize - 1 ? text.substr(0, bufferSize - 1) : text;
}

IniFile ReadUnlocked(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return IniFile();
    }
    std::ostringstream text;
    text << in.rdbuf();
    return IniFile::FromText(text.str());
}

}  // namespace

IniFile IniFile::FromText(const std::string& text) {
    IniFile file;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        file.mLines.push_back(std::move(line));
        start = end + 1;
    }
    return file;
}

std::string IniFile::ToText() const {
    std::string text;
    for (const std::string& line : mLines) {
        text += line;
        text += '\n';
    }
    return text;
}

IniFile IniFile::Read(const std::string& path) {
    std::lock_guard<std::mutex> lock(FileLock());
    return ReadUnlocked(path);
}

bool IniFile::Update(const std::string& path, const std::function<void(IniFile&)>& update) {
    std::lock_guard<std::mutex> lock(FileLock());
    IniFile file = ReadUnlocked(path);
    update(file);
    return file.Write(path);
}

std::string IniFile::GetProfileString(const std::string& path, const std::string& section,
                                      const std::string& key, const std::string& defaultValue,
                                      size_t bufferSize) {
    return Read(path).GetString(section, key, defaultValue, bufferSize);
}

bool IniFile::WriteProfileString(const std::string& path, const std::string& section,
                                 const std::string& key, const std::string& value) {
    return Update(path, [&](IniFile& file) { file.SetString(section, key, value); });
}

bool IniFile::FindSection(const std::string& section, Range& range) const {
    std::string name;
    for (size_t i = 0; i < mLines.size(); ++i) {
        if (!ParseHeader(mLines[i], name) || !EqualsIgnoringCase(name, section)) {
            continue;
        }
        range.header = i;
        range.end = i + 1;
        while (range.end < mLines.size() && !ParseHeader(mLines[range.end], name)) {
            ++range.end;
        }
        return true;
    }
    return false;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue, size_t bufferSize) const {
    Range range;
    if (FindSection(section, range)) {
        std::string lineKey, value;
        for (size_t i = range.header + 1; i < range.end; ++i) {
            if (ParseKey(mLines[i], lineKey, value) && EqualsIgnoringCase(lineKey, key)) {
                return Cut(value, bufferSize);
            }
        }
    }
    return Cut(Trim(defaultValue), bufferSize);
}

std::vector<std::string> IniFile::GetSectionNames(size_t bufferSize) const {
    std::vector<std::string> names;
    size_t used = 0;
    std::string name;
    for (const std::string& line : mLines) {
        if (!ParseHeader(line, name)) {
            continue;
        }
        // Room for the name, its zero byte, and the zero byte that ends the list.
        if (used + name.size() + 1 + 1 > bufferSize) {
            break;
        }
        used += name.size() + 1;
        names.push_back(name);
    }
    return names;
}

bool IniFile::SectionExists(const std::string& section) const {
    for (const std::string& name : GetSectionNames()) {
        if (EqualsIgnoringCase(name, section)) {
            return true;
        }
    }
    return false;
}

void IniFile::SetString(const std::string& section, const std::string& key,
                        const std::string& value) {
    std::string cleanValue = value.substr(0, value.find_first_of("\r\n"));
    std::string line = key + "=" + cleanValue;
    Range range;
    if (!FindSection(section, range)) {
        mLines.push_back("[" + section + "]");
        mLines.push_back(line);
        return;
    }
    std::string lineKey, lineValue;
    size_t lastContent = range.header;
    for (size_t i = range.header + 1; i < range.end; ++i) {
        if (ParseKey(mLines[i], lineKey, lineValue) && EqualsIgnoringCase(lineKey, key)) {
            mLines[i] = line;
            return;
        }
        if (!Trim(mLines[i]).empty()) {
            lastContent = i;
        }
    }
    mLines.insert(mLines.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), line);
}

bool IniFile::Write(const std::string& path) const {
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) {
        return false;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    std::string text = ToText();
    const char* data = text.data();
    size_t left = text.size();
    bool ok = true;
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(name.data(), path.c_str()) != 0) {
        ::unlink(name.data());
        return false;
    }
    return true;
}
