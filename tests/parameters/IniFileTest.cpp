#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "parameters/IniFileStore.h"

TEST(IniFile, ReadsWithPrivateProfileRules) {
    IniFile file = IniFile::FromText(
        "; comment\n"
        "orphan=1\n"
        "[Port.0.0]\r\n"
        "  Width =  1280  \r\n"
        "Name=  a b  \n"
        "NoEquals\n"
        "[ General ]\n"
        "LogLevel=3\n"
        "[port.0.0]\n"
        "Width=9\n");
    EXPECT_EQ(file.GetString("PORT.0.0", "width", "x"), "1280");
    EXPECT_EQ(file.GetString("Port.0.0", "Name", "x"), "a b");
    EXPECT_EQ(file.GetString("Port.0.0", "NoEquals", "dflt"), "dflt");
    EXPECT_EQ(file.GetString("General", "LOGLEVEL", "1"), "3");
    EXPECT_EQ(file.GetString("General", "orphan", "none"), "none");
    EXPECT_EQ(file.GetString("Missing", "Width", "  d  "), "d");
    EXPECT_EQ(file.GetSectionNames(),
              (std::vector<std::string>{"Port.0.0", "General", "port.0.0"}));
    EXPECT_TRUE(file.SectionExists("general"));
    EXPECT_FALSE(file.SectionExists("Port.0.1"));
}

TEST(IniFile, ValuesAreCutToTheBuffer) {
    IniFile file = IniFile::FromText("[S]\nlong=" + std::string(300, 'v') + "\n");
    EXPECT_EQ(file.GetString("S", "long", ""), std::string(255, 'v'));
    EXPECT_EQ(file.GetString("S", "long", "", 128), std::string(127, 'v'));
}

TEST(IniFile, SectionNamesBeyondTheBufferCountAsAbsent) {
    std::string text;
    // 10 names of 199 characters take 2000 bytes with their terminators; the 11th doesn't fit.
    for (int i = 0; i < 11; ++i) {
        text += "[" + std::string(198, 'a' + i) + std::to_string(i % 10) + "]\nk=v\n";
    }
    IniFile file = IniFile::FromText(text);
    std::vector<std::string> names = file.GetSectionNames();
    ASSERT_EQ(names.size(), 10u);
    EXPECT_FALSE(file.SectionExists(std::string(198, 'a' + 10) + "0"));
    EXPECT_TRUE(file.SectionExists(std::string(198, 'a' + 9) + "9"));
}

TEST(IniFile, WritesInPlaceAppendsKeysAndSections) {
    IniFile file = IniFile::FromText(
        "; keep me\n"
        "[Port.0.0]\n"
        "$Camera=Model A (1001)\n"
        "Width=1280\n"
        "\n"
        "[General]\n"
        "LogLevel=1\n");
    file.SetString("port.0.0", "WIDTH", "640");
    file.SetString("Port.0.0", "Height", "480");
    file.SetString("General", "UseBGR", "1");
    file.SetString("Port.0.3", "$Camera", "Model B (2)");
    file.SetString("General", "Evil", "line\ninjected=1");
    EXPECT_EQ(file.ToText(),
              "; keep me\n"
              "[Port.0.0]\n"
              "$Camera=Model A (1001)\n"
              "WIDTH=640\n"
              "Height=480\n"
              "\n"
              "[General]\n"
              "LogLevel=1\n"
              "UseBGR=1\n"
              "Evil=line\n"
              "[Port.0.3]\n"
              "$Camera=Model B (2)\n");
}

TEST(IniFile, FileRoundTripIsAtomicAndKeepsOtherLines) {
    TempDir dir;
    std::string path = dir.File("Ostravelk.ini");
    EXPECT_EQ(IniFileStore::GetProfileString(path, "General", "logDebugView", "1"), "1");
    ASSERT_TRUE(IniFileStore::WriteProfileString(path, "Port.0.0", "$Camera", "Model A (1001)"));
    ASSERT_TRUE(IniFileStore::WriteProfileString(path, "Port.0.0", "Width", "1280"));
    ASSERT_TRUE(IniFileStore::WriteProfileString(path, "General", "LogLevel", "1"));
    EXPECT_EQ(ReadFile(path), "[Port.0.0]\n$Camera=Model A (1001)\nWidth=1280\n[General]\nLogLevel=1\n");
    EXPECT_EQ(IniFileStore::GetProfileString(path, "port.0.0", "width", ""), "1280");

    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & 0044, 0u) << "a saved file stays readable like one made by hand";
    // No temporary files are left behind.
    WriteFile(dir.File("probe"), "");
    EXPECT_FALSE(IniFileStore::WriteProfileString(dir.File("missing/dir.ini"), "S", "k", "v"));
}

TEST(IniFile, ConcurrentWritersLoseNothing) {
    TempDir dir;
    std::string path = dir.File("Ostravelk.ini");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &path] {
            for (int i = 0; i < 25; ++i) {
                IniFileStore::WriteProfileString(path, "Port.0." + std::to_string(t),
                                            "Key" + std::to_string(i), std::to_string(i));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    IniFile file = IniFileStore::Read(path);
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 25; ++i) {
            ASSERT_EQ(file.GetString("Port.0." + std::to_string(t), "Key" + std::to_string(i), ""),
                      std::to_string(i));
        }
    }
}
