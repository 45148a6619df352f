// The game in a real window (SDL, under Xvfb in CI): the title, then stage 1 past its
// shutters. What the machine shows right after a present equals the frame presented.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "GameRun.h"

namespace WindowRun_test {

namespace WindowRun_test {

namespace {

TEST(WindowRun, ShowsTheTitleAndTheStageAsPresented) {
    const std::string folder = std::filesystem::absolute("window-run").string();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder + "/frames");
    gamerun::Script s;
    s.Press(150, gamerun::kZ);  // START
    s.Press(154, gamerun::kZ);  // NORMAL: stage 1 from present 156
    s.Down(156 + 200, gamerun::kZ);
    s.Hold(156 + 180, 156 + 220, gamerun::kLeft);
    s.Down(156 + 240, gamerun::kEsc);
    const struct {
        const char* name;
        int present;
    } shots[] = {{"title", 140}, {"play", 156 + 230}};
    std::string list = "QZ_SCREENSHOT=";
    for (const auto& shot : shots) list += std::to_string(shot.present) + ":" + folder + "/" + shot.name + ".png,";
    list.pop_back();
    const gamerun::Run run{QZ_ZARNOVIK, folder, QZ_DATA_DIR, s,
                           {"QZ_BACKEND=sdl", "QZ_CAPTURE=" + folder + "/frames", list}};
    ASSERT_EQ(gamerun::RunAll({run}), std::vector<int>{0});
    EXPECT_TRUE(gamerun::LogEndsWithEmptyDump(folder));
    for (const auto& shot : shots) {
        char frame[40];
        std::snprintf(frame, sizeof frame, "/frames/frame-%06d.png", shot.present);
        const gamerun::Image shown = gamerun::ReadImage(folder + "/" + shot.name + ".png");
        const gamerun::Image presented = gamerun::ReadImage(folder + frame);
        ASSERT_EQ(shown.width, 640) << shot.name;
        ASSERT_EQ(shown.height, 480) << shot.name;
        EXPECT_TRUE(shown.pixels == presented.pixels) << shot.name << " differs from" << frame;
        int lit = 0;
        for (uint32_t pixel : shown.pixels) lit += pixel != 0;
        EXPECT_GT(lit, 640 * 480 / 4) << shot.name << " is mostly black";
    }
}

}  // namespace

}  // namespace WindowRun_test

}  // namespace WindowRun_test
