#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QColor>
#include <QImage>
#include <cstdio>
#include <string>

#include "TestSupport.h"

// The sample host's live view, started offscreen as a user starts it: it shows a few frames of
// the colour camera, saves its window into the build tree and closes.
namespace {

struct HostRun {
    int status = -1;
    std::string output;
};

HostRun RunHost(const std::string& arguments) {
    HostRun run;
    const std::string command = std::string("'") + OSTRAVELK_HOST + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(ViewCommand, ShowsLiveColourFramesAndSavesTheWindow) {
    SimCameras sim;
    const std::string screenshot = OSTRAVELK_BINARY_DIR "/view-screenshot.png";
    std::remove(screenshot.c_str());
    const HostRun run = RunHost("--dir '" + sim.HostDir() + "' view '" + SimCameras::kUsb +
                                "' --frames 4 --screenshot '" + screenshot + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(", 4 shown, "), std::string::npos) << run.output;

    const QImage shot(QString::fromStdString(screenshot));
    ASSERT_FALSE(shot.isNull()) << screenshot;
    // The colour bars arrive in colour and in the right channel order: some pixels are red.
    int red = 0, blue = 0;
    long redX = 0, blueX = 0;
    for (int y = 0; y < shot.height(); y += 4) {
        for (int x = 0; x < shot.width(); x += 4) {
            const QColor c = shot.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60) ++red, redX += x;
            if (c.blue() > 200 && c.red() < 60 && c.green() < 60) ++blue, blueX += x;
        }
    }
    ASSERT_GT(red, 100);
    ASSERT_GT(blue, 100);
    EXPECT_LT(redX / red, blueX / blue) << "the red bar is left of the blue one";
}

TEST(ViewCommand, RefusesACameraThatIsNotThere) {
    SimCameras sim;
    const HostRun run = RunHost("--dir '" + sim.HostDir() + "' view 'nobody (0)' --frames 1");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("cannot open camera \"nobody (0)\""), std::string::npos)
        << run.output;
}

}  // namespace
