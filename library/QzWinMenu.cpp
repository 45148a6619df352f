// QzWinMenu.cpp: the window menu and its item table (see the header).
//
// Rules:
// - The menu is on the window when it is in use and not hidden, and the window is in
//   window mode, or the menu is always shown, or the mouse is near the top edge.
// - The item table lists every item that is not a separator, a parent before its
//   sub-menu's items, at most 128; later entries move up when one is deleted.
#include "QzWinMenu.h"

#include <cstring>

#include "QzInputKey.h"
#include "QzUseCLib.h"
#include "QzWinExtras.h"
#include "QzWinWindow.h"

namespace {

MenuState& Menu() { return g_windowSystem.menu; }

void ClearLists() {
    Menu().selectedCount = 0;
    Menu().itemCount = 0;
}

bool Matches(const MenuItemEntry& entry, const char* name, int id) {
    if (name != nullptr) return CompareStrings(entry.name, name) == 0;
    return entry.commandId == static_cast<uint16_t>(id);
}

}  // namespace

int SetMenuEnabled(int flag) {
    MenuState& menu = Menu();
    if ((flag != 0) == (menu.inUse != 0)) return 0;
    if (flag) {
        if (menu.handle == nullptr) {
            menu.handle = CreateMenu();
            if (menu.handle == nullptr) return -1;
        }
        menu.inUse = 1;
        menu.attached = 0;
        SetMenuVisible(1);
    } else {
        SetMenuVisible(0);
        DestroyMenu(menu.handle);
        menu.handle = nullptr;
        menu.inUse = 0;
    }
    ClearLists();
    return 0;
}

int SetMenuVisible(int flag) {
    WindowSystemState& ws = g_windowSystem;
    MenuState& menu = Menu();
    if (!menu.inUse) return 0;
    menu.hidden = flag ? 0 : 1;
    if (ws.mainWindow == nullptr) return 0;
    const int show = ShouldShowMenu();
    if (show != menu.attached) {
        SetMenu(ws.mainWindow, show ? menu.handle : nullptr);
        if (ws.windowMode) ApplyWindowStyle();
        UpdateWindow(ws.mainWindow);
        menu.attached = show;
    }
    return 0;
}

int ShouldShowMenu() {
    const WindowSystemState& ws = g_windowSystem;
    const MenuState& menu = ws.menu;
    if (ws.mainWindow == nullptr || !menu.inUse || menu.hidden) return 0;
    return ws.windowMode || menu.alwaysShown || menu.mouseNearTop ? 1 : 0;
}

int GetMenuShowFlag() { return Menu().hidden ? 0 : 1; }

int UpdateFullScreenMenu() {
    if (g_windowSystem.windowMode) return 0;
    int y = 0;
    GetClientMousePosition(nullptr, &y);
    Menu().mouseNearTop = y < 60 ? 1 : 0;
    UpdateCursorVisibility(IsMouseVisible());
    SetMenuVisible(GetMenuShowFlag());
    return 0;
}

int GetMenuItemData(HMENU menu, int position, MENUITEMINFOA* out) {
    std::memset(out, 0, sizeof *out);
    out->cbSize = sizeof *out;
    out->fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
    out->dwTypeData = g_keyInput.menuItemName;
    out->cch = sizeof g_keyInput.menuItemName;
    g_keyInput.menuItemName[0] = '\0';
    if (position < 0 || !GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, out)) return -1;
    return (out->fType & MFT_SEPARATOR) ? 1 : 0;
}

int SearchMenuItem(const char* name, int id, HMENU menu, HMENU* outMenu, int* outPosition) {
    if (!Menu().inUse) return -1;
    const int count = GetMenuItemCount(menu);
    if (count < 0) return -1;
    for (int position = 0; position < count; position++) {
        MENUITEMINFOA info;
        const int kind = GetMenuItemData(menu, position, &info);
        if (kind < 0) return -1;
        if (kind == 1) continue;
        const bool found = name != nullptr ? CompareStrings(g_keyInput.menuItemName, name) == 0
                                           : static_cast<int>(info.wID) == id;
        if (found) {
            if (outMenu) *outMenu = menu;
            if (outPosition) *outPosition = position;
            return 1;
        }
        if (info.hSubMenu != nullptr) {
            const int result = SearchMenuItem(name, id, info.hSubMenu, outMenu, outPosition);
            if (result != 0) return result;
        }
    }
    return 0;
}

int EnumMenuItems(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    if (count < 0) return -1;
    for (int position = 0; position < count; position++) {
        MENUITEMINFOA info;
        const int kind = GetMenuItemData(menu, position, &info);
        if (kind < 0) return -1;
        if (kind == 1) continue;
        if (AddMenuItemEntry(menu, position, static_cast<int>(info.wID), g_keyInput.menuItemName) < 0) return 0;
        if (info.hSubMenu != nullptr && EnumMenuItems(info.hSubMenu) < 0) return -1;
    }
    return 0;
}

int AddMenuItemEntry(HMENU menu, int position, int id, const char* name) {
    MenuState& m = Menu();
    if (m.itemCount >= kMenuItemLimit) return -1;
    MenuItemEntry& entry = m.items[m.itemCount];
    entry.menu = menu;
    entry.position = static_cast<uint16_t>(position);
    entry.commandId = static_cast<uint16_t>(id);
    // The name field is 128 bytes: a longer name is cut between characters.
    CopyStringBounded(entry.name, sizeof entry.name, name != nullptr ? name : "");
    m.itemCount++;
    return 0;
}

int DeleteMenuItemEntry(const char* name, int id) {
    MenuState& m = Menu();
    for (int i = 0; i < m.itemCount; i++) {
        if (!Matches(m.items[i], name, id)) continue;
        std::memmove(&m.items[i], &m.items[i + 1], sizeof m.items[0] * static_cast<size_t>(m.itemCount - i - 1));
        m.itemCount--;
        return 0;
    }
    return -1;
}

MenuItemEntry* FindMenuItemEntry(const char* name, int id) {
    MenuState& m = Menu();
    for (int i = 0; i < m.itemCount; i++)
        if (Matches(m.items[i], name, id)) return &m.items[i];
    return nullptr;
}

int GetFreeMenuItemId() {
    int id = Menu().itemCount;
    while (FindMenuItemEntry(nullptr, id) != nullptr) id = (id + 1) & 0xFFFF;
    return id;
}

HMENU GetMenuItemSubMenu(const char* name, int id) {
    MenuItemEntry* entry = FindMenuItemEntry(name, id);
    if (entry == nullptr) return nullptr;
    MENUITEMINFOA info;
    if (GetMenuItemData(entry->menu, entry->position, &info) < 0) return nullptr;
    if (info.hSubMenu != nullptr) return info.hSubMenu;
    HMENU subMenu = CreateMenu();
    MENUITEMINFOA change = {};
    change.cbSize = sizeof change;
    change.fMask = MIIM_SUBMENU;
    change.hSubMenu = subMenu;
    SetMenuItemInfoA(entry->menu, entry->position, TRUE, &change);
    return subMenu;
}

int LookUpMenuItemName(int id, char* out) {
    MenuItemEntry* entry = FindMenuItemEntry(nullptr, id);
    if (entry == nullptr) return -1;
    CopyStringBounded(out, sizeof entry->name, entry->name);
    return 0;
}

int IsMenuEnabled() { return g_windowSystem.menu.inUse; }
