// SpriteTables.h: the graphic handles every drawing reads, filled by cutting the sheets
// the layout table names. An entry nothing fills stays 0.
#pragma once

#include "SpriteLayout.h"

extern int GroundEnemySprites[64][16];
extern int AirEnemySprites[64][16];
extern int GroundPartSprites[64][16];
extern int AirPartSprites[64][16];
extern int PlayerSprites[5];
extern int ShotSprites[7][16];
extern int BulletSprites[12][16];
extern int ShockwaveSprites[2][16];
extern int EffectSprites[4][16];
extern int ItemSprites[32];
extern int WreckSprites[3][4];
extern int LabelSprites[45];
extern int FontSprites[255];
extern int Font2Sprites[255];
extern int PanelImage;
extern int MenuFrameImages[2];  // [0] the 384x140 item frame, [1] the 384x43 rule-set frame
extern int TitleImage;
extern int CreditsImages[7];    // [0] the heading, [1..6] the lines
extern int BgTileSprites[100];
extern int TerrainSprites[55];

// The first entry of a table, laid out row after row as the layout counts its slots.
int* GetTableBase(SpriteTable table);

// Clears the four enemy tables, then loads and cuts every start-up sheet in order.
void CutStartupSheets();

// Background sets: group 1 for stages 1-3, 2 for 4-6, 3 for stage 7, else the number
// itself (0: none). A new group frees the old one's sheets, tiles and terrain, zeroing
// their entries, then loads and cuts its own; the same group does nothing.
void LoadBackgroundSet(int stage);
