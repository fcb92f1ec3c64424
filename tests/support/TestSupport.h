#pragma once

#include <string>
#include <vector>

// Helpers shared by the test programs.

// A fresh directory below the system's temporary directory, removed with its files on exit.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return mPath; }
    std::string File(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

// Collects what the driver sends to the host's debug callback and to the debug output, for the
// life of the object.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    // The debug callback to hand to initialize so that capturing goes on.
    static void (*Callback())(const char*);

    // Callback lines (stamp and message arrive separately; only messages are kept here).
    std::vector<std::string> Messages() const;
    // Debug-output lines.
    std::vector<std::string> DebugLines() const;
    // Every raw callback text, stamps included, in order.
    std::vector<std::string> Raw() const;
    // True when some message contains the text.
    bool Contains(const std::string& text) const;
    // Messages that contain the text.
    std::vector<std::string> Matching(const std::string& text) const;
    void Clear();
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
