#include <gtest/gtest.h>

#include <sys/stat.h>

#include <clocale>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "ini/IniFileStore.h"

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

TEST(IniFile, AByteOrderMarkIsNoPartOfTheFirstSectionAndIsKept) {
    const std::string bom = "\xEF\xBB\xBF";
    IniFile file = IniFile::FromText(bom + "[Port.0.0]\n$Camera=Cam\nWidth=1\n");
    EXPECT_EQ(file.GetSectionNames(), std::vector<std::string>{"Port.0.0"});
    EXPECT_EQ(file.GetString("Port.0.0", "Width", ""), "1");
    file.SetString("Port.0.0", "Width", "2");
    EXPECT_EQ(file.ToText(), bom + "[Port.0.0]\n$Camera=Cam\nWidth=2\n");
    // A mark elsewhere is text like any other.
    EXPECT_EQ(IniFile::FromText("[A]\n" + bom + "k=v\n").GetString("A", "k", "none"), "none");
}

TEST(IniFile, EveryLineKeepsItsLineEndAndNewLinesTakeTheFilesOwn) {
    for (const std::string text :
         {"", "\n", "[A]", "[A]\r\nk=v\r\n", "[A]\nk=v\r\n\r\n;c\n", "k=v\r", "[A]\r\nk=v"}) {
        EXPECT_EQ(IniFile::FromText(text).ToText(), text) << "unchanged text comes back as it was";
    }
    IniFile file = IniFile::FromText("[A]\r\nx=1\r\n\r\n[B]\r\ny=2");
    file.SetString("A", "x", "5");
    file.SetString("A", "new", "1");
    file.SetString("B", "z", "3");
    file.SetString("C", "k", "v");
    EXPECT_EQ(file.ToText(), "[A]\r\nx=5\r\nnew=1\r\n\r\n[B]\r\ny=2\r\nz=3\r\n[C]\r\nk=v\r\n");
    IniFile plain = IniFile::FromText("[A]\nx=1");
    plain.SetString("B", "k", "v");
    EXPECT_EQ(plain.ToText(), "[A]\nx=1\n[B]\nk=v\n");
}

TEST(IniFile, OnlyClosedHeadersStartASection) {
    IniFile file = IniFile::FromText(
        "[Port.0.0]\nWidth=1\n[Port.0.1\nWidth=2\nHeight=3\n[ Spaced ]  \nk=v\n[x] ; note\nk=w\n");
    EXPECT_EQ(file.GetSectionNames(), (std::vector<std::string>{"Port.0.0", "Spaced", "x"}));
    EXPECT_FALSE(file.SectionExists("Port.0.1"));
    EXPECT_EQ(file.GetString("Port.0.0", "Height", ""), "3") << "the broken line ends nothing";
    EXPECT_EQ(file.GetString("x", "k", ""), "w");
    file.SetString("Port.0.1", "Width", "9");
    EXPECT_EQ(file.GetString("Port.0.0", "Width", ""), "1");
    EXPECT_EQ(file.ToText().substr(file.ToText().size() - 19), "[Port.0.1]\nWidth=9\n");
}

TEST(IniFile, NamesFoldOnlyAsciiLettersWhateverTheLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "tr_TR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no Turkish locale installed (scripts/setup generates tr_TR.UTF-8)";
    }
    IniFile file = IniFile::FromText("[PORT.0.0]\nWidth=1\n");
    const std::string width = file.GetString("Port.0.0", "WIDTH", "none");
    file.SetString("port.0.0", "WIDTH", "2");
    const std::string text = file.ToText();
    const bool sameSection = IniFile::FromText("[I]\n").SectionExists("i");
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(width, "1");
    EXPECT_EQ(text, "[PORT.0.0]\nWIDTH=2\n") << "the key is replaced, not appended";
    EXPECT_TRUE(sameSection);
    // Bytes beyond ASCII stay as they are: "Ä" does not match "ä".
    EXPECT_FALSE(IniFile::FromText("[\xC3\x84]\n").SectionExists("\xC3\xA4"));
}

TEST(IniFile, LongNamesMatchIgnoringCaseToTheirLastByte) {
    const std::string section = "Port.0.0.With.A.Name.Longer.Than.Short.Strings";
    IniFile file = IniFile::FromText("[" + section + "]\nAcquisitionFrameRateEnable=1\n" +
                                     "AcquisitionFrameRateEnablf=2\n[ACQUISITION]\nx=3\n");
    EXPECT_EQ(file.GetString("PORT.0.0.WITH.A.NAME.LONGER.THAN.SHORT.STRINGS",
                             "acquisitionframerateenable", ""),
              "1");
    EXPECT_EQ(file.GetString(section, "ACQUISITIONFRAMERATEENABLF", ""), "2");
    EXPECT_EQ(file.GetString(section, "AcquisitionFrameRateEnabl", "none"), "none");
    EXPECT_EQ(file.GetString(section + "s", "AcquisitionFrameRateEnable", "none"), "none");
    EXPECT_EQ(file.GetString("acquisition", "X", ""), "3");
    file.SetString(section, "ACQUISITIONFRAMERATEENABLE", "0");
    file.SetString("Port.0.0.with.a.name.longer.than.short.strings.too", "Key", "4");
    EXPECT_EQ(file.ToText(), "[" + section + "]\nACQUISITIONFRAMERATEENABLE=0\n" +
                                 "AcquisitionFrameRateEnablf=2\n[ACQUISITION]\nx=3\n" +
                                 "[Port.0.0.with.a.name.longer.than.short.strings.too]\nKey=4\n");
    EXPECT_EQ(file.GetString(section, "acquisitionFrameRateEnable", ""), "0");
    EXPECT_EQ(file.GetString("ACQUISITION", "x", ""), "3") << "sections read after one is added";
}

TEST(IniFile, LongLinesAndManyLinesReadAsSmallOnes) {
    std::string text = "[S]\n";
    for (int i = 0; i < 20000; ++i) {
        text += "junk" + std::to_string(i) + "\n";
    }
    text += "Long=" + std::string(1 << 20, 'v') + "\n[T]\nk=v\n";
    IniFile file = IniFile::FromText(text);
    EXPECT_EQ(file.GetString("S", "Long", ""), std::string(255, 'v'));
    EXPECT_EQ(file.GetString("T", "k", ""), "v");
    file.SetString("S", "Added", "1");
    EXPECT_EQ(IniFile::FromText(file.ToText()).GetString("S", "Added", ""), "1");
    EXPECT_EQ(file.ToText().size(), text.size() + 8);
}

TEST(IniFile, FileRoundTripIsAtomicAndKeepsOtherLines) {
    TempDir dir;
    std::string path = dir.File("Ostravelk.ini");
    EXPECT_EQ(IniFileStore::GetProfileString(path, "General", "logDebugView", "1"), "1");
    ASSERT_TRUE(IniFileStore::WriteProfileString(path, "Port.0.0", "$Camera", "Model A (1001)"));
    ASSERT_TRUE(IniFileStore::WriteProfileString(path, "Port.0.0", "Width", "1280"));
    ASSERT_TRUE(IniFileStore::WriteProfileString(path, "General", "LogLevel", "1"));
    EXPECT_EQ(ReadFile(path),
              "[Port.0.0]\n$Camera=Model A (1001)\nWidth=1280\n[General]\nLogLevel=1\n");
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
