// window/extras.cpp: the window extras kept in memory only: menus (nothing draws them;
// testing.h adds items, as nothing in the library does) and reading back a window's
// region. Any thread; menus have a lock of their own.
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "gdi/regions.h"
#include "kernel/diag.h"
#include "window/model.h"

namespace {

struct MenuItem {
    std::string name;  // CP932
    UINT id = 0;
    UINT type = MFT_STRING;
    UINT state = MFS_ENABLED;
    HMENU subMenu = nullptr;
    ULONG_PTR data = 0;
};

struct Menu {
    std::vector<MenuItem> items;
};

std::mutex& g_menuLock = *new std::mutex;                // never destroyed
std::map<HMENU, Menu>& g_menus = *new std::map<HMENU, Menu>;

Menu* FindMenu(HMENU menu) {
    auto it = g_menus.find(menu);
    return it == g_menus.end() ? nullptr : &it->second;
}

MenuItem* ItemAt(HMENU menu, UINT item, BOOL byPosition) {
    Menu* m = FindMenu(menu);
    if (!m || !byPosition || item >= m->items.size()) return nullptr;
    return &m->items[item];
}

// Destroys a menu and the sub-menus below it, each once.
void Destroy(HMENU menu, std::set<HMENU>* seen) {
    if (!seen->insert(menu).second) return;
    Menu* m = FindMenu(menu);
    if (!m) return;
    std::vector<HMENU> subMenus;
    for (const MenuItem& item : m->items)
        if (item.subMenu) subMenus.push_back(item.subMenu);
    g_menus.erase(menu);
    delete menu;
    for (HMENU sub : subMenus) Destroy(sub, seen);
}

}  // namespace

HMENU CreateMenu() {
    std::lock_guard<std::mutex> hold(g_menuLock);
    HMENU menu = new HMENU__{};
    g_menus[menu];
    return menu;
}

BOOL DestroyMenu(HMENU menu) {
    std::lock_guard<std::mutex> hold(g_menuLock);
    if (!FindMenu(menu)) return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    std::set<HMENU> seen;
    Destroy(menu, &seen);
    return TRUE;
}

int GetMenuItemCount(HMENU menu) {
    std::lock_guard<std::mutex> hold(g_menuLock);
    Menu* m = FindMenu(menu);
    if (!m) return kernel::Fail(ERROR_INVALID_HANDLE, -1);
    return static_cast<int>(m->items.size());
}

BOOL GetMenuItemInfoA(HMENU menu, UINT position, BOOL byPosition, LPMENUITEMINFOA info) {
    if (info == nullptr || info->cbSize != sizeof(MENUITEMINFOA)) return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> hold(g_menuLock);
    MenuItem* item = ItemAt(menu, position, byPosition);
    if (!item) return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (info->fMask & MIIM_TYPE) {
        info->fType = item->type;
        if (item->type & MFT_SEPARATOR) {
            info->cch = 0;
        } else if (info->dwTypeData == nullptr) {
            info->cch = static_cast<UINT>(item->name.size());
        } else if (info->cch > 0) {
            size_t copied = item->name.size() < info->cch - 1 ? item->name.size() : info->cch - 1;
            std::memcpy(info->dwTypeData, item->name.data(), copied);
            info->dwTypeData[copied] = '\0';
            info->cch = static_cast<UINT>(copied);
        }
    }
    if (info->fMask & MIIM_STATE) info->fState = item->state;
    if (info->fMask & MIIM_ID) info->wID = item->id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = item->subMenu;
    if (info->fMask & MIIM_DATA) info->dwItemData = item->data;
    return TRUE;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT position, BOOL byPosition, LPCMENUITEMINFOA info) {
    if (info == nullptr || info->cbSize != sizeof(MENUITEMINFOA)) return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> hold(g_menuLock);
    MenuItem* item = ItemAt(menu, position, byPosition);
    if (!item) return kernel::Fail(ERROR_INVALID_PARAMETER, FALSE);
    if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu != nullptr && !FindMenu(info->hSubMenu))
        return kernel::Fail(ERROR_INVALID_HANDLE, FALSE);
    if (info->fMask & MIIM_SUBMENU) item->subMenu = info->hSubMenu;
    if (info->fMask & MIIM_ID) item->id = info->wID;
    if (info->fMask & MIIM_STATE) item->state = info->fState;
    if (info->fMask & MIIM_DATA) item->data = info->dwItemData;
    if (info->fMask & MIIM_TYPE) {
        item->type = info->fType;
        item->name = (info->fType & MFT_SEPARATOR) || info->dwTypeData == nullptr ? "" : info->dwTypeData;
    }
    return TRUE;
}

namespace ptest {

bool AppendMenuItem(HMENU menu, const std::string& cp932Name, UINT id, bool separator, HMENU subMenu) {
    std::lock_guard<std::mutex> hold(g_menuLock);
    Menu* m = FindMenu(menu);
    if (!m || (subMenu != nullptr && !FindMenu(subMenu))) return false;
    MenuItem item;
    item.name = separator ? "" : cp932Name;
    item.id = id;
    item.type = separator ? MFT_SEPARATOR : MFT_STRING;
    item.subMenu = subMenu;
    m->items.push_back(item);
    return true;
}

bool GetWindowRegionRects(HWND window, std::vector<RECT>* rects) {
    rects->clear();
    std::lock_guard<std::mutex> hold(window::Mutex());
    window::Window* w = window::Find(window);
    return w && w->region && gdi::RegionRects(w->region, rects);
}

}  // namespace ptest
