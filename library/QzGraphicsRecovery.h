// QzGraphicsRecovery.h: bringing graphics back after the display device was lost: the
// surface restore after the window is usable again, the rebuild of the DirectDraw and
// Direct3D objects in a fixed order (run by the window procedure), and the recovery
// handler that refills every graphic's pixels, by default by reloading each graphic from
// the file and directory it was loaded from. Every graphic keeps its handle. Main thread
// under the library lock.
#pragma once

typedef int (*GraphRecoveryHandler)();

// null selects ReloadGraphsFromFiles, the default that library start-up installs. 0.
int SetGraphRecoveryHandler(GraphRecoveryHandler handler);
int HasGraphRecoveryHandler();  // 1 when a handler is set

// Restores a graphic's lost surfaces (pixels are not reloaded); 0 or -1.
int RestoreOneGraphSurfaces(int handle);
// The main surfaces, then every graphic; 0 (nothing before graphics start-up).
int RestoreAllGraphSurfaces();

// The rebuild after the display was taken away and given back, ending with
// RecoverGraphicsAfterReset; 0.
int RebuildGraphicsDevice();
// Fonts re-created in place, needsRestore set on every graphic, the handler called; 0.
int RecoverGraphicsAfterReset();
// The default handler: every flagged graphic with a file name reloaded, one decode for
// the graphics cut from one sheet; a file that no longer decodes or no longer covers the
// graphic's rectangle is logged and skipped. Graphics without a name keep their flag. 0.
int ReloadGraphsFromFiles();
