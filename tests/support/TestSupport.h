#pragma once

#include <sys/types.h>

#include <functional>
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
    // Waits until some message contains the text, at most the given seconds; true when it came.
    bool WaitFor(const std::string& text, double seconds) const;
    // How many messages contain the text.
    size_t Count(const std::string& text) const { return Matching(text).size(); }
};

// The shipped simulated cameras copied into a fresh directory, which becomes the simulator's
// device directory (OSTRAVELK_SIM_DIR, simulator backend only) for the life of the object. The
// host directory for the ini and log files is a second fresh directory.
class SimCameras {
  public:
    static constexpr const char* kGigE = "SV1304-30gm (21000001)";
    static constexpr const char* kUsb = "SV1928-40uc (22000002)";

    SimCameras();
    const std::string& DeviceDir() const { return mDevices.Path(); }
    const std::string& HostDir() const { return mHost.Path(); }
    std::string IniPath() const { return mHost.File("Ostravelk.ini"); }
    // Unplugs / plugs back a shipped camera by serial number.
    void Unplug(const std::string& serial);
    void Plug(const std::string& serial);
    // Adds a camera file of one's own.
    void Add(const std::string& fileName, const std::string& text);

  private:
    TempDir mDevices;
    TempDir mHost;
};

// Makes one call of the file layer's writing calls (reserve, write, truncate, sync) fail the way a
// full disk does, for the life of the object: the call numbered by FailAt (counted from 1 since the
// last FailAt) fails with ENOSPC, or, as a short write, writes half its bytes and the call after it
// fails with ENOSPC. Calls() counts them, so a first run with FailAt(0) (no fault) tells how many
// points there are to try. One object at a time; in child processes the one of the parent goes on.
class FileFaults {
  public:
    enum class Fault { kNoSpace, kShortWrite };
    FileFaults();
    ~FileFaults();
    FileFaults(const FileFaults&) = delete;
    FileFaults& operator=(const FileFaults&) = delete;

    void FailAt(int call, Fault fault = Fault::kNoSpace);
    // Whether reserving room reports a file system that cannot reserve (EOPNOTSUPP).
    void SetReservationSupported(bool supported);
    int Calls() const;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// A completion callback for setCompleteCallback that counts its calls, of every port and buffer;
// CompletionCount reads the count, ResetCompletionCount sets it back to 0.
void CountCompletion(int port, int buffer);
int CompletionCount();
void ResetCompletionCount();

// --- Child processes ----------------------------------------------------------------------------

// Runs body in a forked child and returns what it returned (its exit status, 0..255); -1 when
// the child had not ended after timeoutSeconds (it is then killed), -2 when a signal ended it.
// Assertions inside body do not reach the parent: body reports through its result.
int RunInChild(const std::function<int()>& body, double timeoutSeconds = 60);

// The ordinary user the permission tests act as: "nobody". Empty when this process can run code
// as that user (it is root), else why not.
std::string WhyNotAsNobody();
uid_t NobodyUid();
gid_t NobodyGid();
// As RunInChild, the child dropping to "nobody" (groups, group and user) before running body.
int RunAsNobody(const std::function<int()>& body, double timeoutSeconds = 60);
