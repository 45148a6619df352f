// QzWinExtras.h: the window extras besides the menu and the toolbar: the window's shape
// (a region made from the non-zero pixels of an image), the dropped-file names, the
// cursor's visibility, the mouse position in screen-mode coordinates and the inactive
// window's background picture. Nothing in this system switches the shape or the picture
// on. Main thread under the library lock.
#pragma once

#include <platform/win32.h>

// A region of the image's non-zero pixels: each run of them in a row is one rectangle.
// A pixel is zero when all its bytes are. Rows are `pitch` bytes apart; their padding is
// never read. Null for bytes per pixel outside 1-4 or a failed region call.
HRGN MakeRegionFromImage(int width, int height, const void* pixels, int pitch, int bytesPerPixel);
// Null removes the window's shape: 0. A bitmap file gives the window the shape of its
// non-zero pixels: 0; -1 when it cannot be read, and the shape stays as it was.
int SetWindowRegionFromFile(const char* bitmapFile);
// Frees every stored dropped-file name; count 0. 0.
int FreeDroppedFileNames();
// Mouse-visible setting = flag; the cursor shows when the flag is 1 or the menu is on the
// window. A change calls ShowCursor until the display count agrees and posts WM_SETCURSOR.
// 0.
int UpdateCursorVisibility(int flag);
// The mouse in screen-mode coordinates: in window mode relative to the client area below
// the toolbar, divided by the window scale. Null pointers are skipped. 0.
int GetClientMousePosition(int* x, int* y);
// The picture painted over the screen while the window is inactive, from a file or from
// memory (both null: nothing happens, 0). The old picture and its graphic go. 0, or -1
// when the picture cannot be decoded (the old one stays).
int SetWindowBackgroundPicture(const char* file, const void* image, int imageSize);
