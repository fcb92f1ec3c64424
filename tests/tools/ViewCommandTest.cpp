#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>

#include "HostRun.h"
#include "TestSupport.h"

// The sample host's live view, started offscreen as a user starts it: it shows a few frames of
// the colour camera, saves its window into the build tree and closes.
namespace {

TEST(ViewCommand, ShowsLiveColourFramesAndSavesTheWindow) {
    SimCameras sim;
    const std::string screenshot = OSTRAVELK_BINARY_DIR "/view-screenshot.png";
    std::remove(screenshot.c_str());
    const HostResult run =
        RunHost("--dir " + Quoted(sim.HostDir()) + " view " + Quoted(SimCameras::kUsb) +
                " --frames 6 --screenshot " + Quoted(screenshot));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(", 6 shown, "), std::string::npos) << run.out;
    // The rate of the frames seen, not of a one-second count that has not ended yet.
    std::smatch rate;
    ASSERT_TRUE(std::regex_search(run.out, rate, std::regex(", ([0-9.]+) frames/s"))) << run.out;
    EXPECT_GT(std::stod(rate[1]), 1.0) << run.out;

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
    const HostResult run =
        RunHost("--dir " + Quoted(sim.HostDir()) + " view 'nobody (0)' --frames 1");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("no camera matches \"nobody (0)\""), std::string::npos) << run.err;
}

TEST(ViewCommand, ShowsTheCameraGoingAndComingBack) {
    SimCameras sim;
    // Unplugged after a second, back two and a half seconds later; the driver reopens it within
    // its next reconnect rounds (every 5 s), before the view closes even in a loaded sanitizer
    // build.
    std::thread cable([&sim] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        sim.Unplug("22000002");
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        sim.Plug("22000002");
    });
    const HostResult run = RunHost("--dir " + Quoted(sim.HostDir()) + " view " +
                                   Quoted(SimCameras::kUsb) + " --seconds 20");
    cable.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(", camera removed 1 time(s) and back"), std::string::npos) << run.out;
}

}  // namespace
