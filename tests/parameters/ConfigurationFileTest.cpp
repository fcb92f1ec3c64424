// The configuration file: section names, finding a camera's section, loading and saving every
// parameter type, the file's layout after a first save, limits and the settings never stored.

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ParameterTestSupport.h"
#include "ini/IniFileStore.h"
#include "parameters/IniSection.h"

using namespace partest;
using sdk::gcstring;

namespace {

class ConfigurationFileTest : public ::testing::Test {
  protected:
    void SetUp() override { GetDriverState().SetSystemPath(mDir.Path().c_str()); }

    std::string IniPath() const { return mDir.File("Ostravelk.ini"); }
    std::string Ini() const { return ReadFile(IniPath()); }
    void WriteIni(const std::string& text) const { WriteFile(IniPath(), text); }

    template <typename P, typename... Args>
    static P& Add(CameraParameters& set, Args&&... args) {
        auto parameter = std::make_unique<P>(std::forward<Args>(args)...);
        P& added = *parameter;
        set.AddParameter_(std::move(parameter));
        return added;
    }

    // The camera parameters of the example file, in its order.
    static void AddExampleParameters(CameraParameters& set) {
        Add<Param<int64_t>>(set, "ImageFormatControl", "Width", 1280, 16, 1280, 4);
        auto& exposureAuto = Add<ParamEnum>(set, "AcquisitionControl", "ExposureAuto", "");
        exposureAuto.AddEntry("Off", 0);
        exposureAuto.AddEntry("Continuous", 2);
        Add<Param<double>>(set, "AcquisitionControl", "ExposureTimeAbs", 10000.0, 40.0, 1e6, 0.0);
        Add<Param<bool>>(set, "ImageFormatControl", "ReverseX", false);
        auto& gain = Add<Param<int64_t>>(set, "AnalogControl", "All_GainRaw", 36, 0, 360, 1);
        gain.SetOption("SelectorName", "GainSelector");
        Add<Param<std::string>>(set, "DeviceControl", "DeviceUserID", "");
    }

    TempDir mDir;
    std::atomic<int> mPort{0};
};

const char* const kExampleFile =
    "[Port.0.0]\n"
    "$Camera=Model A (1001)\n"
    "Width=1280\n"
    "ExposureAuto=Off\n"
    "ExposureTimeAbs=10000\n"
    "ReverseX=0\n"
    "All_GainRaw=36\n"
    "DeviceUserID=\n"
    "[General]\n"
    "LogLevel=1\n"
    "UseBGR=1\n"
    "InhibitPylonTerminate=1\n"
    "BufferCount=5\n"
    "Reconnect=1\n"
    "Heartbeat=3000\n";

}  // namespace

TEST_F(ConfigurationFileTest, PortSectionNames) {
    CameraParameters set(&mPort, "Cam");
    EXPECT_EQ(set.PortSectionName(), "Port.0.0");
    mPort = 12;
    EXPECT_EQ(set.PortSectionName(), "Port.0.12");
}

TEST_F(ConfigurationFileTest, AFirstSaveWritesTheExampleLayoutByteForByte) {
    CameraParameters set(&mPort, "Model A (1001)");
    AddExampleParameters(set);
    set.CreateCollapseStatus();  // neither the flags nor LogIntoFile are stored
    Get<Param<bool>>(set, "LogIntoFile").mValue = true;
    ASSERT_TRUE(set.Save());
    EXPECT_EQ(Ini(), kExampleFile);
    // Saving again changes nothing.
    ASSERT_TRUE(set.Save());
    EXPECT_EQ(Ini(), kExampleFile);
}

TEST_F(ConfigurationFileTest, LaterSavesReplaceInPlaceAppendNewKeysAndKeepTheRest) {
    WriteIni(
        "; written by hand\n[General]\nlogDebugView=3\nLOGLEVEL=4\n\n[Port.0.0]\n"
        "$camera=Model A (1001)\nOldKey=kept\nwidth=1\n");
    CameraParameters set(&mPort, "Model A (1001)");
    Add<Param<int64_t>>(set, "Cat", "Width", 640);
    Add<Param<int64_t>>(set, "Cat", "Height", 480);
    ASSERT_TRUE(set.Save());
    EXPECT_EQ(Ini(),
              "; written by hand\n[General]\nlogDebugView=3\nLogLevel=1\nUseBGR=1\n"
              "InhibitPylonTerminate=1\nBufferCount=5\nReconnect=1\nHeartbeat=3000\n\n"
              "[Port.0.0]\n$Camera=Model A (1001)\nOldKey=kept\nWidth=640\nHeight=480\n");
}

TEST_F(ConfigurationFileTest, EveryTypeRoundTrips) {
    CameraParameters saved(&mPort, "Cam (1)");
    Add<Param<int64_t>>(saved, "Cat", "Big", int64_t{-9000000000});
    Add<Param<double>>(saved, "Cat", "Real", 0.1);
    Add<Param<double>>(saved, "Cat", "Tiny", 1.5e-300);
    Add<Param<bool>>(saved, "Cat", "Flag", true);
    Add<Param<std::string>>(saved, "Cat", "Text", "a = b; [c]");
    Add<Param<unsigned>>(saved, "Cat", "Unsigned", 4000000000u);
    auto& mode = Add<ParamEnum>(saved, "Cat", "Mode", "");
    mode.AddEntry("Off", 0);
    mode.mValue = "NoEntry";  // kept as text
    Get<Param<int>>(saved, "BufferCount").mValue = 7;
    Get<Param<bool>>(saved, "UseBGR").mValue = false;
    ASSERT_TRUE(saved.Save());
    EXPECT_NE(Ini().find("Real=0.10000000000000001\n"), std::string::npos);

    CameraParameters loaded(&mPort, "Cam (1)");
    auto& big = Add<Param<int64_t>>(loaded, "Cat", "Big", 0);
    auto& real = Add<Param<double>>(loaded, "Cat", "Real", 0.0);
    auto& tiny = Add<Param<double>>(loaded, "Cat", "Tiny", 0.0);
    auto& flag = Add<Param<bool>>(loaded, "Cat", "Flag", false);
    auto& text = Add<Param<std::string>>(loaded, "Cat", "Text", "");
    auto& number = Add<Param<unsigned>>(loaded, "Cat", "Unsigned", 0u);
    auto& loadedMode = Add<ParamEnum>(loaded, "Cat", "Mode", "");
    loadedMode.AddEntry("Off", 0);
    EXPECT_TRUE(loaded.Load(false));  // camera parameters only
    EXPECT_EQ(big.mValue, -9000000000);
    EXPECT_EQ(real.mValue, 0.1);
    EXPECT_EQ(tiny.mValue, 1.5e-300);
    EXPECT_TRUE(flag.mValue);
    EXPECT_EQ(text.mValue, "a = b; [c]");
    EXPECT_EQ(number.mValue, 4000000000u);
    EXPECT_EQ(loadedMode.mValue, "NoEntry");
    EXPECT_EQ(Get<Param<int>>(loaded, "BufferCount").mValue, 5);
    EXPECT_TRUE(loaded.Load(true));  // driver settings only
    EXPECT_EQ(Get<Param<int>>(loaded, "BufferCount").mValue, 7);
    EXPECT_FALSE(Get<Param<bool>>(loaded, "UseBGR").mValue);
}

TEST_F(ConfigurationFileTest, TheSimulatedCameraRoundTrips) {
    SimCamera camera("BaslerGigE");
    CameraParameters saved(&mPort, camera.Name());
    saved.CreateFromNodes(camera.Nodes());
    Get<Param<int64_t>>(saved, "Width").mValue = 640;
    Get<Param<std::string>>(saved, "DeviceUserID").mValue = "Left";
    ASSERT_TRUE(saved.Save());
    EXPECT_EQ(Ini().rfind("[Port.0.0]\n$Camera=" + camera.Name() + "\nDeviceVendorName=", 0), 0u);

    CameraParameters loaded(&mPort, camera.Name());
    loaded.CreateFromNodes(camera.Nodes());
    EXPECT_TRUE(loaded.Load(false));
    auto it = loaded.begin();
    for (const Param_& parameter : saved) {
        ASSERT_NE(it, loaded.end());
        EXPECT_EQ(it->mName, parameter.mName);
        EXPECT_EQ(it->GetValueText(), parameter.GetValueText()) << parameter.mName;
        ++it;
    }
}

TEST_F(ConfigurationFileTest, FindSectionComparesTheTextBeforeTheParenthesis) {
    CameraParameters set(&mPort, "Model A (1001)");
    EXPECT_EQ(set.FindSection(), "");  // no file
    const struct {
        const char* stored;
        bool matches;
    } cases[] = {{"Model A (1001)", true},
                 {"Model A (2002)", true},
                 {"MODEL a (9)", true},
                 {"model a (", true},
                 {"Model B (1001)", false},
                 {"Model A", false},
                 {"", false}};
    for (const auto& c : cases) {
        WriteIni(std::string("[port.0.0]\n$Camera=") + c.stored + "\n");
        EXPECT_EQ(set.FindSection(), c.matches ? "Port.0.0" : "") << c.stored;
    }
    CameraParameters plain(&mPort, "Cam");
    WriteIni("[Port.0.0]\n$Camera=CAM\n");
    EXPECT_EQ(plain.FindSection(), "Port.0.0");
    WriteIni("[Port.0.0]\n$Camera=Cam2\n");
    EXPECT_EQ(plain.FindSection(), "");
    // A port section that names another camera hides a section named like this one.
    WriteIni("[Port.0.0]\n$Camera=Other\n[Cam]\nWidth=1\n");
    EXPECT_EQ(plain.FindSection(), "");
}

TEST_F(ConfigurationFileTest, ASectionNamedLikeTheCameraIsReadButNeverWritten) {
    const std::string old = "[Model A (1001)]\nWidth=800\n[General]\nBufferCount=9\n";
    WriteIni(old);
    CameraParameters set(&mPort, "Model A (1001)");
    auto& width = Add<Param<int64_t>>(set, "Cat", "Width", 1280);
    EXPECT_EQ(set.FindSection(), "Model A (1001)");
    EXPECT_TRUE(set.Load(true));
    EXPECT_TRUE(set.Load(false));
    EXPECT_EQ(width.mValue, 800);
    EXPECT_EQ(Get<Param<int>>(set, "BufferCount").mValue, 9);
    ASSERT_TRUE(set.Save());
    const std::string file = Ini();
    EXPECT_EQ(file.rfind("[Model A (1001)]\nWidth=800\n[General]\nBufferCount=9\n", 0), 0u);
    EXPECT_NE(file.find("[Port.0.0]\n$Camera=Model A (1001)\nWidth=800\n"), std::string::npos);
}

TEST_F(ConfigurationFileTest, AnotherModelOnThePortLoadsNothingAndIsOverwritten) {
    WriteIni("[Port.0.0]\n$Camera=Model B (1)\nWidth=800\n[General]\nBufferCount=9\n");
    CameraParameters set(&mPort, "Model A (1001)");
    auto& width = Add<Param<int64_t>>(set, "Cat", "Width", 1280);
    EXPECT_TRUE(set.Load(true));
    EXPECT_TRUE(set.Load(false));
    EXPECT_EQ(width.mValue, 1280);
    EXPECT_EQ(Get<Param<int>>(set, "BufferCount").mValue, 5);
    ASSERT_TRUE(set.Save());
    EXPECT_EQ(Ini().rfind("[Port.0.0]\n$Camera=Model A (1001)\nWidth=1280\n[General]\n"
                          "BufferCount=5\nLogLevel=1\n",
                          0),
              0u);
}

TEST_F(ConfigurationFileTest, ValueLimitsBlanksAndMissingKeys) {
    const std::string longValue(300, 'x');
    WriteIni("[Port.0.0]\n$Camera=Cam\nLong=" + longValue + "\nPadded=   in the middle  \n" +
             "Number=  42abc\n");
    CameraParameters set(&mPort, "Cam");
    auto& text = Add<Param<std::string>>(set, "Cat", "Long", "");
    auto& padded = Add<Param<std::string>>(set, "Cat", "Padded", "");
    auto& number = Add<Param<int64_t>>(set, "Cat", "Number", 0);
    auto& untouched = Add<Param<std::string>>(set, "Cat", "Untouched", "");
    untouched.mValue = "  " + longValue;  // no key: stays exactly as it is
    EXPECT_TRUE(set.Load(false));
    EXPECT_EQ(text.mValue, std::string(255, 'x'));
    EXPECT_EQ(padded.mValue, "in the middle");
    EXPECT_EQ(number.mValue, 42);
    EXPECT_EQ(untouched.mValue, "  " + longValue);

    // A value with blanks comes back without them.
    padded.mValue = "  blanks  ";
    ASSERT_TRUE(set.Save());
    padded.mValue = "";
    EXPECT_TRUE(set.Load(false));
    EXPECT_EQ(padded.mValue, "blanks");
}

TEST_F(ConfigurationFileTest, LogIntoFileIsNeverReadOrWritten) {
    WriteIni("[Port.0.0]\n$Camera=Cam\n[General]\nLogIntoFile=1\nLogLevel=3\n");
    CameraParameters set(&mPort, "Cam");
    EXPECT_TRUE(set.Load(true));
    EXPECT_FALSE(Get<Param<bool>>(set, "LogIntoFile").mValue);
    EXPECT_EQ(Get<Param<int>>(set, "LogLevel").mValue, 3);
    ASSERT_TRUE(set.Save());
    EXPECT_EQ(IniFileStore::Read(IniPath()).GetString("General", "LogIntoFile", "?"), "1");  // kept
    WriteIni("");
    Get<Param<bool>>(set, "LogIntoFile").mValue = true;
    ASSERT_TRUE(set.Save());
    EXPECT_EQ(Ini().find("LogIntoFile"), std::string::npos);
}

TEST_F(ConfigurationFileTest, SavingNeedsAPortAndAPath) {
    TracedLog log(1);
    std::atomic<int> unassigned{-1};
    CameraParameters set(&unassigned, "Cam");
    EXPECT_FALSE(set.Save());
    CameraParameters unbound(nullptr, "Cam");
    EXPECT_FALSE(unbound.Save());
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Error: Parameter save on unassigned port",
                                                     "Error: Parameter save on unassigned port"}));
    EXPECT_FALSE(mDir.Path().empty());
    EXPECT_EQ(Ini(), "");  // nothing written

    GetDriverState().SetSystemPath(mDir.File("missing/dir").c_str());
    CameraParameters elsewhere(&mPort, "Cam");
    log.Clear();
    EXPECT_FALSE(elsewhere.Save());
    EXPECT_EQ(log.Count("Error: Parameter save failed, file " + mDir.File("missing/dir") +
                        "/Ostravelk.ini"),
              1u);
    EXPECT_TRUE(elsewhere.Load(true));
}

TEST_F(ConfigurationFileTest, SectionExistsIgnoresCaseAndTheSectionListLimit) {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += "[Section" + std::to_string(i) + "]\n";  // far more than 2056 bytes of names
    }
    WriteIni("[General]\n" + text + "[Port.0.0]\n$Camera=Cam\nWidth=7\n");
    EXPECT_TRUE(CameraParameters::SectionExists("general"));
    EXPECT_TRUE(CameraParameters::SectionExists("SECTION10"));
    EXPECT_FALSE(CameraParameters::SectionExists("Section299"));
    EXPECT_FALSE(CameraParameters::SectionExists("Port.0.0"));  // beyond the list: absent
    CameraParameters set(&mPort, "Cam");
    auto& width = Add<Param<int64_t>>(set, "Cat", "Width", 1);
    EXPECT_TRUE(set.Load(false));
    EXPECT_EQ(width.mValue, 1);
}

TEST_F(ConfigurationFileTest, IniSectionSendsDriverSettingsToGeneral) {
    IniSection section(IniPath(), "Port.0.3");
    Param<int> setting("General", "BufferCount", 9, 3, 25, 0);
    setting.mGeneral = true;
    Param<int64_t> feature("Cat", "Width", 640);
    EXPECT_EQ(section.SectionOf(setting), "General");
    EXPECT_EQ(section.SectionOf(feature), "Port.0.3");
    ASSERT_TRUE(section.WriteParameter(setting));
    ASSERT_TRUE(section.WriteParameter(feature));
    EXPECT_EQ(Ini(), "[General]\nBufferCount=9\n[Port.0.3]\nWidth=640\n");
    setting.mValue = 0;
    feature.mValue = 0;
    section.ReadParameter(setting);
    section.ReadParameter(feature);
    EXPECT_EQ(setting.mValue, 9);
    EXPECT_EQ(feature.mValue, 640);
}

TEST_F(ConfigurationFileTest, AFileThatCannotBeReadIsNeitherLoadedNorSavedOver) {
    const std::string why = WhyNotAsNobody();
    if (!why.empty()) {
        GTEST_SKIP() << "needs another user: " << why;
    }
    const std::string others =
        "; shared\n[Port.0.1]\n$Camera=Other (2)\nWidth=8\n[General]\nlogDebugView=3\n"
        "[Port.0.0]\n$Camera=Cam\nWidth=7\n";
    WriteIni(others);
    ASSERT_EQ(chmod(IniPath().c_str(), 0600), 0);    // another user's file
    ASSERT_EQ(chmod(mDir.Path().c_str(), 0777), 0);  // in a shared directory
    const int result = RunAsNobody([&] {
        TracedLog log(1);
        CameraParameters set(&mPort, "Cam");
        auto& width = Add<Param<int64_t>>(set, "Cat", "Width", 1);
        set.Load(false);
        if (width.mValue != 1 || log.Count("Error: Parameter load failed, " + IniPath() +
                                           ": cannot open: Permission denied") != 1) {
            return 2;
        }
        std::string error;
        if (set.Save(&error)) {
            return 1;
        }
        return error == "Parameter save failed: " + IniPath() +
                            ": cannot open for writing: Permission denied"
                   ? 0
                   : 3;
    });
    EXPECT_EQ(result, 0) << "1: saved over it, 2: not logged, 3: another error";
    EXPECT_EQ(Ini(), others);
}

// A save through a link someone else planted where the file goes says so in the log and leaves
// the file the link leads to alone.
TEST_F(ConfigurationFileTest, ASaveThroughAPlantedLinkIsRefusedWithALogLine) {
    const std::string why = WhyNotAsNobody();
    if (!why.empty()) {
        GTEST_SKIP() << "needs another user: " << why;
    }
    TempDir elsewhere;
    const std::string real = elsewhere.File("passwd");
    WriteFile(real, "root:x:0:0:root:/root:/bin/sh\n");
    ASSERT_EQ(symlink(real.c_str(), IniPath().c_str()), 0);
    ASSERT_EQ(lchown(IniPath().c_str(), NobodyUid(), NobodyGid()), 0);
    TracedLog log(1);
    CameraParameters set(&mPort, "Cam");
    Add<Param<int64_t>>(set, "Cat", "Width", 1);
    EXPECT_FALSE(set.Save());
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{
                  "Error: Parameter save failed, file " + IniPath(),
                  "Error: " + IniPath() + ": symbolic link " + IniPath() +
                      " not followed: its owner (uid " + std::to_string(NobodyUid()) +
                      ") is not this user (uid 0) and does not own " + real + " (uid 0)"}));
    EXPECT_EQ(ReadFile(real), "root:x:0:0:root:/root:/bin/sh\n");
}
