#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "HostRun.h"
#include "TestSupport.h"

// The sample host's commands as a user types them: what they print, where, and their exit codes.
namespace {

const std::string kGigE = Quoted(SimCameras::kGigE);
const std::string kUsb = Quoted(SimCameras::kUsb);

// One line of the host's own on standard error (besides the driver's error lines, which pass
// by default), nothing on standard output, the exit code given.
void ExpectOneErrorLine(const HostResult& run, int status, const std::string& text) {
    EXPECT_EQ(run.status, status) << run.err;
    std::vector<std::string> own;
    for (const std::string& line : run.ErrorLines()) {
        if (line.rfind("ostravelk-host: ", 0) == 0) {
            own.push_back(line);
        } else {
            EXPECT_NE(line.find(": ERR: "), std::string::npos) << "only driver errors: " << line;
        }
    }
    ASSERT_EQ(own.size(), 1u) << run.err;
    EXPECT_NE(own[0].find(text), std::string::npos) << run.err;
}

double Figure(const std::string& text, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) return -1.0;
    return std::stod(match[1]);
}

}  // namespace

TEST(HostCommand, HelpAndVersionGoToStandardOutputWithoutTheDriver) {
    // No driver can be loaded from there: help and version must not need one.
    for (const char* arguments : {"--help", "-h", "help", "list --help"}) {
        const HostResult run = RunHost(std::string(arguments) + " --lib /nonexistent.so");
        EXPECT_EQ(run.status, 0) << arguments << ": " << run.err;
        EXPECT_EQ(run.out.rfind("usage: ostravelk-host", 0), 0u) << arguments;
        EXPECT_NE(run.out.find("features"), std::string::npos);
        EXPECT_EQ(run.err, "") << arguments;
    }
    const HostResult version = RunHost("--version --lib /nonexistent.so");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(
        std::regex_match(version.out, std::regex("ostravelk-host [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;
}

TEST(HostCommand, UsageMistakesAreNamedInOneLineBeforeTheDriverStarts) {
    const struct {
        const char* arguments;
        const char* text;
    } cases[] = {
        {"", "no command given"},
        {"bogus", "unknown command \"bogus\""},
        {"SV1304 bogus", "unknown command \"bogus\""},
        {"get", "get needs a camera"},
        {"SV1304 get", "get needs a property name"},
        {"SV1304 set Gain", "set needs NAME VALUE or NAME=VALUE"},
        {"SV1304 grab -n abc", "-n \"abc\": not a whole number"},
        {"SV1304 grab -n 0", "-n \"0\": not a whole number from 1"},
        {"SV1304 grab -n", "-n needs a value"},
        {"SV1304 grab --bogus", "grab: unexpected \"--bogus\""},
        {"SV1304 view --frames 2x", "--frames \"2x\""},
        {"SV1304 view --screenshot x.png", "--screenshot needs --frames N or --seconds S"},
        {"SV1304 view --seconds 0", "--seconds \"0\": not a whole number from 1"},
        {"list extra", "list: unexpected \"extra\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const HostResult run = RunHost(std::string(c.arguments) + " --lib /nonexistent.so");
        ExpectOneErrorLine(run, 2, c.text);
        EXPECT_EQ(run.out, "");
    }
}

TEST(HostCommand, HostDirectoryIsPerUserAndMustExistWhenGiven) {
    SimCameras sim;
    TempDir config, work;
    const HostResult run =
        RunHost(kGigE + " get Gain",
                "cd " + Quoted(work.Path()) + " && XDG_CONFIG_HOME=" + Quoted(config.Path()));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(config.File("ostravelk"))) << "created on first use";
    EXPECT_TRUE(std::filesystem::is_empty(work.Path())) << "nothing written where it was started";

    const HostResult missing = RunHost("--dir /nonexistent/dir list");
    ExpectOneErrorLine(missing, 2, "--dir /nonexistent/dir: no such directory");
}

TEST(HostCommand, ListShowsClassModelSerialAndAddress) {
    SimCameras sim;
    const HostResult run = RunHost("--dir " + Quoted(sim.HostDir()) + " list");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "the driver's log stays off by default";
    EXPECT_TRUE(std::regex_search(
        run.out, std::regex("GigE +SV1304-30gm +21000001 +[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+ "
                            "+\"SV1304-30gm \\(21000001\\)\"")))
        << run.out;
    EXPECT_TRUE(std::regex_search(
        run.out, std::regex("USB3 +SV1928-40uc +22000002 +- +\"SV1928-40uc \\(22000002\\)\"")))
        << run.out;
}

TEST(HostCommand, CameraIsChosenByNameSerialOrAPartOnlyItHas) {
    SimCameras sim;
    const std::string dir = "--dir " + Quoted(sim.HostDir()) + " ";
    for (const std::string& camera :
         {kUsb, std::string("'sv1928-40uc (22000002)'"), std::string("22000002"),
          std::string("1928"), std::string("40UC")}) {
        const HostResult run = RunHost(dir + camera + " get PixelSize");
        EXPECT_EQ(run.status, 0) << camera << ": " << run.err;
        EXPECT_EQ(run.out, "PixelSize = 24\n") << camera;
    }
    const HostResult both = RunHost(dir + "SV get Gain");
    ExpectOneErrorLine(both, 1, "\"SV\" matches 2 cameras");
    EXPECT_NE(both.err.find(SimCameras::kGigE), std::string::npos);
    const HostResult none = RunHost(dir + "'nobody (0)' get Gain");
    ExpectOneErrorLine(none, 1, "no camera matches \"nobody (0)\"");
}

TEST(HostCommand, PropertyNamesAreListedDescribedAndUnknownOnesNamed) {
    SimCameras sim;
    const std::string dir = "--dir " + Quoted(sim.HostDir()) + " ";
    const HostResult features = RunHost(dir + kGigE + " features");
    ASSERT_EQ(features.status, 0) << features.err;
    for (const char* pattern :
         {"\nGain +int64 +rw +36 +\\[0\\.\\.360\\]\n", "\nAll_GainRaw +int64 +rw +36 ",
          "\nPixelFormat +enum +rw +Mono8 +Mono8,", "\ncontinuous +bool +rw ",
          "\nDeviceModelName +string +ro +SV1304-30gm"}) {
        EXPECT_TRUE(std::regex_search("\n" + features.out, std::regex(pattern))) << pattern;
    }
    const HostResult describe = RunHost(dir + kGigE + " describe DeviceUserID");
    ASSERT_EQ(describe.status, 0) << describe.err;
    EXPECT_NE(describe.out.find("DeviceUserID: string, read/write"), std::string::npos);
    EXPECT_NE(describe.out.find("User-settable name"), std::string::npos) << describe.out;
    const HostResult range = RunHost(dir + kGigE + " range Gain range PixelFormat");
    EXPECT_EQ(range.status, 0);
    EXPECT_NE(range.out.find("Gain in [0..360]\n"), std::string::npos) << range.out;
    EXPECT_NE(range.out.find("PixelFormat: one of Mono8 "), std::string::npos) << range.out;

    ExpectOneErrorLine(RunHost(dir + kGigE + " get NoSuchProp"), 1,
                       "no property \"NoSuchProp\" on this camera (\"features\" lists the names)");
    ExpectOneErrorLine(RunHost(dir + kGigE + " get GainRaw"), 1, "did you mean All_GainRaw?");
    ExpectOneErrorLine(RunHost(dir + kGigE + " range NoSuchProp"), 1, "no property");
    ExpectOneErrorLine(RunHost(dir + kGigE + " set NoSuchProp=1"), 1, "no property");
    ExpectOneErrorLine(RunHost(dir + kGigE + " describe NoSuchProp"), 1, "no property");
    ExpectOneErrorLine(RunHost(dir + kUsb + " get Exposure"), 1, "ExposureTime");
}

TEST(HostCommand, ValuesAreCheckedBeforeTheyAreWrittenAndReadBackAfter) {
    SimCameras sim;
    const std::string gige = "--dir " + Quoted(sim.HostDir()) + " " + kGigE;
    const std::string usb = "--dir " + Quoted(sim.HostDir()) + " " + kUsb;
    ExpectOneErrorLine(RunHost(gige + " set Gain abc"), 1, "Gain: \"abc\" is not a whole number");
    ExpectOneErrorLine(RunHost(gige + " set Gain 12abc"), 1, "not a whole number");
    ExpectOneErrorLine(RunHost(gige + " set Gain 99999"), 1,
                       "Gain: 99999 is out of range [0..360], the value is still 36");
    ExpectOneErrorLine(RunHost(gige + " set DeviceModelName=x"), 1, "DeviceModelName: read-only");
    ExpectOneErrorLine(RunHost(usb + " set PixelFormat Mono12"), 1,
                       "\"Mono12\" is not one of Mono8,BayerGR8,");
    ExpectOneErrorLine(RunHost(usb + " set ExposureTime=fast"), 1, "is not a number");
    ExpectOneErrorLine(RunHost(usb + " set continuous=maybe"), 1, "is not 1/0, true/false");
    // In the range the camera gave, but refused by the camera: the offset leaves no room.
    const HostResult refused = RunHost(gige + " set Width=1264 OffsetX=16 Width=1280");
    EXPECT_EQ(refused.out, "Width = 1264\nOffsetX = 16\n");
    // The driver's range follows the offset, so the refusal says so.
    ExpectOneErrorLine(refused, 1,
                       "Width: 1280 is out of range [16..1264], the value is still 1264");
    // Nothing was written by the refused commands.
    EXPECT_EQ(RunHost(gige + " get Gain").out, "Gain = 36\n");

    const HostResult entry = RunHost(usb + " set PixelFormat rgb8 get PixelFormat PixelSize");
    ASSERT_EQ(entry.status, 0) << entry.err;
    EXPECT_EQ(entry.out, "PixelFormat = RGB8\nPixelFormat = RGB8\nPixelSize = 24\n");
    const HostResult real = RunHost(usb + " set ExposureTime=1.25e4 get ExposureTime");
    ASSERT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(real.out, "ExposureTime = 12500\nExposureTime = 12500\n");
}

TEST(HostCommand, SeveralCommandsRunOnOneOpenCamera) {
    SimCameras sim;
    const std::string dir = "--dir " + Quoted(sim.HostDir()) + " ";
    const HostResult run = RunHost(dir + "21000001 set Gain=100 grab -n 2 get Gain");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::regex_match(
        run.out, std::regex("Gain = 100\ncamera .*\n2 frame\\(s\\).*\nGain = 100\n")))
        << run.out;
    // The older form, command before camera, takes further commands as well.
    const HostResult older = RunHost(dir + "set 21000001 Gain 120 get Gain");
    EXPECT_EQ(older.out, "Gain = 120\nGain = 120\n") << older.err;
    // The first failure ends the run: what follows does not run.
    const HostResult stop = RunHost(dir + "21000001 set Gain=abc get Gain");
    ExpectOneErrorLine(stop, 1, "not a whole number");
    EXPECT_EQ(stop.out, "");

    // A session on standard input goes on after a mistake and ends with "quit".
    const HostResult shell =
        RunHost(dir + "21000001 shell", "",
                "set Gain=50\nget NoSuchProp\n\nget \"Gain\"\nquit\nget Gain\n");
    EXPECT_EQ(shell.out, "Gain = 50\nGain = 50\n") << shell.err;
    EXPECT_EQ(shell.status, 0);
    ASSERT_EQ(shell.ErrorLines().size(), 1u) << shell.err;
    EXPECT_NE(shell.err.find("no property \"NoSuchProp\""), std::string::npos);
}

TEST(HostCommand, DriverLogStaysOffStandardOutput) {
    SimCameras sim;
    const std::string dir = "--dir " + Quoted(sim.HostDir()) + " ";
    const HostResult quiet = RunHost(dir + kGigE + " get Gain");
    EXPECT_EQ(quiet.out, "Gain = 36\n");
    EXPECT_EQ(quiet.err, "");
    const HostResult verbose = RunHost(dir + "-v " + kGigE + " get Gain");
    EXPECT_EQ(verbose.out, "Gain = 36\n");
    EXPECT_NE(verbose.err.find("Opening camera SV1304-30gm (21000001)"), std::string::npos)
        << verbose.err;
}

TEST(HostCommand, GrabSavesIntoNewDirectoriesAndFailsWhenItCannotWrite) {
    SimCameras sim;
    TempDir out;
    const std::string dir = "--dir " + Quoted(sim.HostDir()) + " ";
    const std::string nested = out.File("a/b");
    const HostResult run = RunHost(dir + "22000002 grab -n 3 --out " + Quoted(nested));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("3 PNG file(s) in " + nested), std::string::npos) << run.out;
    EXPECT_TRUE(std::filesystem::is_regular_file(nested + "/frame-0003.png"));
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << "no progress counter into a file";

    WriteFile(out.File("file"), "x");
    const HostResult blocked =
        RunHost(dir + "22000002 grab -n 3 --out " + Quoted(out.File("file/x")));
    ExpectOneErrorLine(blocked, 1, "--out " + out.File("file/x") + ": cannot create the directory");
}

TEST(HostCommand, SingleGrabRateCountsTheWholeTimeOfTheGrabs) {
    SimCameras sim;
    const HostResult run = RunHost("--dir " + Quoted(sim.HostDir()) + " 21000001 grab -n 2");
    ASSERT_EQ(run.status, 0) << run.err;
    const double rate = Figure(run.out, "([0-9.]+) frames/s");
    const double slowest = Figure(run.out, "latency p50 ([0-9.]+) ms");
    ASSERT_GT(rate, 0.0) << run.out;
    ASSERT_GT(slowest, 0.0) << run.out;
    // Two grabs one after another take at least the slower one's latency.
    EXPECT_LE(rate, 2 * 1000.0 / slowest * 1.01) << run.out;
}

TEST(HostCommand, ViewAndConfigureWithoutADisplaySayItInOneLine) {
    SimCameras sim;
    const std::string dir = "--dir " + Quoted(sim.HostDir()) + " ";
    for (const char* command : {" view", " configure"}) {
        const HostResult run =
            RunHost(dir + kGigE + command, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
        ExpectOneErrorLine(run, 1, "no display");
        EXPECT_EQ(run.out, "");
    }
    const HostResult unreachable =
        RunHost(dir + kGigE + " view", "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:97");
    ExpectOneErrorLine(unreachable, 1, "cannot connect to the display \":97\"");
}
