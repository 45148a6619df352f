// SpriteLayout.cpp: the cells of every sheet, in the order the start-up cuts them.
#include "SpriteLayout.h"

namespace {

using T = SpriteTable;

// Side panel, the two title-menu frames, and the one boss cell too large for the boss sheets.
const SpriteCell kWakuCells[] = {
    {0, 0, 160, 480, T::PanelImage, 0, 0},                  // side panel
    {160, 0, 384, 140, T::MenuFrameImages, 0, 0},           // START .. END frame
    {160, 437, 384, 43, T::MenuFrameImages, 0, 1},          // ORIGINAL / REMIX frame
    {160, 160, 248, 196, T::GroundEnemySprites, 41, 0},     // stage 7 boss half
};

const SpriteCell kJikiCells[] = {
    {0, 0, 69, 48, T::PlayerSprites, 0, 0},                 // ship
    {69, 0, 58, 58, T::PlayerSprites, 0, 1},                // rotor
    {127, 0, 58, 58, T::PlayerSprites, 0, 2},               // rotor, second blade phase
    {185, 0, 64, 64, T::PlayerSprites, 0, 3},               // shield
    {249, 0, 64, 64, T::PlayerSprites, 0, 4},               // shield, second phase
};

// The second load of bonus: larger items over cells of the division, wrecks and pop-ups.
const SpriteCell kBonusCells[] = {
    {0, 32, 32, 32, T::ItemSprites, 0, 4},                  // large inert item
    {32, 32, 33, 29, T::ItemSprites, 0, 5},                 // bonus medal
    {65, 32, 33, 29, T::ItemSprites, 0, 6},                 // bonus medal, turned
    {98, 32, 33, 29, T::ItemSprites, 0, 7},                 // bonus medal, edge
    {131, 32, 42, 17, T::LabelSprites, 0, 0},               // "10000"
    {173, 32, 44, 17, T::LabelSprites, 0, 1},               // "20000"
    {0, 64, 53, 18, T::LabelSprites, 0, 39},                // "SHOT UP"
    {53, 64, 53, 18, T::LabelSprites, 0, 40},               // "SHOT MAX"
    {106, 64, 53, 18, T::LabelSprites, 0, 41},              // "NAPALM UP"
    {159, 64, 53, 18, T::LabelSprites, 0, 42},              // "NAPALM MAX"
    {212, 64, 53, 18, T::LabelSprites, 0, 43},              // "SHIELD 1"
    {265, 64, 53, 18, T::LabelSprites, 0, 44},              // "SHIELD 2"
    {0, 82, 46, 48, T::WreckSprites, 0, 0},                 // small wreck
    {46, 82, 46, 48, T::WreckSprites, 0, 1},
    {92, 82, 46, 48, T::WreckSprites, 0, 2},
    {46, 82, 46, 48, T::WreckSprites, 0, 3},
    {0, 130, 92, 95, T::WreckSprites, 1, 0},                // large wreck
    {92, 130, 92, 95, T::WreckSprites, 1, 1},
    {184, 130, 92, 95, T::WreckSprites, 1, 2},
    {92, 130, 92, 95, T::WreckSprites, 1, 3},
};

// Pop-up strips, the boss-timer label, big digits, tally headings and the explosions.
const SpriteCell kBakuCells[] = {
    {0, 0, 95, 14, T::LabelSprites, 0, 2},                  // "SHIELD MAX" pair, as strips 4 and 5
    {0, 15, 95, 14, T::LabelSprites, 0, 3},
    {0, 0, 95, 14, T::LabelSprites, 0, 4},                  // "SHIELD MAX" strip, 20 phases
    {0, 15, 95, 14, T::LabelSprites, 0, 5},
    {0, 30, 95, 14, T::LabelSprites, 0, 6},
    {0, 45, 95, 14, T::LabelSprites, 0, 7},
    {0, 60, 95, 14, T::LabelSprites, 0, 8},
    {0, 75, 95, 14, T::LabelSprites, 0, 9},
    {0, 90, 95, 14, T::LabelSprites, 0, 10},
    {0, 105, 95, 14, T::LabelSprites, 0, 11},
    {0, 120, 95, 14, T::LabelSprites, 0, 12},
    {0, 135, 95, 14, T::LabelSprites, 0, 13},
    {0, 150, 95, 14, T::LabelSprites, 0, 14},
    {0, 165, 95, 14, T::LabelSprites, 0, 15},
    {0, 180, 95, 14, T::LabelSprites, 0, 16},
    {0, 195, 95, 14, T::LabelSprites, 0, 17},
    {0, 210, 95, 14, T::LabelSprites, 0, 18},
    {0, 225, 95, 14, T::LabelSprites, 0, 19},
    {0, 240, 95, 14, T::LabelSprites, 0, 20},
    {0, 255, 95, 14, T::LabelSprites, 0, 21},
    {0, 270, 95, 14, T::LabelSprites, 0, 22},
    {0, 285, 95, 14, T::LabelSprites, 0, 23},
    {100, 0, 38, 10, T::LabelSprites, 0, 24},               // "TIME" of the boss timer
    {100, 16, 20, 18, T::LabelSprites, 0, 25},              // big digits 0-9
    {120, 16, 20, 18, T::LabelSprites, 0, 26},
    {140, 16, 20, 18, T::LabelSprites, 0, 27},
    {160, 16, 20, 18, T::LabelSprites, 0, 28},
    {180, 16, 20, 18, T::LabelSprites, 0, 29},
    {200, 16, 20, 18, T::LabelSprites, 0, 30},
    {220, 16, 20, 18, T::LabelSprites, 0, 31},
    {240, 16, 20, 18, T::LabelSprites, 0, 32},
    {260, 16, 20, 18, T::LabelSprites, 0, 33},
    {280, 16, 20, 18, T::LabelSprites, 0, 34},
    {100, 40, 230, 54, T::LabelSprites, 0, 35},             // "TIME BONUS"
    {100, 96, 230, 54, T::LabelSprites, 0, 36},             // "ITEM BONUS"
    {100, 152, 230, 54, T::LabelSprites, 0, 37},            // "SHIELD BONUS"
    {100, 208, 230, 54, T::LabelSprites, 0, 38},            // "LIFE BONUS"
    {0, 300, 60, 60, T::EffectSprites, 0, 0},               // large blast
    {60, 300, 60, 60, T::EffectSprites, 0, 1},
    {120, 300, 60, 60, T::EffectSprites, 0, 2},
    {180, 300, 60, 60, T::EffectSprites, 0, 3},
    {240, 300, 60, 60, T::EffectSprites, 0, 4},
    {300, 300, 60, 60, T::EffectSprites, 0, 5},
    {0, 360, 40, 40, T::EffectSprites, 1, 0},               // medium blast
    {40, 360, 40, 40, T::EffectSprites, 1, 1},
    {80, 360, 40, 40, T::EffectSprites, 1, 2},
    {120, 360, 40, 40, T::EffectSprites, 1, 3},
    {160, 360, 40, 40, T::EffectSprites, 1, 4},
    {200, 360, 40, 40, T::EffectSprites, 1, 5},
    {240, 360, 30, 30, T::EffectSprites, 2, 0},             // small blast
    {270, 360, 30, 30, T::EffectSprites, 2, 1},
    {300, 360, 30, 30, T::EffectSprites, 2, 2},
    {330, 360, 30, 30, T::EffectSprites, 2, 3},
    {360, 360, 30, 30, T::EffectSprites, 2, 4},
    {390, 360, 30, 30, T::EffectSprites, 2, 5},
    {420, 360, 30, 30, T::EffectSprites, 2, 6},
    {450, 360, 30, 30, T::EffectSprites, 2, 7},
    {0, 400, 20, 20, T::EffectSprites, 3, 0},               // spark
    {20, 400, 20, 20, T::EffectSprites, 3, 1},
    {40, 400, 20, 20, T::EffectSprites, 3, 2},
    {60, 400, 20, 20, T::EffectSprites, 3, 3},
    {80, 400, 20, 20, T::EffectSprites, 3, 4},
};

// Ground enemies, and the emplacement wreck.
const SpriteCell kTekiCells[] = {
    {0, 0, 0, 0, T::GroundEnemySprites, 40, 0},             // never seen: a zero-size cut
    {0, 0, 32, 32, T::GroundEnemySprites, 1, 0},            // light tank
    {32, 0, 60, 60, T::GroundEnemySprites, 2, 0},           // heavy tank
    {92, 0, 60, 60, T::GroundEnemySprites, 3, 0},           // turret truck
    {152, 0, 90, 126, T::GroundEnemySprites, 4, 0},         // carrier with hatch
    {242, 0, 24, 24, T::GroundEnemySprites, 4, 8},          // carrier hatch, shut to open
    {266, 0, 24, 24, T::GroundEnemySprites, 4, 9},
    {290, 0, 24, 24, T::GroundEnemySprites, 4, 10},
    {314, 0, 24, 24, T::GroundEnemySprites, 4, 11},
    {0, 126, 81, 68, T::GroundEnemySprites, 5, 0},          // grid shooter, hatch shut to open
    {81, 126, 81, 68, T::GroundEnemySprites, 5, 1},
    {162, 126, 81, 68, T::GroundEnemySprites, 5, 2},
    {243, 126, 81, 68, T::GroundEnemySprites, 5, 3},
    {324, 126, 64, 64, T::GroundEnemySprites, 6, 0},        // emplacement
    {388, 126, 94, 130, T::GroundEnemySprites, 7, 0},       // twin carrier
    {482, 126, 48, 48, T::GroundEnemySprites, 8, 0},        // scout car
    {530, 126, 52, 52, T::GroundEnemySprites, 9, 0},        // fast tank
    {0, 256, 76, 76, T::GroundEnemySprites, 10, 0},         // large emplacement
    {76, 256, 82, 82, T::GroundEnemySprites, 11, 0},        // turret tank
    {158, 256, 92, 124, T::GroundEnemySprites, 12, 0},      // triple carrier
    {250, 256, 46, 42, T::GroundEnemySprites, 13, 0},       // bunker
    {296, 256, 81, 68, T::GroundEnemySprites, 14, 0},       // grid shooter
    {377, 256, 81, 68, T::GroundEnemySprites, 14, 1},
    {458, 256, 81, 68, T::GroundEnemySprites, 14, 2},
    {539, 256, 81, 68, T::GroundEnemySprites, 14, 3},
    {0, 380, 102, 108, T::GroundEnemySprites, 15, 0},       // ring fortress
    {102, 380, 48, 48, T::GroundEnemySprites, 15, 8},       // ring fortress turret
    {150, 380, 46, 42, T::GroundEnemySprites, 17, 0},       // pillbox
    {196, 380, 81, 68, T::GroundEnemySprites, 18, 0},       // side grid shooter
    {277, 380, 81, 68, T::GroundEnemySprites, 18, 1},
    {358, 380, 81, 68, T::GroundEnemySprites, 18, 2},
    {439, 380, 81, 68, T::GroundEnemySprites, 18, 3},
    {0, 488, 81, 68, T::GroundEnemySprites, 19, 0},         // side grid shooter
    {81, 488, 81, 68, T::GroundEnemySprites, 19, 1},
    {162, 488, 81, 68, T::GroundEnemySprites, 19, 2},
    {243, 488, 81, 68, T::GroundEnemySprites, 19, 3},
    {324, 488, 90, 128, T::GroundEnemySprites, 21, 0},      // hatch carrier
    {414, 488, 60, 60, T::GroundEnemySprites, 23, 0},       // entering heavy tank
    {474, 488, 60, 60, T::GroundEnemySprites, 24, 0},       // entering turret truck
    {534, 488, 84, 84, T::GroundEnemySprites, 25, 0},       // spinning tank
    {0, 616, 84, 84, T::GroundEnemySprites, 26, 0},         // spinning tank
    {84, 616, 52, 52, T::GroundEnemySprites, 27, 0},        // entering fast tank
    {136, 616, 46, 42, T::GroundEnemySprites, 29, 0},       // bunker carrier
    {182, 616, 48, 48, T::GroundEnemySprites, 30, 0},       // scout car
    {230, 616, 48, 48, T::GroundEnemySprites, 31, 0},       // scout car
    {278, 616, 60, 60, T::GroundEnemySprites, 33, 0},       // entering truck
    {338, 616, 40, 40, T::GroundEnemySprites, 33, 8},       // spinning cross
    {378, 616, 60, 60, T::GroundEnemySprites, 34, 0},       // entering truck
    {438, 616, 102, 108, T::GroundEnemySprites, 35, 0},     // ring crawler
    {540, 616, 84, 84, T::GroundEnemySprites, 36, 0},       // hatch gun
    {0, 724, 32, 32, T::GroundEnemySprites, 36, 8},         // hatch gun cover
    {32, 724, 32, 32, T::GroundEnemySprites, 36, 9},
    {64, 724, 32, 32, T::GroundEnemySprites, 36, 10},
    {96, 724, 32, 32, T::GroundEnemySprites, 36, 11},
    {128, 724, 60, 60, T::GroundEnemySprites, 38, 0},       // entering truck
    {188, 724, 60, 60, T::GroundEnemySprites, 39, 0},       // entering truck
    {248, 724, 102, 108, T::GroundEnemySprites, 42, 0},     // heavy crawler
    {350, 724, 40, 40, T::GroundEnemySprites, 42, 8},       // heavy crawler hatch
    {390, 724, 40, 40, T::GroundEnemySprites, 42, 9},
    {430, 724, 40, 40, T::GroundEnemySprites, 42, 10},
    {470, 724, 40, 40, T::GroundEnemySprites, 42, 11},
    {510, 724, 102, 108, T::GroundEnemySprites, 43, 0},     // heavy crawler
    {0, 832, 60, 60, T::GroundEnemySprites, 44, 0},         // ring gun carrier
    {60, 832, 78, 73, T::WreckSprites, 2, 0},               // wreck of an emplacement
};

// Air enemies, air parts and the ground enemies' turrets.
const SpriteCell kTeki2Cells[] = {
    {0, 0, 56, 56, T::AirEnemySprites, 1, 0},               // fighter
    {56, 0, 56, 56, T::AirEnemySprites, 1, 1},
    {112, 0, 56, 56, T::AirEnemySprites, 1, 2},
    {168, 0, 56, 56, T::AirEnemySprites, 1, 3},
    {224, 0, 50, 50, T::AirEnemySprites, 2, 0},             // dart fighter
    {274, 0, 50, 50, T::AirEnemySprites, 2, 1},
    {324, 0, 128, 128, T::AirEnemySprites, 3, 0},           // heavy gunship
    {0, 128, 32, 32, T::AirEnemySprites, 3, 8},             // gunship pod, shut to open
    {32, 128, 32, 32, T::AirEnemySprites, 3, 9},
    {64, 128, 32, 32, T::AirEnemySprites, 3, 10},
    {96, 128, 32, 32, T::AirEnemySprites, 3, 11},
    {128, 128, 64, 64, T::AirEnemySprites, 4, 0},           // rotor craft
    {192, 128, 128, 128, T::AirEnemySprites, 5, 0},         // swinging gunship
    {320, 128, 40, 24, T::AirEnemySprites, 5, 8},           // swinging gunship light
    {360, 128, 40, 24, T::AirEnemySprites, 5, 9},
    {400, 128, 40, 24, T::AirEnemySprites, 5, 10},
    {0, 256, 128, 128, T::AirEnemySprites, 6, 0},           // swinging gunship
    {128, 256, 68, 68, T::AirEnemySprites, 7, 0},           // rotor craft
    {196, 256, 200, 80, T::AirEnemySprites, 8, 0},          // flagship
    {396, 256, 48, 32, T::AirEnemySprites, 8, 8},           // flagship engine
    {444, 256, 48, 32, T::AirEnemySprites, 8, 9},
    {0, 384, 200, 80, T::AirEnemySprites, 9, 0},            // flagship
    {200, 384, 48, 32, T::AirEnemySprites, 9, 8},           // flagship engine
    {248, 384, 48, 32, T::AirEnemySprites, 9, 9},
    {296, 384, 52, 52, T::AirEnemySprites, 10, 0},          // interceptor
    {348, 384, 52, 52, T::AirEnemySprites, 10, 1},
    {400, 384, 40, 40, T::AirPartSprites, 1, 0},            // gunship turret
    {440, 384, 72, 72, T::AirPartSprites, 2, 0},            // rotor
    {0, 464, 40, 40, T::AirPartSprites, 3, 0},              // sweeping turret
    {40, 464, 40, 40, T::AirPartSprites, 4, 0},             // sweeping turret
    {80, 464, 32, 32, T::AirPartSprites, 5, 0},             // flagship gun
    {112, 464, 32, 32, T::AirPartSprites, 6, 0},            // flagship gun
    {144, 464, 32, 32, T::AirPartSprites, 7, 0},            // flagship gun
    {176, 464, 32, 32, T::AirPartSprites, 8, 0},            // flagship gun
    {208, 464, 32, 32, T::AirPartSprites, 9, 0},            // flagship gun
    {240, 464, 32, 32, T::GroundPartSprites, 0, 0},         // broken gun
    {272, 464, 32, 32, T::GroundPartSprites, 1, 0},         // turret
    {304, 464, 40, 40, T::GroundPartSprites, 2, 0},         // twin-stream turret
    {344, 464, 28, 28, T::GroundPartSprites, 3, 0},         // small turret
    {372, 464, 32, 32, T::GroundPartSprites, 4, 0},         // sweeping turret
    {404, 464, 40, 40, T::GroundPartSprites, 5, 0},         // heavy turret
    {444, 464, 28, 28, T::GroundPartSprites, 6, 0},         // small turret
    {472, 464, 36, 36, T::GroundPartSprites, 7, 0},         // sweep gun
    {0, 504, 36, 36, T::GroundPartSprites, 8, 0},           // stream gun
    {36, 504, 40, 40, T::GroundPartSprites, 9, 0},          // heavy turret
    {76, 504, 32, 32, T::GroundPartSprites, 12, 0},         // turret
    {108, 504, 36, 44, T::GroundPartSprites, 13, 0},        // hatch block
    {144, 504, 16, 15, T::GroundPartSprites, 13, 8},        // hatch, shut to open
    {160, 504, 16, 15, T::GroundPartSprites, 13, 9},
    {176, 504, 16, 15, T::GroundPartSprites, 13, 10},
    {192, 504, 16, 15, T::GroundPartSprites, 13, 11},
    {208, 504, 36, 36, T::GroundPartSprites, 14, 0},        // fan gun
    {244, 504, 30, 30, T::GroundPartSprites, 17, 0},        // pillbox gun
    {274, 504, 30, 30, T::GroundPartSprites, 22, 0},        // bunker gun
    {304, 504, 40, 40, T::GroundPartSprites, 31, 0},        // ring gun
};

// Bosses of stages 1-4 and their guns.
const SpriteCell kBossCells[] = {
    {0, 0, 120, 156, T::GroundEnemySprites, 20, 0},         // stage 1 boss, whole and broken
    {120, 0, 120, 156, T::GroundEnemySprites, 20, 1},
    {0, 156, 186, 188, T::GroundEnemySprites, 32, 0},       // stage 2 boss
    {186, 156, 186, 188, T::GroundEnemySprites, 32, 1},
    {0, 344, 90, 188, T::GroundEnemySprites, 22, 0},        // stage 3 boss half
    {90, 344, 90, 188, T::GroundEnemySprites, 22, 1},
    {180, 344, 24, 20, T::GroundEnemySprites, 22, 8},       // stage 3 boss hatch
    {204, 344, 24, 20, T::GroundEnemySprites, 22, 9},
    {228, 344, 24, 20, T::GroundEnemySprites, 22, 10},
    {252, 344, 24, 20, T::GroundEnemySprites, 22, 11},
    {276, 344, 114, 182, T::GroundEnemySprites, 28, 0},     // stage 4 boss half
    {390, 344, 114, 182, T::GroundEnemySprites, 28, 1},
    {0, 532, 16, 16, T::GroundEnemySprites, 28, 8},         // stage 4 boss hatch
    {16, 532, 16, 16, T::GroundEnemySprites, 28, 9},
    {32, 532, 16, 16, T::GroundEnemySprites, 28, 10},
    {48, 532, 16, 16, T::GroundEnemySprites, 28, 11},
    {64, 532, 48, 48, T::GroundPartSprites, 10, 0},         // stage 1 main gun
    {112, 532, 48, 48, T::GroundPartSprites, 11, 0},        // stage 1 spread gun
    {160, 532, 48, 48, T::GroundPartSprites, 23, 0},        // stage 2 cannon
    {208, 532, 48, 48, T::GroundPartSprites, 24, 0},        // stage 2 four-muzzle gun
    {256, 532, 32, 20, T::GroundPartSprites, 24, 8},        // four-muzzle gun hatch
    {288, 532, 32, 20, T::GroundPartSprites, 24, 9},
    {320, 532, 32, 20, T::GroundPartSprites, 24, 10},
    {352, 532, 32, 20, T::GroundPartSprites, 24, 11},
    {384, 532, 44, 44, T::GroundPartSprites, 25, 0},        // stage 2 twin gun
    {428, 532, 44, 44, T::GroundPartSprites, 26, 0},        // stage 2 twin gun
    {0, 580, 44, 52, T::GroundPartSprites, 15, 0},          // stage 3 four-hatch gun
    {44, 580, 44, 44, T::GroundPartSprites, 16, 0},         // stage 3 fan gun
    {88, 580, 40, 40, T::GroundPartSprites, 20, 0},         // stage 4 sweeping gun
    {128, 580, 36, 36, T::GroundPartSprites, 21, 0},        // stage 4 twin gun
};

// Bosses of stages 5-7 and their guns.
const SpriteCell kBoss2Cells[] = {
    {0, 0, 88, 186, T::GroundEnemySprites, 37, 0},          // stage 5 boss half
    {88, 0, 88, 186, T::GroundEnemySprites, 37, 1},
    {176, 0, 32, 20, T::GroundEnemySprites, 37, 8},         // stage 5 boss hatch
    {208, 0, 32, 20, T::GroundEnemySprites, 37, 9},
    {240, 0, 32, 20, T::GroundEnemySprites, 37, 10},
    {272, 0, 32, 20, T::GroundEnemySprites, 37, 11},
    {0, 186, 238, 158, T::GroundEnemySprites, 16, 0},       // stage 6 boss
    {238, 186, 238, 158, T::GroundEnemySprites, 16, 1},
    {0, 344, 20, 20, T::GroundEnemySprites, 16, 8},         // stage 6 boss hatch
    {20, 344, 20, 20, T::GroundEnemySprites, 16, 9},
    {40, 344, 20, 20, T::GroundEnemySprites, 16, 10},
    {60, 344, 20, 20, T::GroundEnemySprites, 16, 11},
    {80, 344, 248, 196, T::GroundEnemySprites, 41, 1},      // stage 7 boss half, broken
    {328, 344, 24, 24, T::GroundEnemySprites, 41, 8},       // stage 7 boss hatch
    {352, 344, 24, 24, T::GroundEnemySprites, 41, 9},
    {376, 344, 24, 24, T::GroundEnemySprites, 41, 10},
    {400, 344, 24, 24, T::GroundEnemySprites, 41, 11},
    {424, 344, 44, 44, T::GroundPartSprites, 27, 0},        // stage 5 shell gun
    {468, 344, 36, 36, T::GroundPartSprites, 28, 0},        // stage 5 side turret
    {0, 540, 36, 36, T::GroundPartSprites, 29, 0},          // stage 5 side turret
    {36, 540, 56, 56, T::GroundPartSprites, 18, 0},         // stage 6 main gun
    {92, 540, 44, 44, T::GroundPartSprites, 19, 0},         // stage 6 gun
    {136, 540, 56, 48, T::GroundPartSprites, 30, 0},        // stage 7 gun block
    {192, 540, 48, 32, T::GroundPartSprites, 30, 8},        // gun block cover
    {240, 540, 48, 32, T::GroundPartSprites, 30, 9},
    {288, 540, 48, 32, T::GroundPartSprites, 30, 10},
    {336, 540, 48, 32, T::GroundPartSprites, 30, 11},
};

// Shots, the napalm and the blast rings.
const SpriteCell kTama01Cells[] = {
    {0, 0, 32, 32, T::ShotSprites, 0, 0},                   // shot kind 0
    {32, 0, 32, 32, T::ShotSprites, 0, 1},
    {64, 0, 32, 32, T::ShotSprites, 0, 2},
    {96, 0, 32, 32, T::ShotSprites, 0, 3},
    {128, 0, 32, 32, T::ShotSprites, 0, 4},
    {160, 0, 32, 32, T::ShotSprites, 0, 5},
    {192, 0, 32, 32, T::ShotSprites, 0, 6},
    {224, 0, 32, 32, T::ShotSprites, 0, 7},
    {0, 32, 32, 32, T::ShotSprites, 5, 0},                  // shot kind 5
    {32, 32, 32, 32, T::ShotSprites, 5, 1},
    {64, 32, 32, 32, T::ShotSprites, 5, 2},
    {96, 32, 32, 32, T::ShotSprites, 5, 3},
    {128, 32, 32, 32, T::ShotSprites, 5, 4},
    {160, 32, 32, 32, T::ShotSprites, 5, 5},
    {192, 32, 32, 32, T::ShotSprites, 5, 6},
    {224, 32, 32, 32, T::ShotSprites, 5, 7},
    {0, 64, 58, 42, T::ShotSprites, 6, 0},                  // fat shot, kind 6
    {58, 64, 58, 42, T::ShotSprites, 6, 1},
    {116, 64, 58, 42, T::ShotSprites, 6, 2},
    {174, 64, 58, 42, T::ShotSprites, 6, 3},
    {232, 64, 58, 42, T::ShotSprites, 6, 4},
    {290, 64, 58, 42, T::ShotSprites, 6, 5},
    {348, 64, 58, 42, T::ShotSprites, 6, 6},
    {406, 64, 58, 42, T::ShotSprites, 6, 7},
    {0, 106, 30, 30, T::ShotSprites, 1, 0},                 // napalm aim marker
    {32, 106, 32, 32, T::ShotSprites, 2, 0},                // napalm shell
    {64, 106, 9, 10, T::ShotSprites, 2, 1},                 // shell trail
    {73, 106, 9, 10, T::ShotSprites, 2, 2},
    {82, 106, 9, 10, T::ShotSprites, 2, 3},
    {91, 106, 9, 10, T::ShotSprites, 2, 4},
    {100, 106, 9, 10, T::ShotSprites, 2, 5},
    {0, 140, 103, 103, T::ShotSprites, 3, 0},               // napalm burst
    {103, 140, 103, 103, T::ShotSprites, 3, 1},
    {206, 140, 103, 103, T::ShotSprites, 3, 2},
    {309, 140, 103, 103, T::ShotSprites, 3, 3},
    {120, 106, 32, 32, T::ShockwaveSprites, 0, 0},          // blast ring core
    {152, 106, 9, 10, T::ShockwaveSprites, 0, 1},           // ring sparks
    {161, 106, 9, 10, T::ShockwaveSprites, 0, 2},
    {170, 106, 9, 10, T::ShockwaveSprites, 0, 3},
    {179, 106, 9, 10, T::ShockwaveSprites, 0, 4},
    {188, 106, 9, 10, T::ShockwaveSprites, 0, 5},
    {0, 243, 103, 103, T::ShockwaveSprites, 1, 0},          // ring
    {103, 243, 103, 103, T::ShockwaveSprites, 1, 1},
    {206, 243, 103, 103, T::ShockwaveSprites, 1, 2},
    {309, 243, 103, 103, T::ShockwaveSprites, 1, 3},
};

// Enemy bullets: an 8x8 grid of 16-px bullets, then flashes and the larger kinds.
const SpriteCell kTama02Cells[] = {
    {0, 0, 16, 16, T::BulletSprites, 0, 0},                 // bullet type 0
    {16, 0, 16, 16, T::BulletSprites, 0, 1},
    {32, 0, 16, 16, T::BulletSprites, 0, 2},
    {48, 0, 16, 16, T::BulletSprites, 0, 3},
    {64, 0, 16, 16, T::BulletSprites, 0, 4},
    {80, 0, 16, 16, T::BulletSprites, 0, 5},
    {96, 0, 16, 16, T::BulletSprites, 0, 6},
    {112, 0, 16, 16, T::BulletSprites, 0, 7},
    {0, 16, 16, 16, T::BulletSprites, 1, 0},                // bullet type 1
    {16, 16, 16, 16, T::BulletSprites, 1, 1},
    {32, 16, 16, 16, T::BulletSprites, 1, 2},
    {48, 16, 16, 16, T::BulletSprites, 1, 3},
    {64, 16, 16, 16, T::BulletSprites, 1, 4},
    {80, 16, 16, 16, T::BulletSprites, 1, 5},
    {96, 16, 16, 16, T::BulletSprites, 1, 6},
    {112, 16, 16, 16, T::BulletSprites, 1, 7},
    {0, 32, 16, 16, T::BulletSprites, 2, 0},                // bullet type 2
    {16, 32, 16, 16, T::BulletSprites, 2, 1},
    {32, 32, 16, 16, T::BulletSprites, 2, 2},
    {48, 32, 16, 16, T::BulletSprites, 2, 3},
    {64, 32, 16, 16, T::BulletSprites, 2, 4},
    {80, 32, 16, 16, T::BulletSprites, 2, 5},
    {96, 32, 16, 16, T::BulletSprites, 2, 6},
    {112, 32, 16, 16, T::BulletSprites, 2, 7},
    {0, 48, 16, 16, T::BulletSprites, 3, 0},                // bullet type 3
    {16, 48, 16, 16, T::BulletSprites, 3, 1},
    {32, 48, 16, 16, T::BulletSprites, 3, 2},
    {48, 48, 16, 16, T::BulletSprites, 3, 3},
    {64, 48, 16, 16, T::BulletSprites, 3, 4},
    {80, 48, 16, 16, T::BulletSprites, 3, 5},
    {96, 48, 16, 16, T::BulletSprites, 3, 6},
    {112, 48, 16, 16, T::BulletSprites, 3, 7},
    {0, 64, 16, 16, T::BulletSprites, 4, 0},                // bullet type 4
    {16, 64, 16, 16, T::BulletSprites, 4, 1},
    {32, 64, 16, 16, T::BulletSprites, 4, 2},
    {48, 64, 16, 16, T::BulletSprites, 4, 3},
    {64, 64, 16, 16, T::BulletSprites, 4, 4},
    {80, 64, 16, 16, T::BulletSprites, 4, 5},
    {96, 64, 16, 16, T::BulletSprites, 4, 6},
    {112, 64, 16, 16, T::BulletSprites, 4, 7},
    {0, 80, 16, 16, T::BulletSprites, 5, 0},                // bullet type 5
    {16, 80, 16, 16, T::BulletSprites, 5, 1},
    {32, 80, 16, 16, T::BulletSprites, 5, 2},
    {48, 80, 16, 16, T::BulletSprites, 5, 3},
    {64, 80, 16, 16, T::BulletSprites, 5, 4},
    {80, 80, 16, 16, T::BulletSprites, 5, 5},
    {96, 80, 16, 16, T::BulletSprites, 5, 6},
    {112, 80, 16, 16, T::BulletSprites, 5, 7},
    {0, 96, 16, 16, T::BulletSprites, 6, 0},                // bullet type 6
    {16, 96, 16, 16, T::BulletSprites, 6, 1},
    {32, 96, 16, 16, T::BulletSprites, 6, 2},
    {48, 96, 16, 16, T::BulletSprites, 6, 3},
    {64, 96, 16, 16, T::BulletSprites, 6, 4},
    {80, 96, 16, 16, T::BulletSprites, 6, 5},
    {96, 96, 16, 16, T::BulletSprites, 6, 6},
    {112, 96, 16, 16, T::BulletSprites, 6, 7},
    {0, 64, 16, 16, T::BulletSprites, 7, 0},                // bullet type 7, as type 4
    {16, 64, 16, 16, T::BulletSprites, 7, 1},
    {32, 64, 16, 16, T::BulletSprites, 7, 2},
    {48, 64, 16, 16, T::BulletSprites, 7, 3},
    {64, 64, 16, 16, T::BulletSprites, 7, 4},
    {80, 64, 16, 16, T::BulletSprites, 7, 5},
    {96, 64, 16, 16, T::BulletSprites, 7, 6},
    {112, 64, 16, 16, T::BulletSprites, 7, 7},
    {128, 0, 38, 24, T::BulletSprites, 0, 0},               // muzzle flash of types 0-4
    {128, 0, 38, 24, T::BulletSprites, 1, 0},
    {128, 0, 38, 24, T::BulletSprites, 2, 0},
    {128, 0, 38, 24, T::BulletSprites, 3, 0},
    {128, 0, 38, 24, T::BulletSprites, 4, 0},
    {128, 24, 52, 34, T::BulletSprites, 5, 0},              // type 5 flash
    {180, 24, 29, 17, T::BulletSprites, 5, 1},
    {209, 24, 29, 17, T::BulletSprites, 5, 2},
    {238, 24, 29, 17, T::BulletSprites, 5, 3},
    {267, 24, 29, 17, T::BulletSprites, 5, 4},
    {128, 58, 56, 41, T::BulletSprites, 6, 0},              // type 6 flash
    {184, 58, 31, 31, T::BulletSprites, 6, 1},
    {215, 58, 31, 31, T::BulletSprites, 6, 2},
    {246, 58, 31, 31, T::BulletSprites, 6, 3},
    {277, 58, 31, 31, T::BulletSprites, 6, 4},
    {128, 99, 56, 41, T::BulletSprites, 8, 0},              // type 8 flash
    {184, 99, 31, 31, T::BulletSprites, 8, 1},
    {215, 99, 31, 31, T::BulletSprites, 8, 2},
    {246, 99, 31, 31, T::BulletSprites, 8, 3},
    {277, 99, 31, 31, T::BulletSprites, 8, 4},
    {0, 140, 23, 23, T::BulletSprites, 9, 0},               // type 9
    {23, 140, 23, 23, T::BulletSprites, 10, 0},             // type 10
    {46, 140, 23, 23, T::BulletSprites, 10, 1},
    {69, 140, 47, 11, T::BulletSprites, 11, 0},             // type 11, a beam
    {116, 140, 47, 11, T::BulletSprites, 11, 1},
};

const SpriteCell kTitleBackCells[] = {
    {0, 0, 640, 174, T::TitleImage, 0, 0},                  // "ZARNOVIK"
    {0, 180, 365, 22, T::CreditsImages, 0, 0},              // credits heading
    {0, 208, 365, 6, T::CreditsImages, 0, 1},               // credits lines
    {0, 216, 365, 6, T::CreditsImages, 0, 2},
    {0, 224, 365, 6, T::CreditsImages, 0, 3},
    {0, 232, 365, 6, T::CreditsImages, 0, 4},
    {0, 240, 365, 6, T::CreditsImages, 0, 5},
    {0, 248, 365, 6, T::CreditsImages, 0, 6},
};

// Background set 1 (stages 1-3).
const SpriteCell kHaikei1Cells[] = {
    {0, 0, 120, 120, T::BgTileSprites, 0, 1},               // tiles 1-18: 1 + 3 col + row
    {0, 120, 120, 120, T::BgTileSprites, 0, 2},
    {0, 240, 120, 120, T::BgTileSprites, 0, 3},
    {120, 0, 120, 120, T::BgTileSprites, 0, 4},
    {120, 120, 120, 120, T::BgTileSprites, 0, 5},
    {120, 240, 120, 120, T::BgTileSprites, 0, 6},
    {240, 0, 120, 120, T::BgTileSprites, 0, 7},
    {240, 120, 120, 120, T::BgTileSprites, 0, 8},
    {240, 240, 120, 120, T::BgTileSprites, 0, 9},
    {360, 0, 120, 120, T::BgTileSprites, 0, 10},
    {360, 120, 120, 120, T::BgTileSprites, 0, 11},
    {360, 240, 120, 120, T::BgTileSprites, 0, 12},
    {480, 0, 120, 120, T::BgTileSprites, 0, 13},
    {480, 120, 120, 120, T::BgTileSprites, 0, 14},
    {480, 240, 120, 120, T::BgTileSprites, 0, 15},
    {600, 0, 120, 120, T::BgTileSprites, 0, 16},
    {600, 120, 120, 120, T::BgTileSprites, 0, 17},
    {600, 240, 120, 120, T::BgTileSprites, 0, 18},
};

const SpriteCell kHaikei2Cells[] = {
    {0, 0, 120, 120, T::BgTileSprites, 0, 19},
    {120, 0, 120, 120, T::BgTileSprites, 0, 20},
    {0, 120, 120, 120, T::BgTileSprites, 0, 21},
    {120, 120, 120, 120, T::BgTileSprites, 0, 22},
    {0, 240, 120, 120, T::BgTileSprites, 0, 23},
    {240, 0, 120, 120, T::TerrainSprites, 0, 1},
    {360, 0, 120, 120, T::TerrainSprites, 0, 2},
    {120, 240, 120, 120, T::TerrainSprites, 0, 3},
    {240, 240, 120, 120, T::TerrainSprites, 0, 4},
    {360, 120, 120, 120, T::TerrainSprites, 0, 5},
    {360, 240, 120, 120, T::TerrainSprites, 0, 6},
};

const SpriteCell kHaikei3Cells[] = {
    {0, 240, 240, 240, T::TerrainSprites, 0, 52},
    {240, 240, 240, 240, T::TerrainSprites, 0, 53},
    {360, 0, 120, 240, T::TerrainSprites, 0, 54},
    {0, 0, 120, 120, T::TerrainSprites, 0, 7},
    {120, 0, 120, 120, T::TerrainSprites, 0, 8},
    {240, 0, 120, 120, T::TerrainSprites, 0, 9},
    {0, 120, 120, 120, T::TerrainSprites, 0, 10},
    {120, 120, 120, 120, T::TerrainSprites, 0, 11},
    {240, 120, 120, 120, T::TerrainSprites, 0, 12},
};

// Background set 2 (stages 4-6).
const SpriteCell kHaikei4Cells[] = {
    {0, 0, 120, 120, T::BgTileSprites, 0, 30},
    {120, 0, 120, 120, T::BgTileSprites, 0, 31},
    {480, 0, 120, 120, T::BgTileSprites, 0, 32},
    {480, 120, 120, 120, T::BgTileSprites, 0, 33},
    {480, 240, 120, 120, T::BgTileSprites, 0, 34},
    {360, 360, 120, 120, T::BgTileSprites, 0, 35},
    {480, 360, 120, 120, T::BgTileSprites, 0, 36},
    {600, 240, 120, 120, T::BgTileSprites, 0, 37},
    {600, 360, 120, 120, T::BgTileSprites, 0, 38},
    {720, 240, 120, 120, T::BgTileSprites, 0, 42},
    {240, 120, 120, 120, T::TerrainSprites, 0, 22},
    {240, 0, 120, 120, T::TerrainSprites, 0, 23},
    {360, 0, 120, 120, T::TerrainSprites, 0, 24},
    {360, 120, 120, 120, T::TerrainSprites, 0, 25},
    {360, 240, 120, 120, T::TerrainSprites, 0, 26},
    {240, 240, 120, 120, T::TerrainSprites, 0, 27},
    {240, 360, 120, 120, T::TerrainSprites, 0, 28},
    {120, 120, 120, 120, T::TerrainSprites, 0, 29},
    {120, 240, 120, 120, T::TerrainSprites, 0, 30},
    {0, 120, 120, 120, T::TerrainSprites, 0, 31},
    {0, 240, 120, 120, T::TerrainSprites, 0, 32},
    {0, 360, 120, 120, T::TerrainSprites, 0, 33},
    {120, 360, 120, 120, T::TerrainSprites, 0, 34},
    {600, 0, 120, 120, T::TerrainSprites, 0, 35},
    {600, 120, 120, 120, T::TerrainSprites, 0, 36},
    {720, 0, 120, 120, T::TerrainSprites, 0, 37},
    {720, 360, 120, 120, T::TerrainSprites, 0, 38},
};

const SpriteCell kHaikei5Cells[] = {
    {0, 0, 120, 120, T::BgTileSprites, 0, 24},
    {120, 0, 120, 120, T::BgTileSprites, 0, 25},
    {0, 120, 120, 120, T::BgTileSprites, 0, 26},
    {120, 120, 120, 120, T::BgTileSprites, 0, 27},
    {240, 0, 120, 120, T::BgTileSprites, 0, 28},
    {240, 120, 120, 120, T::BgTileSprites, 0, 29},
    {0, 240, 120, 120, T::TerrainSprites, 0, 13},
    {120, 240, 120, 120, T::TerrainSprites, 0, 14},
    {120, 360, 120, 120, T::TerrainSprites, 0, 15},
    {240, 360, 120, 120, T::TerrainSprites, 0, 16},
    {360, 360, 120, 120, T::TerrainSprites, 0, 17},
    {360, 0, 120, 120, T::TerrainSprites, 0, 18},
    {360, 120, 120, 120, T::TerrainSprites, 0, 19},
    {240, 240, 120, 120, T::TerrainSprites, 0, 20},
    {360, 240, 120, 120, T::TerrainSprites, 0, 21},
};

const SpriteCell kHaikei6Cells[] = {
    {0, 360, 120, 120, T::BgTileSprites, 0, 39},
    {120, 360, 120, 120, T::BgTileSprites, 0, 40},
    {240, 360, 120, 120, T::BgTileSprites, 0, 41},
    {0, 0, 120, 120, T::TerrainSprites, 0, 39},
    {120, 0, 120, 120, T::TerrainSprites, 0, 40},
    {240, 0, 120, 120, T::TerrainSprites, 0, 41},
    {0, 120, 120, 120, T::TerrainSprites, 0, 42},
    {120, 120, 120, 120, T::TerrainSprites, 0, 43},
    {240, 120, 120, 120, T::TerrainSprites, 0, 44},
    {0, 240, 120, 120, T::TerrainSprites, 0, 45},
    {120, 240, 120, 120, T::TerrainSprites, 0, 46},
    {240, 240, 120, 120, T::TerrainSprites, 0, 47},
    {360, 0, 120, 120, T::TerrainSprites, 0, 48},
    {360, 120, 120, 120, T::TerrainSprites, 0, 49},
    {360, 240, 120, 120, T::TerrainSprites, 0, 50},
    {360, 360, 120, 120, T::TerrainSprites, 0, 51},
};

// Background set 3 (stage 7): its own images under tile ids 1-37 and terrain kinds 1-2.
const SpriteCell kHaikei7Cells[] = {
    {0, 0, 120, 120, T::BgTileSprites, 0, 1},               // tiles 1-35: 1 + 5 col + row
    {0, 120, 120, 120, T::BgTileSprites, 0, 2},
    {0, 240, 120, 120, T::BgTileSprites, 0, 3},
    {0, 360, 120, 120, T::BgTileSprites, 0, 4},
    {0, 480, 120, 120, T::BgTileSprites, 0, 5},
    {120, 0, 120, 120, T::BgTileSprites, 0, 6},
    {120, 120, 120, 120, T::BgTileSprites, 0, 7},
    {120, 240, 120, 120, T::BgTileSprites, 0, 8},
    {120, 360, 120, 120, T::BgTileSprites, 0, 9},
    {120, 480, 120, 120, T::BgTileSprites, 0, 10},
    {240, 0, 120, 120, T::BgTileSprites, 0, 11},
    {240, 120, 120, 120, T::BgTileSprites, 0, 12},
    {240, 240, 120, 120, T::BgTileSprites, 0, 13},
    {240, 360, 120, 120, T::BgTileSprites, 0, 14},
    {240, 480, 120, 120, T::BgTileSprites, 0, 15},
    {360, 0, 120, 120, T::BgTileSprites, 0, 16},
    {360, 120, 120, 120, T::BgTileSprites, 0, 17},
    {360, 240, 120, 120, T::BgTileSprites, 0, 18},
    {360, 360, 120, 120, T::BgTileSprites, 0, 19},
    {360, 480, 120, 120, T::BgTileSprites, 0, 20},
    {480, 0, 120, 120, T::BgTileSprites, 0, 21},
    {480, 120, 120, 120, T::BgTileSprites, 0, 22},
    {480, 240, 120, 120, T::BgTileSprites, 0, 23},
    {480, 360, 120, 120, T::BgTileSprites, 0, 24},
    {480, 480, 120, 120, T::BgTileSprites, 0, 25},
    {600, 0, 120, 120, T::BgTileSprites, 0, 26},
    {600, 120, 120, 120, T::BgTileSprites, 0, 27},
    {600, 240, 120, 120, T::BgTileSprites, 0, 28},
    {600, 360, 120, 120, T::BgTileSprites, 0, 29},
    {600, 480, 120, 120, T::BgTileSprites, 0, 30},
    {720, 0, 120, 120, T::BgTileSprites, 0, 31},
    {720, 120, 120, 120, T::BgTileSprites, 0, 32},
    {720, 240, 120, 120, T::BgTileSprites, 0, 33},
    {720, 360, 120, 120, T::BgTileSprites, 0, 34},
    {720, 480, 120, 120, T::BgTileSprites, 0, 35},
    {840, 0, 120, 120, T::BgTileSprites, 0, 36},
    {840, 120, 120, 120, T::BgTileSprites, 0, 37},
    {840, 240, 120, 120, T::TerrainSprites, 0, 1},
    {840, 360, 120, 120, T::TerrainSprites, 0, 2},
};

template <int N>
constexpr SheetStep Cut(Sheet sheet, const SpriteCell (&cells)[N]) {
    return {sheet, SheetLoad::Load, cells, N, T::PanelImage, 0, 0, 0, 0, 0};
}

constexpr SheetStep Divide(Sheet sheet, SpriteTable table, int total, int across, int down, int w, int h) {
    return {sheet, SheetLoad::Divide, nullptr, 0, table, int16_t(total), int16_t(across), int16_t(down),
            int16_t(w), int16_t(h)};
}

}  // namespace

const SheetFile kSheetFiles[kSheetCount] = {
    {"data/waku.bmp", 544, 480},     {"data/jiki.bmp", 320, 64},      {"data/bonus.bmp", 320, 232},
    {"data/baku.BMP", 480, 420},     {"data/font.bmp", 192, 192},     {"data/font2.bmp", 192, 192},
    {"data/teki.bmp", 640, 912},     {"data/teki2.bmp", 512, 552},    {"data/boss.bmp", 512, 640},
    {"data/boss2.bmp", 512, 600},    {"data/tama_01.bmp", 480, 352},  {"data/tama_02.bmp", 320, 168},
    {"data/titleback.bmp", 640, 256},
    {"data/haikei1.bmp", 720, 360},  {"data/haikei2.bmp", 480, 360},  {"data/haikei3.bmp", 480, 480},
    {"data/haikei4.bmp", 840, 480},  {"data/haikei5.bmp", 480, 480},  {"data/haikei6.bmp", 480, 480},
    {"data/haikei7.bmp", 960, 600},
};

const SpriteTableShape kSpriteTableShapes[kSpriteTableCount] = {
    {64, 16}, {64, 16}, {64, 16}, {64, 16},  // ground and air enemies and parts
    {1, 5},                                  // player
    {7, 16}, {12, 16}, {2, 16}, {4, 16},     // shots, bullets, shockwaves, effects
    {1, 32}, {3, 4}, {1, 45},                // items, wrecks, labels
    {1, 255}, {1, 255},                      // the two fonts
    {1, 1}, {1, 2}, {1, 1}, {1, 7},          // panel, menu frames, title, credits
    {1, 100}, {1, 55},                       // background tiles and terrain
};

const SheetStep kStartupSteps[] = {
    Cut(Sheet::Waku, kWakuCells),
    Cut(Sheet::Jiki, kJikiCells),
    Divide(Sheet::Bonus, T::ItemSprites, 32, 16, 2, 16, 16),
    Cut(Sheet::Bonus, kBonusCells),
    Cut(Sheet::Baku, kBakuCells),
    Divide(Sheet::Font, T::FontSprites, 255, 16, 16, 12, 12),
    Divide(Sheet::Font2, T::Font2Sprites, 255, 16, 16, 12, 12),
    Cut(Sheet::Teki, kTekiCells),
    Cut(Sheet::Teki2, kTeki2Cells),
    Cut(Sheet::Boss, kBossCells),
    Cut(Sheet::Boss2, kBoss2Cells),
    Cut(Sheet::Tama01, kTama01Cells),
    Cut(Sheet::Tama02, kTama02Cells),
    Cut(Sheet::TitleBack, kTitleBackCells),
};
const int kStartupStepCount = sizeof kStartupSteps / sizeof kStartupSteps[0];

const SheetStep kBackgroundSteps[] = {
    Cut(Sheet::Haikei1, kHaikei1Cells), Cut(Sheet::Haikei2, kHaikei2Cells), Cut(Sheet::Haikei3, kHaikei3Cells),
    Cut(Sheet::Haikei4, kHaikei4Cells), Cut(Sheet::Haikei5, kHaikei5Cells), Cut(Sheet::Haikei6, kHaikei6Cells),
    Cut(Sheet::Haikei7, kHaikei7Cells),
};
const int kBackgroundGroupFirst[4] = {0, 3, 6, 7};
