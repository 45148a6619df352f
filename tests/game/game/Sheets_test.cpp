// After the game's start-up cutting on the null backend, every entry the layout fills holds
// a graphic of its cell's size; so do the background sets, group by group.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "GameTypes.h"
#include "QzApi.h"
#include "QzGraphicsData.h"
#include "SpriteTables.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace Sheets_test {

namespace {

// The size of the graphic each entry ends up with: a later cell may replace an earlier
// one (the second load of bonus, tama_02's flashes).
using Sizes = std::map<std::pair<int, int>, std::pair<int, int>>;  // (table, slot) -> (w, h)

void NoteStep(const SheetStep& step, Sizes& sizes) {
    if (step.how == SheetLoad::Divide) {
        for (int n = 0; n < step.total; n++) sizes[{int(step.divTable), n}] = {step.cellW, step.cellH};
        return;
    }
    for (int c = 0; c < step.cellCount; c++) {
        const SpriteCell& cell = step.cells[c];
        sizes[{int(cell.table), GetTableSlot(cell.table, cell.row, cell.frame)}] = {cell.w, cell.h};
    }
}

// Every entry: a live graphic of its size. Ground row 40's zero-size cut is the one that
// shows nothing.
void ExpectFilled(const Sizes& sizes) {
    for (const auto& [entry, size] : sizes) {
        if (size.first == 0 || size.second == 0) continue;
        const int handle = GetTableBase(static_cast<SpriteTable>(entry.first))[entry.second];
        const GraphData* graph = static_cast<const GraphData*>(GetHandleRecord(GetGraphTable(), handle));
        ASSERT_NE(graph, nullptr) << "table " << entry.first << " slot " << entry.second << " handle " << handle;
        EXPECT_EQ(graph->width, size.first) << "table " << entry.first << " slot " << entry.second;
        EXPECT_EQ(graph->height, size.second) << "table " << entry.first << " slot " << entry.second;
    }
}

TEST(Sheets, EveryCellOfTheLayoutIsAGraphicAfterStartUp) {
    qztest::TempDir dir;
    std::filesystem::create_directory_symlink(QZ_DATA_DIR, "data");
    ptest::SetWindowLockFolder(dir.path());
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    ApiSetScreenMode(640, 480, 32, 60);
    CutStartupSheets();
    Sizes startup;
    for (int i = 0; i < kStartupStepCount; i++) NoteStep(kStartupSteps[i], startup);
    ExpectFilled(startup);
    for (int group = 1; group <= 3; group++) {
        LoadBackgroundSet(group == 1 ? 1 : group == 2 ? 4 : 7);
        Sizes background;
        for (int i = kBackgroundGroupFirst[group - 1]; i < kBackgroundGroupFirst[group]; i++)
            NoteStep(kBackgroundSteps[i], background);
        SCOPED_TRACE("background group " + std::to_string(group));
        ExpectFilled(background);
    }
    LoadBackgroundSet(0);
    ApiDeleteAllGraphs(0);
    ApiTerminateLibrary();
}

}  // namespace

}  // namespace Sheets_test
