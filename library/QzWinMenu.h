// QzWinMenu.h: the window menu: switched on and off, attached to the window in window
// mode and, in full screen, while the mouse is near the top edge or when always shown;
// the table of its items (depth first, at most 128) and the queries over it. Nothing in
// this system switches it on. Main thread under the library lock (the full-screen check
// also runs from the message thread's pump, under the lock).
#pragma once

#include <platform/win32.h>

#include "QzWinState.h"

constexpr int kMenuItemLimit = 128;

int SetMenuEnabled(int flag);  // 0, or -1 when a menu cannot be created
int IsMenuEnabled();           // 1 while the window has a menu in use
int SetMenuVisible(int flag);  // 0
int ShouldShowMenu();          // 1 when the menu is to be on the window now
int GetMenuShowFlag();         // not hidden
// In full screen: the mouse is near the top while its client y is below 60; then the
// cursor and the menu follow. 0.
int UpdateFullScreenMenu();
// 1 for a separator; 0 with type, state, id, sub-menu and the name (in the name buffer of
// QzInputKey.h); -1 on failure.
int GetMenuItemData(HMENU menu, int position, MENUITEMINFOA* out);
// 1 found (by name when one is given, else by id; sub-menus depth first), 0 not found,
// -1 without a menu in use or on a failure.
int SearchMenuItem(const char* name, int id, HMENU menu, HMENU* outMenu, int* outPosition);
// Appends every item but separators to the item table, depth first, at most 128 in all.
// 0, or -1 on a failure.
int EnumMenuItems(HMENU menu);
// 0, or -1 when the table is full. The name keeps at most 127 bytes, cut between
// characters.
int AddMenuItemEntry(HMENU menu, int position, int id, const char* name);
int DeleteMenuItemEntry(const char* name, int id);  // 0, or -1 when not found
// The entry by name when one is given, else by its 16-bit id; null when none.
MenuItemEntry* FindMenuItemEntry(const char* name, int id);
// From the entry count on, the first id no entry uses (after 0xFFFF comes 0).
int GetFreeMenuItemId();
// The item's sub-menu, made once when it has none; null without such an entry.
HMENU GetMenuItemSubMenu(const char* name, int id);
int LookUpMenuItemName(int id, char* out);  // 0 with the name copied, or -1
