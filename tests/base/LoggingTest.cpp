#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "ini/IniFileStore.h"
#include "ostravelk/ostravelk.h"
#include "sdk/genapi/GenericException.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

const std::regex kStampedLine(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: .*)");

}  // namespace

TEST(Logging, DefaultsGateEachSinkSeparately) {
    TempDir dir;
    LogCapture log;
    DriverState& state = GetDriverState();
    ASSERT_TRUE(state.SetSystemPath(dir.Path().c_str()));
    state.ReadSettings(&IniFileStore::GetProfileString);
    EXPECT_EQ(state.mLogDebugView, 1);
    EXPECT_EQ(state.mLogLevel, 2);

    state.Log(1, "one");
    state.Log(2, "two");
    state.Log(3, "three");

    EXPECT_EQ(log.DebugLines(), (std::vector<std::string>{"one\n"}));
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{"one\n", "two\n"}));
    EXPECT_FALSE(state.IsLogEnabled(3));
    EXPECT_EQ(ReadFile(dir.File("Ostravelk.log")), "") << "file logging is off by default";
}

TEST(Logging, CallbackGetsStampThenMessage) {
    LogCapture log;
    GetDriverState().Log(1, "hello");
    std::vector<std::string> raw = log.Raw();
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_TRUE(std::regex_match(raw[0], std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: )")));
    EXPECT_EQ(raw[1], "hello\n");
}

TEST(Logging, LineFeedRuleAndLiteralPercentSigns) {
    LogCapture log;
    DriverState& state = GetDriverState();
    state.Log(1, "short");
    state.Log(1, "ends\n");
    state.Log(1, "");
    state.Log(1, "100% of %s and %d");
    std::vector<std::string> raw = log.Raw();
    ASSERT_EQ(raw.size(), 8u);
    EXPECT_EQ(raw[1], "short\n");
    EXPECT_EQ(raw[3], "ends\n");
    EXPECT_EQ(raw[5], "");
    EXPECT_EQ(raw[7], "100% of %s and %d\n");
}

TEST(Logging, LongTextsAreCutAt1023Characters) {
    LogCapture log;
    DriverState& state = GetDriverState();
    state.Log(1, std::string(1021, 'a'));
    state.Log(1, std::string(1022, 'b'));
    state.Log(1, std::string(5000, 'c'));
    std::vector<std::string> messages = log.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], std::string(1021, 'a') + "\n");
    EXPECT_EQ(messages[1], std::string(1022, 'b')) << "no room left for a line feed";
    EXPECT_EQ(messages[2], std::string(1023, 'c'));
}

TEST(Logging, TimeStampFormat) {
    // A broken-down local time as localtime_r gives it (months from 0, years from 1900).
    const auto time = [](int year, int month, int day, int hour, int minute, int second) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        return t;
    };
    EXPECT_EQ(DriverState::FormatTimeStamp(time(2026, 12, 8, 13, 24, 34)), "08/12/26 13:24:34: ");
    EXPECT_EQ(DriverState::FormatTimeStamp(time(2000, 1, 1, 0, 0, 5)), "01/01/00 00:00:05: ");
}

TEST(Logging, NoDebugOutputButEverythingToCallbackAndFile) {
    TempDir dir;
    LogCapture log;
    DriverState& state = GetDriverState();
    state.SetSystemPath(dir.Path().c_str());
    state.mLogDebugView = 0;
    state.mLogLevel = 3;
    state.mLogIntoFile = true;
    state.Log(1, "a");
    state.Log(2, "b");
    state.Log(3, "c");
    EXPECT_TRUE(log.DebugLines().empty());
    EXPECT_EQ(log.Raw().size(), 6u);
    std::vector<std::string> lines = Lines(ReadFile(dir.File("Ostravelk.log")));
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, kStampedLine)) << line;
    }
    EXPECT_EQ(lines[2].substr(19), "c");
}

TEST(Logging, PendingLinesAreWrittenFirstOnceAPathIsSet) {
    TempDir dir;
    LogCapture log;
    DriverState& state = GetDriverState();
    state.SetSystemPath("");
    state.mLogIntoFile = true;
    state.Log(1, "first");
    state.Log(2, "second");
    state.Log(3, "filtered out");

    // A directory that cannot take the file loses the line but keeps the pending ones.
    state.SetSystemPath((dir.Path() + "/missing").c_str());
    state.Log(1, "lost");

    state.SetSystemPath(dir.Path().c_str());
    state.Log(1, "third");
    state.Log(1, "fourth");
    std::vector<std::string> lines = Lines(ReadFile(dir.File("Ostravelk.log")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(19), "first");
    EXPECT_EQ(lines[1].substr(19), "second");
    EXPECT_EQ(lines[2].substr(19), "third");
    EXPECT_EQ(lines[3].substr(19), "fourth");
}

TEST(Logging, PortAndExceptionForms) {
    LogCapture log;
    DriverState& state = GetDriverState();
    state.LogPort(1, 3, "INFO: ", "Opening camera X", "Camera::DoOpen");
    state.LogPort(1, -1, "", "no tag", "Where");
    state.LogPort(3, 3, "trace: ", "hidden", "Where");
    state.LogException(7, "OpenCamera", " std Exception: ", "boom", "Camera::DoOpen");
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{"port3: INFO: Opening camera X, Camera::DoOpen\n",
                                        "port-1: no tag, Where\n",
                                        "port7: ERR: OpenCamera std Exception: boom, "
                                        "Camera::DoOpen\n"}));
}

TEST(Logging, ThreeHandlersInOrder) {
    LogCapture log;
    EXPECT_EQ(RunGuarded(99, "op", "where", -1,
                         []() -> int { throw sdk::AccessException("node is not writable"); }),
              -1);
    EXPECT_EQ(RunGuarded(4, "op", "where", 0, []() -> int { throw std::out_of_range("oor"); }), 0);
    EXPECT_EQ(RunGuarded(5, "op ", "where", 0, []() -> int { throw 42; }), 0);
    EXPECT_EQ(RunGuarded(5, "op", "where", 0, [] { return 9; }), 9);
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{"port99: ERR: op Pylon Exception: node is not writable, "
                                        "where\n",
                                        "port4: ERR: op std Exception: oor, where\n",
                                        "port5: ERR: op  Undefined Exception, where\n"}));
}

TEST(Logging, ConcurrentWritersNeverInterleave) {
    TempDir dir;
    LogCapture log;
    DriverState& state = GetDriverState();
    state.SetSystemPath(dir.Path().c_str());
    state.mLogIntoFile = true;
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &state] {
            for (int i = 0; i < kLines; ++i) {
                state.Log(1, "thread " + std::to_string(t) + " line " + std::to_string(i));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    std::vector<std::string> lines = Lines(ReadFile(dir.File("Ostravelk.log")));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    std::regex shape(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: thread \d line \d+)");
    for (const std::string& line : lines) {
        ASSERT_TRUE(std::regex_match(line, shape)) << line;
    }
    // The callback saw every stamp directly followed by its own message.
    std::vector<std::string> raw = log.Raw();
    ASSERT_EQ(raw.size(), static_cast<size_t>(2 * kThreads * kLines));
    for (size_t i = 0; i < raw.size(); i += 2) {
        ASSERT_EQ(raw[i].size(), 19u);
        ASSERT_EQ(raw[i + 1].rfind("thread ", 0), 0u);
    }
}

TEST(ReadSettings, DebugViewLevelFromGeneralSection) {
    TempDir dir;
    DriverState& state = GetDriverState();
    struct Case {
        const char* file;
        int expected;
    } cases[] = {
        {"[General]\nlogDebugView=3\n", 3},    {"[general]\n  LOGDEBUGVIEW =  2  \n", 2},
        {"[General]\nlogDebugView=7xyz\n", 7}, {"[General]\nlogDebugView=abc\n", 0},
        {"[General]\nlogDebugView=\n", 0},     {"[General]\nLogLevel=3\n", 1},
        {"[Other]\nlogDebugView=3\n", 1},
    };
    state.SetSystemPath(dir.Path().c_str());
    for (const Case& c : cases) {
        WriteFile(dir.File("Ostravelk.ini"), c.file);
        state.mLogDebugView = -5;
        state.ReadSettings(&IniFileStore::GetProfileString);
        EXPECT_EQ(state.mLogDebugView, c.expected) << c.file;
    }
}

TEST(ReadSettings, MissingFileOrPathGivesOne) {
    TempDir dir;
    DriverState& state = GetDriverState();
    state.mLogDebugView = 0;
    state.ReadSettings(&IniFileStore::GetProfileString);
    EXPECT_EQ(state.mLogDebugView, 1) << "no ini path yet";
    state.SetSystemPath(dir.Path().c_str());
    state.mLogDebugView = 0;
    state.ReadSettings(&IniFileStore::GetProfileString);
    EXPECT_EQ(state.mLogDebugView, 1) << "no ini file";
}

TEST(SystemPath, EmptyPathKeepsTheIniPath) {
    DriverState& state = GetDriverState();
    EXPECT_TRUE(state.SetSystemPath("/some/dir"));
    EXPECT_EQ(state.GetIniPath(), "/some/dir/Ostravelk.ini");
    EXPECT_FALSE(state.SetSystemPath(""));
    EXPECT_FALSE(state.SetSystemPath(nullptr));
    EXPECT_EQ(state.GetSystemPath(), "");
    EXPECT_EQ(state.GetIniPath(), "/some/dir/Ostravelk.ini");
    EXPECT_TRUE(state.SetSystemPath("/other/"));
    EXPECT_EQ(state.GetIniPath(), "/other//Ostravelk.ini") << "used unchanged";
}

// Someone else's directory may hold a named pipe or a device where the log file should be:
// opening it for writing must neither wait for a reader nor write into the device.
TEST(Logging, ALogPathThatIsNoRegularFileLosesTheLineWithoutWaiting) {
    TempDir dir;
    LogCapture log;
    DriverState& state = GetDriverState();
    const std::string path = dir.File("Ostravelk.log");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    state.SetSystemPath(dir.Path().c_str());
    state.mLogIntoFile = true;
    std::future<void> logged = std::async(std::launch::async, [&state] { state.Log(1, "a"); });
    const bool returned = logged.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    // A reader releases a blocked open, so the suite can go on; it stays open until the write.
    const int reader = returned ? -1 : open(path.c_str(), O_RDONLY | O_NONBLOCK);
    logged.wait();
    if (reader >= 0) {
        close(reader);
    }
    state.mLogIntoFile = false;
    EXPECT_TRUE(returned) << "opening the log file waited for a reader of the pipe";
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{"a\n"})) << "the other sinks still get it";
}

// A line that cannot be written whole (a full disk) is lost whole: no torn line is left for the
// next one to run on from, and lines still pending stay pending for the next line.
TEST(Logging, ALineThatCannotBeWrittenWholeLeavesTheLogAsItWas) {
    TempDir dir;
    LogCapture log;
    DriverState& state = GetDriverState();
    const std::string path = dir.File("Ostravelk.log");
    const std::string old = "01/01/26 00:00:00: old\n";
    const std::string line(100, 'x');
    WriteFile(path, old);
    state.SetSystemPath(dir.Path().c_str());
    state.mLogIntoFile = true;
    FileFaults faults;
    for (const bool reserving : {true, false}) {
        faults.SetReservationSupported(reserving);
        faults.FailAt(0);
        state.Log(1, line);
        const int calls = faults.Calls();
        for (int call = 1; call <= calls; ++call) {
            for (const auto fault : {FileFaults::Fault::kNoSpace, FileFaults::Fault::kShortWrite}) {
                WriteFile(path, old);
                faults.FailAt(call, fault);
                state.Log(1, line);
                EXPECT_TRUE(ReadFile(path) == old) << "fault at call " << call << " of " << calls
                                                   << (reserving ? "" : ", no room");
            }
        }
    }
    state.SetSystemPath("");
    state.Log(1, "pending");
    state.SetSystemPath(dir.Path().c_str());
    faults.FailAt(1);
    state.Log(1, "lost");
    EXPECT_TRUE(ReadFile(path) == old);
    faults.FailAt(0);
    state.Log(1, "next");
    state.mLogIntoFile = false;
    const std::vector<std::string> lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(19), "pending");
    EXPECT_EQ(lines[2].substr(19), "next");
}

// A link someone else planted where the log file goes is not written through (as root, into a
// file of root's); a link of one's own is.
TEST(Logging, APlantedLinkInPlaceOfTheLogIsNotWrittenThrough) {
    if (!WhyNotAsNobody().empty()) {
        GTEST_SKIP() << "needs another user: " << WhyNotAsNobody();
    }
    TempDir dir;
    TempDir elsewhere;
    DriverState& state = GetDriverState();
    const std::string path = dir.File("Ostravelk.log");
    const std::string real = elsewhere.File("passwd");
    const std::string passwd = "root:x:0:0:root:/root:/bin/sh\n";
    WriteFile(real, passwd);
    ASSERT_EQ(symlink(real.c_str(), path.c_str()), 0);
    ASSERT_EQ(lchown(path.c_str(), NobodyUid(), NobodyGid()), 0);
    state.SetSystemPath(dir.Path().c_str());
    state.mLogIntoFile = true;
    state.Log(1, "planted");
    EXPECT_EQ(ReadFile(real), passwd);
    ASSERT_EQ(lchown(path.c_str(), 0, 0), 0);
    state.Log(1, "own");
    state.mLogIntoFile = false;
    const std::vector<std::string> lines = Lines(ReadFile(real));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(19), "own");
}

TEST(Logging, LinesHeldWithoutASystemPathAreBoundedAndTheDroppedCounted) {
    SimCameras sim;
    WriteFile(sim.IniPath(), std::string("[Port.0.0]\n$Camera=") + SimCameras::kGigE +
                                 "\n[General]\nLogLevel=3\n");
    ASSERT_EQ(initialize(sim.HostDir().c_str(), nullptr), 1);
    int size[2];
    ASSERT_EQ(openCVLPort(0, 0, SimCameras::kGigE, size), 1);
    // File logging is taken over at the next open.
    ASSERT_EQ(setProperty(0, 0, "LogIntoFile", 1), 1);
    closeCVLPort(0, 0);
    ASSERT_EQ(openCVLPort(0, 0, SimCameras::kGigE, size), 1);
    EXPECT_EQ(setSystemPath(""), 0);
    constexpr size_t kHeldAtMost = 2000;  // lines the driver keeps for the file meanwhile
    const size_t calls = 3 * kHeldAtMost;
    for (size_t i = 0; i < calls; ++i) {
        int value;
        getProperty(0, 0, "Width", &value);  // two lines each at level 3
    }
    ASSERT_EQ(setSystemPath(sim.HostDir().c_str()), 1);
    GetDriverState().Log(1, "path is back");
    const std::string text = ReadFile(sim.HostDir() + "/Ostravelk.log");
    size_t held = 0;
    for (const std::string& line : Lines(text)) {
        held += line.find("prop=Width") != std::string::npos ? 1 : 0;
    }
    EXPECT_LE(held, kHeldAtMost);
    EXPECT_GT(held, 0u);
    const std::regex dropped(
        R"(\n[^\n]*: (\d+) log lines dropped while there was no system path\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(text, match, dropped));
    EXPECT_GE(std::stoul(match[1]) + held, 2 * calls) << "every line is held or counted";
    EXPECT_LT(text.find(match[0]), text.find("path is back")) << "before the new lines";
    EXPECT_EQ(finalize(), 1);
}
