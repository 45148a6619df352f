// FrontEnd.cpp: the menus and the result screens.
//
// Menu input is edge-triggered: button 1 and the four directions act on the frame they are
// first seen held, then not again until released (start-up primes the latches, so a
// button held through loading does nothing). STAGE SELECT's four value rows change on
// every frame left or right is held.
#include "FrontEnd.h"

#include "GameLoop.h"
#include "GameTypes.h"
#include "Player.h"
#include "SaveFiles.h"
#include "SoundSetup.h"
#include "SpriteTables.h"
#include "StageDrawing.h"
#include "QzApi.h"

namespace {

enum Latch { kLatchButton1, kLatchUp, kLatchDown, kLatchLeft, kLatchRight };
constexpr int32_t kLatchBits[5] = {kPadButton1, kPadUp, kPadDown, kPadLeft, kPadRight};

// True on the frame a latched input is first seen held.
bool Pressed(Latch which) {
    if (!(GameState.pad & kLatchBits[which]) || GameState.latch[which]) return false;
    GameState.latch[which] = 1;
    return true;
}
bool Held(Latch which) { return GameState.pad & kLatchBits[which]; }

void PlaySound(int effect) { ApiPlaySoundHandle(GameSoundHandles[effect], 1, 1); }
void PlaySoundIfOn(int effect) {
    if (GameState.soundMode != 0) PlaySound(effect);
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : value > high ? high : value; }

bool IndexesTables() {
    return GameState.mode >= 0 && GameState.mode < 2 && GameState.level >= 0 && GameState.level < 5;
}

struct Menu {
    int cur = 0;
    int s = 0;  // STAGE SELECT's stage, 0-based
};

// Returns true when a game is to start; quit set when END was chosen.
bool HandleTitle(Menu& m, bool& quit) {
    if (Pressed(kLatchUp)) {
        m.cur = (m.cur + 3) % 4;
        PlaySoundIfOn(kSoundHit);
    }
    if (Pressed(kLatchDown)) {
        m.cur = (m.cur + 1) % 4;
        PlaySoundIfOn(kSoundHit);
    }
    // Both tests run, so that each latch is taken when its input acts.
    const bool left = Pressed(kLatchLeft), right = Pressed(kLatchRight);
    if (left || right) {
        GameState.mode = GameState.mode == 0 ? 1 : 0;
        PlaySound(kSoundHit);
    }
    if (!Pressed(kLatchButton1)) return false;
    PlaySoundIfOn(kSoundCursol);
    if (m.cur == 3) {
        quit = true;
        return false;
    }
    GameState.stage = 1;
    GameState.playMode = m.cur;  // START 0, REPLAY 1, STAGE SELECT 2
    GameState.menuState = 1;
    m.cur = 1;
    return false;
}

bool HandleLevelSelection(Menu& m) {
    const int k = UnlockTable[Clamp(GameState.mode, 0, 1)][3] >= 8 ? 5 : 4;
    if (Pressed(kLatchUp)) {
        m.cur = (m.cur + k - 1) % k;
        PlaySoundIfOn(kSoundHit);
    }
    if (Pressed(kLatchDown)) {
        m.cur = (m.cur + 1) % k;
        PlaySoundIfOn(kSoundHit);
    }
    GameState.level = m.cur;
    if (!Pressed(kLatchButton1)) return false;
    PlaySoundIfOn(kSoundCursol);
    GameState.stage = 1;
    if (GameState.playMode == 2) {
        GameState.menuState = 2;
        m.cur = 0;
        return false;
    }
    if (GameState.playMode == 1) LoadReplay();
    return true;
}

bool HandleStageSelect(Menu& m) {
    const int e = Clamp(IndexesTables() ? UnlockTable[GameState.mode][GameState.level] : 0, 1, 7);
    // The stage index outlives a visit to another level: one chosen where more stages are
    // open must not be practised (and its clear unlock later stages) where it is locked.
    if (m.s >= e) m.s = e - 1;
    if (Pressed(kLatchUp)) {
        m.cur = (m.cur + 5) % 6;
        PlaySound(kSoundHit);
    }
    if (Pressed(kLatchDown)) {
        m.cur = (m.cur + 1) % 6;
        PlaySound(kSoundHit);
    }
    if (m.cur == 0) {
        const bool left = Pressed(kLatchLeft), right = Pressed(kLatchRight);
        if (left) m.s = (m.s + e - 1) % e;
        if (right) m.s = (m.s + 1) % e;
        if (left || right) PlaySound(kSoundHit);
    } else if (m.cur <= 4) {
        static constexpr int32_t GameStateRecord::* kValues[4] = {
            &GameStateRecord::practiceRank, &GameStateRecord::practiceShot, &GameStateRecord::practiceNapalm,
            &GameStateRecord::practiceShield};
        static constexpr int32_t kLow[4] = {0, 1, 1, 0}, kHigh[4] = {100, 6, 6, 2};
        const int row = m.cur - 1;
        int32_t& value = GameState.*kValues[row];
        if (Held(kLatchLeft)) value = Clamp(value - 1, kLow[row], kHigh[row]);
        if (Held(kLatchRight)) value = Clamp(value + 1, kLow[row], kHigh[row]);
    }
    if (!Pressed(kLatchButton1)) return false;
    PlaySoundIfOn(kSoundCursol);
    if (m.cur == 5) {
        GameState.menuState = 0;
        m.cur = 0;
        return false;
    }
    GameState.stage = m.s + 1;
    GameState.playMode = 2;
    return true;
}

void DrawCursor(int x, int y) { DrawFontText(x, y, ">"); }

void DrawTitle(const Menu& m, bool images) {
    if (images) {
        ApiDrawPlainGraph(0, 63, TitleImage, 1);
        ApiDrawPlainGraph(127, 252, MenuFrameImages[1], 1);
        ApiDrawPlainGraph(127, 307, MenuFrameImages[0], 1);
    }
    DrawFontText(172, 268, "ORIGINAL");
    DrawFontText(349, 268, "REMIX");
    DrawFontText(172, 323, "START");
    DrawFontText(172, 355, "REPLAY");
    DrawFontText(172, 387, "STAGE SELECT");
    DrawFontText(172, 419, "END");
    DrawCursor(156 + 177 * GameState.mode, 268);
    DrawCursor(156, 323 + 32 * m.cur);
}

void DrawLevelSelection(const Menu& m) {
    static const char* const kLevels[4] = {"EASY", "NORMAL", "HARD", "INSANE"};
    const int mode = Clamp(GameState.mode, 0, 1);
    const bool scores = GameState.playMode != 2;
    DrawFontText(156, 64, "LEVEL SELECTION");
    for (int i = 0; i < 4; i++) {
        DrawFontText(172, 128 + 64 * i, kLevels[i]);
        if (!scores) continue;
        DrawFontText(188, 144 + 64 * i, "HI-SCORE");
        DrawFontNumber(188, 160 + 64 * i, HiScoreTable[mode][i], 10);
    }
    if (UnlockTable[mode][3] >= 8) {
        DrawFont2Text(172, 384, "SHOOTING GOD");
        if (scores) {
            DrawFontText(188, 400, "HI-SCORE");
            DrawFontNumber(188, 416, HiScoreTable[mode][4], 10);
        }
    }
    DrawCursor(156, 128 + 64 * m.cur);
}

void DrawStageSelect(const Menu& m) {
    static const char* const kRows[6] = {"STAGE", "RANK", "SHOT POWER", "NAPALM POWER", "SHIELD", "RETURN"};
    for (int i = 0; i < 6; i++) DrawFontText(172, 176 + 16 * i, kRows[i]);
    const int32_t values[5] = {m.s + 1, GameState.practiceRank, GameState.practiceShot, GameState.practiceNapalm,
                               GameState.practiceShield};
    for (int i = 0; i < 5; i++) DrawFontNumber(240, 176 + 16 * i, values[i], 10);
    DrawCursor(164, 176 + 16 * m.cur);
}

void DrawScores(const char* closing) {
    const int mode = Clamp(GameState.mode, 0, 1), level = Clamp(GameState.level, 0, 4);
    DrawFontText(180, 0, "HI-SCORE");
    DrawFontNumber(288, 0, HiScoreTable[mode][level], 10);
    DrawFontText(180, 144, "SCORE");
    DrawFontNumber(288, 144, GameState.score, 10);
    DrawFontText(260, 288, closing);
}

bool SkipAsked() { return ApiGetKeyPressFlag(kKeyEscape) || ApiGetKeyPressFlag(kKeySpace); }

}  // namespace

void PrimeMenuLatches() {
    GameState.pad = ReadMenuInput();
    for (int i = 0; i < 5; i++) GameState.latch[i] = (GameState.pad & kLatchBits[i]) ? 1 : 0;
}

void RunFrontEnd() {
    GameState.result = 0;
    GameState.stageEnd = 0;
    SwitchMusic(0);
    LoadBackgroundSet(0);
    Menu m;
    for (;;) {
        GameState.pad = ReadMenuInput();
        for (int i = 0; i < 5; i++)
            if (!(GameState.pad & kLatchBits[i])) GameState.latch[i] = 0;

        const int screen = GameState.menuState;
        bool started = false, quit = false;
        if (screen == 0)
            started = HandleTitle(m, quit);
        else if (screen == 1)
            started = HandleLevelSelection(m);
        else if (screen == 2)
            started = HandleStageSelect(m);
        if (quit) break;

        if (screen == 0)
            DrawTitle(m, GameState.menuState == 0);
        else if (screen == 1)
            DrawLevelSelection(m);
        else if (screen == 2)
            DrawStageSelect(m);

        if (EndFrame() < 0) return;
        if (QuitAsked()) break;
        // Space puts back the title's values; a game confirmed on this frame still starts,
        // then as a normal game of stage 1.
        if (ApiGetKeyPressFlag(kKeySpace)) {
            GameState.stage = 1;
            GameState.playMode = 0;
            GameState.menuState = 0;
            m.cur = 0;
        }
        GameState.stageFrame = 0;
        GameState.scrolled = 0;
        GameState.scrollFrac = 0;
        GameState.bossLife = 10;
        if (started) return;
    }
    GameState.stageEnd = 1;
    GameState.quit = 1;
    GameState.stage = 0;
}

int ShowGameOver() {
    int result = 0;
    for (int frame = 0; frame < 200; frame++) {
        DrawScores("GAME OVER");
        result = EndFrame();
        if (result < 0) break;
    }
    return result;
}

void ShowEnding() {
    SwitchMusic(4);
    LoadBackgroundSet(0);
    int frame = 0;
    for (; frame < 1400; frame++) {
        if (frame < 200) {
            DrawFontText(245, 219, "COMPLETED!");
        } else {
            // The roll: an offset from 499 down by 1 a frame; the last line stops at the centre.
            const int o = 699 - frame;
            if (o > -10 && o < 500) DrawSpriteCentred(320, o, 1.5, 0, CreditsImages[0]);
            static const int kLines[6][2] = {{60, 1}, {180, 2}, {240, 3}, {360, 4}, {420, 5}, {480, 3}};
            for (const auto& line : kLines) {
                const int y = o + line[0];
                if (y > -10 && y < 500) DrawSpriteCentred(320, y, 1.5, 0, CreditsImages[line[1]]);
            }
            const int last = o + 600;
            if (last < 500) DrawSpriteCentred(320, last > 240 ? last : 240, 1.5, 0, CreditsImages[6]);
        }
        if (EndFrame() < 0) return;
        if (SkipAsked()) {
            frame++;
            break;
        }
    }
    for (; frame < 1800; frame++) {
        DrawScores("THE END");
        if (EndFrame() < 0) return;
    }
}
