// The configuration file on disk: what kind of file is read and written, symbolic links, the
// file's identity across a save, permissions (acted out as the user "nobody"), the umask, saves
// that fail at any point, saves of several processes at once, and saves killed half-way.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "base/FileCalls.h"
#include "ini/IniFileStore.h"

// Every umask call of this program is counted: a save must never change the process's umask,
// not even for a moment, because other threads create files meanwhile.
namespace {
std::atomic<int> gUmaskCalls{0};
}  // namespace

extern "C" mode_t umask(mode_t mask) {
    using Umask = mode_t (*)(mode_t);
    static const Umask real = reinterpret_cast<Umask>(dlsym(RTLD_NEXT, "umask"));
    ++gUmaskCalls;
    return real(mask);
}

namespace {

const char* const kOthers =
    "; hand-written\n[Port.0.1]\n$Camera=Other (2)\nWidth=8\n"
    "[General]\nlogDebugView=3\n";

class IniFileStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A directory the user "nobody" may enter and write into, as a shared host directory.
        mDir = mTemp.File("host");
        ASSERT_EQ(mkdir(mDir.c_str(), 0777), 0);
        ASSERT_EQ(chmod(mTemp.Path().c_str(), 0755), 0);
        ASSERT_EQ(chmod(mDir.c_str(), 0777), 0);
        mPath = mDir + "/Ostravelk.ini";
    }

    // Saves one key; 0 when saved, 1 when refused.
    int Save(const std::string& path) const {
        return IniFileStore::WriteProfileString(path, "Port.0.0", "Width", "640") ? 0 : 1;
    }

    static mode_t Mode(const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    static size_t Entries(const std::string& dir) {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            (void)entry;
            ++count;
        }
        return count;
    }

    // Saves path with a fault injected at every point where the file layer changes a file, as
    // ENOSPC and as a short write, on a file system that reserves room and on one that cannot:
    // every such save must fail and leave the file byte for byte as it was, with nothing left
    // beside it. The first save that did otherwise, or empty. Assertions do not reach the parent
    // from a child process, so this reports in its result.
    static std::string EveryFaultLeavesTheFile(const std::string& path) {
        const std::string old = ReadFile(path);
        const std::string dir = path.substr(0, path.rfind('/'));
        const size_t entries = Entries(dir);
        const auto save = [&] {
            return IniFileStore::Update(path, [](IniFile& file) {
                file.SetString("Port.0.1", "Width", "1");                      // shorter, and ...
                file.SetString("Port.0.0", "Height", std::string(3000, 'h'));  // ... much longer
            });
        };
        FileFaults faults;
        for (const bool reserving : {true, false}) {
            faults.SetReservationSupported(reserving);
            faults.FailAt(0);
            if (!save()) {
                return "the save without a fault failed";
            }
            const int calls = faults.Calls();
            for (int call = 1; call <= calls; ++call) {
                for (const auto fault :
                     {FileFaults::Fault::kNoSpace, FileFaults::Fault::kShortWrite}) {
                    WriteFile(path, old);  // in place, as the file it is
                    faults.FailAt(call, fault);
                    const bool saved = save();
                    if (saved || ReadFile(path) != old || Entries(dir) != entries) {
                        return std::string(reserving ? "" : "without reservation, ") +
                               (fault == FileFaults::Fault::kShortWrite ? "short write"
                                                                        : "ENOSPC") +
                               " at call " + std::to_string(call) + " of " + std::to_string(calls) +
                               (saved ? ": reported saved" : "") + ": file now " +
                               std::to_string(ReadFile(path).size()) + " bytes, was " +
                               std::to_string(old.size());
                    }
                }
            }
            WriteFile(path, old);
        }
        return std::string();
    }

    TempDir mTemp;
    std::string mDir;
    std::string mPath;
};

#define SKIP_UNLESS_NOBODY()                               \
    do {                                                   \
        const std::string why = WhyNotAsNobody();          \
        if (!why.empty()) {                                \
            GTEST_SKIP() << "needs another user: " << why; \
        }                                                  \
    } while (false)

}  // namespace

// --- Which files ---------------------------------------------------------------------------------

// The file on disk holds what the document in memory writes, byte for byte: the fuzz target of
// the INI reader and writer works in memory only, so this is the file path's share of it.
TEST_F(IniFileStoreTest, TheFileHoldsExactlyTheTextOfTheDocumentInMemory) {
    const std::string text =
        "\xEF\xBB\xBF; comment\r\n[Port.0.0]\r\n Width = 1 \r\nodd line\r\n\r\n[General]\r\nx=1";
    WriteFile(mPath, text);
    ASSERT_TRUE(IniFileStore::WriteProfileString(mPath, "port.0.0", "Height", " 480\nspill"));
    ASSERT_TRUE(IniFileStore::WriteProfileString(mPath, "New", "k", "v"));
    IniFile expected = IniFile::FromText(text);
    expected.SetString("port.0.0", "Height", " 480\nspill");
    expected.SetString("New", "k", "v");
    EXPECT_EQ(ReadFile(mPath), expected.ToText());
    EXPECT_EQ(IniFileStore::GetProfileString(mPath, "Port.0.0", "height", "?"), "480");
    EXPECT_EQ(IniFileStore::GetProfileString(mPath, "Port.0.0", "Width", "?"), "1");
    EXPECT_EQ(IniFileStore::GetProfileString(mPath, "General", "x", "?"), "1");
    EXPECT_EQ(IniFileStore::GetProfileString(mPath, "new", "K", "?"), "v");
}

TEST_F(IniFileStoreTest, AnExistingFileThatCannotBeReadIsNeverWritten) {
    SKIP_UNLESS_NOBODY();
    WriteFile(mPath, kOthers);
    ASSERT_EQ(chmod(mPath.c_str(), 0600), 0);  // another user's file
    const int result = RunAsNobody([&] {
        if (Save(mPath) == 0) {
            return 1;
        }
        IniFile file;
        std::string error;
        const bool read = IniFileStore::Read(mPath, file, error);
        return !read && error == mPath + ": cannot open: Permission denied" ? 0 : 2;
    });
    EXPECT_EQ(result, 0) << "1: saved over it, 2: read without an error";
    EXPECT_EQ(ReadFile(mPath), kOthers);
}

TEST_F(IniFileStoreTest, OnlyRegularFilesAreOpened) {
    ASSERT_EQ(mkfifo(mPath.c_str(), 0666), 0);
    // A FIFO would block an open for reading until some writer comes.
    EXPECT_EQ(RunInChild(
                  [&] {
                      IniFile file;
                      std::string error;
                      const bool read = IniFileStore::Read(mPath, file, error);
                      return !read && error == mPath + ": not a regular file" ? 0 : 1;
                  },
                  10),
              0);
    EXPECT_EQ(RunInChild([&] { return Save(mPath); }, 10), 1);
    ASSERT_EQ(unlink(mPath.c_str()), 0);
    ASSERT_EQ(mkdir(mPath.c_str(), 0755), 0);
    EXPECT_FALSE(IniFileStore::WriteProfileString(mPath, "S", "k", "v"));
    EXPECT_EQ(Entries(mDir), 1u) << "nothing left beside it";
}

TEST_F(IniFileStoreTest, ASymbolicLinkIsWrittenThroughToItsTarget) {
    const std::string real = mTemp.File("real.ini");
    WriteFile(real, kOthers);
    ASSERT_EQ(symlink("../real.ini", mPath.c_str()), 0);  // relative to the link's directory
    ASSERT_EQ(Save(mPath), 0);
    struct stat info {};
    ASSERT_EQ(lstat(mPath.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";
    EXPECT_EQ(IniFileStore::GetProfileString(real, "Port.0.0", "Width", ""), "640");
    EXPECT_EQ(IniFileStore::GetProfileString(real, "General", "logDebugView", ""), "3");

    // A link to a file not there yet creates that file.
    const std::string dangling = mDir + "/dangling.ini";
    ASSERT_EQ(symlink(mTemp.File("new.ini").c_str(), dangling.c_str()), 0);
    ASSERT_EQ(Save(dangling), 0);
    EXPECT_EQ(ReadFile(mTemp.File("new.ini")), "[Port.0.0]\nWidth=640\n");
}

// A link someone else planted in the host's directory must not make a save (as root above all)
// write into a file its owner has no say over; the kernel refuses such links only in shared
// directories like /tmp.
TEST_F(IniFileStoreTest, APlantedLinkToAnotherUsersFileIsNeitherWrittenNorRead) {
    SKIP_UNLESS_NOBODY();
    const std::string passwd =
        "root:x:0:0:root:/root:/bin/sh\nnobody:x:65534:65534::/:/bin/false\n";
    const std::string real = mTemp.File("passwd");
    WriteFile(real, passwd);
    const std::string link = mDir + "/link";
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    ASSERT_EQ(lchown(link.c_str(), NobodyUid(), NobodyGid()), 0);
    // The link named in the refusal is the first one planted on the way.
    const auto refused = [&](const std::string& path, const std::string& planted) {
        const std::string refusal = path + ": symbolic link " + planted +
                                    " not followed: its owner (uid " + std::to_string(NobodyUid()) +
                                    ") is not this user (uid 0) and does not own " + real +
                                    " (uid 0)";
        std::string error;
        EXPECT_FALSE(IniFileStore::Update(
            path, [](IniFile& file) { file.SetString("Port.0.0", "Width", "640"); }, &error));
        EXPECT_EQ(error, refusal);
        IniFile file;
        EXPECT_FALSE(IniFileStore::Read(path, file, error));
        EXPECT_EQ(error, refusal);
        EXPECT_EQ(ReadFile(real), passwd);
    };

    // In root's directory, and in nobody's own, where nobody could put any file but not make
    // root write to root's.
    ASSERT_EQ(rename(link.c_str(), mPath.c_str()), 0);
    refused(mPath, mPath);
    ASSERT_EQ(chown(mDir.c_str(), NobodyUid(), NobodyGid()), 0);
    refused(mPath, mPath);

    // Behind a link of root's own, or as a link to a file not there yet (which root would create).
    ASSERT_EQ(rename(mPath.c_str(), link.c_str()), 0);
    ASSERT_EQ(symlink(link.c_str(), mPath.c_str()), 0);
    refused(mPath, link);
    const std::string created = mTemp.File("created");
    const std::string dangling = mDir + "/dangling.ini";
    ASSERT_EQ(symlink(created.c_str(), dangling.c_str()), 0);
    ASSERT_EQ(lchown(dangling.c_str(), NobodyUid(), NobodyGid()), 0);
    EXPECT_NE(Save(dangling), 0);
    EXPECT_FALSE(std::filesystem::exists(created));
}

TEST_F(IniFileStoreTest, ALinkOfTheUsersOwnOrOfItsFilesOwnerIsFollowed) {
    SKIP_UNLESS_NOBODY();
    const std::string real = mDir + "/real.ini";
    WriteFile(real, kOthers);
    ASSERT_EQ(chown(real.c_str(), NobodyUid(), NobodyGid()), 0);
    ASSERT_EQ(symlink(real.c_str(), mPath.c_str()), 0);  // root's link to nobody's file
    EXPECT_EQ(Save(mPath), 0);
    ASSERT_EQ(lchown(mPath.c_str(), NobodyUid(), NobodyGid()), 0);  // nobody's, to nobody's file
    EXPECT_EQ(IniFileStore::WriteProfileString(mPath, "Port.0.0", "Height", "480"), true);
    EXPECT_EQ(RunAsNobody([&] {
                  return IniFileStore::WriteProfileString(mPath, "Port.0.0", "Gain", "3") ? 0 : 1;
              }),
              0);
    const IniFile file = IniFileStore::Read(real);
    EXPECT_EQ(file.GetString("Port.0.0", "Width", ""), "640");
    EXPECT_EQ(file.GetString("Port.0.0", "Height", ""), "480");
    EXPECT_EQ(file.GetString("Port.0.0", "Gain", ""), "3");
    struct stat info {};
    ASSERT_EQ(lstat(mPath.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, NobodyUid());
}

// --- The file's identity ------------------------------------------------------------------------

TEST_F(IniFileStoreTest, ASaveKeepsModeAndLinksAndNeverTouchesTheUmask) {
    WriteFile(mPath, kOthers);
    ASSERT_EQ(chmod(mPath.c_str(), 0600), 0);
    const int umaskCalls = gUmaskCalls;
    ASSERT_EQ(Save(mPath), 0);
    EXPECT_EQ(Mode(mPath), 0600u) << "a private file must not become world-readable";
    EXPECT_EQ(gUmaskCalls, umaskCalls);

    // A file with a second hard link is rewritten in place, so both names see the new text.
    const std::string second = mDir + "/second.ini";
    ASSERT_EQ(link(mPath.c_str(), second.c_str()), 0);
    ASSERT_EQ(IniFileStore::WriteProfileString(mPath, "Port.0.0", "Height", "480"), true);
    EXPECT_EQ(ReadFile(second), ReadFile(mPath));
    EXPECT_EQ(IniFileStore::GetProfileString(second, "Port.0.0", "Height", ""), "480");

    // A new file gets the mode the umask gives.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    const std::string fresh = mDir + "/fresh.ini";
    ASSERT_EQ(Save(fresh), 0);
    EXPECT_EQ(Mode(fresh), 0666u & ~mask);
    EXPECT_EQ(Entries(mDir), 3u) << "no temporary file left";
}

TEST_F(IniFileStoreTest, AnotherUsersWritableFileKeepsItsOwner) {
    SKIP_UNLESS_NOBODY();
    WriteFile(mPath, kOthers);
    ASSERT_EQ(chmod(mPath.c_str(), 0666), 0);  // root's, writable by everybody
    EXPECT_EQ(RunAsNobody([&] { return Save(mPath); }), 0);
    struct stat info {};
    ASSERT_EQ(stat(mPath.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
    EXPECT_EQ(info.st_mode & 07777, 0666u);
    EXPECT_EQ(IniFileStore::GetProfileString(mPath, "Port.0.0", "Width", ""), "640");
    EXPECT_EQ(IniFileStore::GetProfileString(mPath, "Port.0.1", "Width", ""), "8");
}

TEST_F(IniFileStoreTest, AFileThatMayNotBeWrittenIsRefused) {
    SKIP_UNLESS_NOBODY();
    WriteFile(mPath, kOthers);
    ASSERT_EQ(chown(mPath.c_str(), NobodyUid(), NobodyGid()), 0);
    ASSERT_EQ(chmod(mPath.c_str(), 0444), 0);
    EXPECT_EQ(RunAsNobody([&] { return Save(mPath); }), 1);
    EXPECT_EQ(ReadFile(mPath), kOthers);
    EXPECT_EQ(Mode(mPath), 0444u);
}

TEST_F(IniFileStoreTest, AWritableFileInAReadOnlyDirectoryIsRewrittenInPlace) {
    SKIP_UNLESS_NOBODY();
    WriteFile(mPath, kOthers);
    ASSERT_EQ(chown(mPath.c_str(), NobodyUid(), NobodyGid()), 0);
    ASSERT_EQ(chmod(mDir.c_str(), 0555), 0);
    struct stat before {};
    ASSERT_EQ(stat(mPath.c_str(), &before), 0);
    EXPECT_EQ(RunAsNobody([&] {
                  // Shorter than before, so the old tail must be cut off too.
                  return IniFileStore::Update(mPath,
                                              [](IniFile& file) {
                                                  file.SetString("Port.0.1", "Width", "1");
                                                  file.SetString("General", "logDebugView", "");
                                              })
                             ? 0
                             : 1;
              }),
              0);
    struct stat after {};
    ASSERT_EQ(stat(mPath.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFile(mPath),
              "; hand-written\n[Port.0.1]\n$Camera=Other (2)\nWidth=1\n"
              "[General]\nlogDebugView=\n");
    EXPECT_EQ(Entries(mDir), 1u);
}

// --- Failed saves ------------------------------------------------------------------------------

TEST_F(IniFileStoreTest, ASaveThatFailsAnywhereLeavesTheFileAsItWas) {
    WriteFile(mPath, kOthers);
    EXPECT_EQ(EveryFaultLeavesTheFile(mPath), "") << "beside a temporary file";

    // A second hard link makes the save rewrite the file in place.
    ASSERT_EQ(link(mPath.c_str(), (mDir + "/second.ini").c_str()), 0);
    EXPECT_EQ(EveryFaultLeavesTheFile(mPath), "") << "in place";
}

// The same on a real file system that is full, where the machine lets this test mount a small one
// of its own (in a mount namespace of a child process, so nobody else sees it).
TEST_F(IniFileStoreTest, OnAFullFileSystemASaveFailsAndLeavesTheFileAsItWas) {
    const std::string mount = mTemp.File("small");
    ASSERT_EQ(mkdir(mount.c_str(), 0755), 0);
    const int result = RunInChild([&] {
        if (unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=64k") != 0) {
            return 77;
        }
        const std::string path = mount + "/Ostravelk.ini";
        std::string text = "[General]\nLogLevel=1\n[Port.0.0]\n";
        for (int i = 0; text.size() < 2635; ++i) {
            text += "Key" + std::to_string(i) + "=" + std::to_string(i * 7919) + "\n";
        }
        WriteFile(path, text);
        const std::string second = mount + "/second.ini";  // makes the save rewrite in place
        // Fills the file system to its last byte.
        const int filler = open((mount + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
        const std::string block(4096, 'f');
        while (write(filler, block.data(), block.size()) > 0) {
        }
        while (write(filler, block.data(), 1) > 0) {
        }
        close(filler);
        int failures = 0;
        for (const bool inPlace : {false, true}) {
            if (inPlace && link(path.c_str(), second.c_str()) != 0) {
                return 3;
            }
            std::string error;
            const bool saved = IniFileStore::Update(
                path,
                [](IniFile& file) { file.SetString("Port.0.0", "Big", std::string(8000, 'b')); },
                &error);
            if (saved || ReadFile(path) != text ||
                error != path + ": cannot write: No space left on device") {
                fprintf(stderr, "%s: %s, %zu bytes now\n", inPlace ? "in place" : "beside",
                        error.c_str(), ReadFile(path).size());
                ++failures;
            }
        }
        return failures;
    });
    if (result == 77) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    EXPECT_EQ(result, 0) << "saves that changed the file (see above)";
}

// Where no temporary file can be made (a read-only directory) or given the file's group (a group
// the user is not in), the file is rewritten in place: its group and its inode stay, and a failure
// at any point leaves the old text.
TEST_F(IniFileStoreTest, AFileNoTemporaryFileCanStandInForIsRewrittenInPlaceOrNotAtAll) {
    SKIP_UNLESS_NOBODY();
    WriteFile(mPath, kOthers);
    ASSERT_EQ(chown(mPath.c_str(), NobodyUid(), 0), 0);  // nobody's file in root's group
    ASSERT_EQ(chmod(mPath.c_str(), 0664), 0);
    struct stat before {};
    ASSERT_EQ(stat(mPath.c_str(), &before), 0);
    const auto inPlace = [&] {
        struct stat after {};
        return stat(mPath.c_str(), &after) == 0 && after.st_ino == before.st_ino &&
               after.st_uid == NobodyUid() && after.st_gid == 0 && (after.st_mode & 07777) == 0664;
    };
    for (const mode_t directoryMode : {0777, 0555}) {
        ASSERT_EQ(chmod(mDir.c_str(), directoryMode), 0);
        EXPECT_EQ(RunAsNobody([&] {
                      const std::string failure = EveryFaultLeavesTheFile(mPath);
                      fprintf(stderr, "%s\n", failure.c_str());
                      if (!failure.empty()) {
                          return 1;
                      }
                      return Save(mPath) == 0 ? 0 : 2;
                  }),
                  0)
            << "directory " << std::oct << directoryMode
            << ": 1: a failed save changed the file (see above), 2: not saved";
        EXPECT_TRUE(inPlace());
        EXPECT_EQ(IniFileStore::GetProfileString(mPath, "Port.0.0", "Width", ""), "640");
        WriteFile(mPath, kOthers);
    }
}

// --- Several processes -------------------------------------------------------------------------

TEST_F(IniFileStoreTest, ProcessesSavingAtOnceLoseNothing) {
    WriteFile(mPath, kOthers);
    constexpr int kProcesses = 4;
    constexpr int kKeys = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int k = 0; k < kKeys; ++k) {
                ok = IniFileStore::Update(
                         mPath,
                         [&](IniFile& file) {
                             file.SetString("Port.0." + std::to_string(p + 2),
                                            "Key" + std::to_string(k), "v");
                             // A counter every process increments.
                             const int count = std::stoi(file.GetString("General", "Saves", "0"));
                             file.SetString("General", "Saves", std::to_string(count + 1));
                         }) &&
                     ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const IniFile file = IniFileStore::Read(mPath);
    for (int p = 0; p < kProcesses; ++p) {
        for (int k = 0; k < kKeys; ++k) {
            ASSERT_EQ(file.GetString("Port.0." + std::to_string(p + 2), "Key" + std::to_string(k),
                                     "lost"),
                      "v")
                << "process " << p << " key " << k;
        }
    }
    EXPECT_EQ(file.GetString("General", "Saves", ""), std::to_string(kProcesses * kKeys));
    EXPECT_EQ(file.GetString("General", "logDebugView", ""), "3");
}

TEST_F(IniFileStoreTest, ASaveKilledHalfWayLeavesTheOldOrTheNewText) {
    // Large enough that writing it takes a while, so that kills land inside saves.
    const std::string filler(64 * 1024, 'f');
    const auto text = [&](const std::string& state) {
        return "[Port.0.0]\nFiller=" + filler + "\nState=" + state + "\n";
    };
    // In memory where the machine has such a file system: a kill leaves what was written in the
    // page cache anyway, and the syncs of 200 saves would take most of the test's time on a disk.
    std::string shm = "/dev/shm/ostravelk-kill-XXXXXX";
    const bool inMemory = mkdtemp(shm.data()) != nullptr;
    const std::string path = inMemory ? shm + "/Ostravelk.ini" : mPath;
    WriteFile(path, text("old"));
    const std::set<std::string> valid = {text("old"), text("a"), text("b")};
    std::mt19937 random(13);
    int saves = 0;
    for (int round = 0; round < 200; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            for (int i = 0;; ++i) {
                IniFileStore::WriteProfileString(path, "Port.0.0", "State", i % 2 ? "a" : "b");
                if (i == 0) {
                    const char byte = 1;
                    (void)!write(ready[1], &byte, 1);
                }
            }
        }
        close(ready[1]);
        char byte = 0;
        saves += read(ready[0], &byte, 1) == 1 ? 1 : 0;  // one save done: the next one runs
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const std::string now = ReadFile(path);
        ASSERT_EQ(valid.count(now), 1u) << "round " << round << ": " << now.size() << " bytes";
    }
    EXPECT_EQ(saves, 200);
    if (inMemory) {
        std::filesystem::remove_all(shm);
    }
}
