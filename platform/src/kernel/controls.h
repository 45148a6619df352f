// kernel/controls.h: what the environment asks of the platform's controls (testing.h).
// Only controls.cpp reads the environment; each control asks it here for its default.
#pragma once

namespace kernel {

// QZ_CLOCK=fast.
bool EnvironmentAsksFastClock();

// $TMPDIR, or "" when it is not set.
const char* EnvironmentTempFolder();

// QZ_AUDIO_CAPTURE: the Linux path the null sound device writes its mix to, or "".
const char* EnvironmentAudioCapture();

// QZ_CAPTURE: the Linux folder presented frames are written to as PNG, or "".
const char* EnvironmentCaptureFolder();
// QZ_FRAMEHASH: the Linux path each present appends its frame's hash line to, or "".
const char* EnvironmentFrameHashLog();
// QZ_SCREENSHOT: "n:file[,n:file...]", or "".
const char* EnvironmentScreenshots();

// QZ_INPUT: the Linux path of an input script, or "".
const char* EnvironmentInputScript();

// The desktop depth a test set (0: the backend's own), read by gdi/desktop.cpp.
int DesktopDepthOverride();

// Each module's own reset, called by ptest::ResetControls.
void ResetClockControls();
void ResetDebugControls();
void ResetSystemControls();
void ResetCpuControls();
void ResetFileControls();  // kernel/filecontrols.cpp
void ResetAudioControls();  // backend/null/null_audio.cpp, dsound/caps.cpp
void ResetWindowControls();  // kernel/controls.cpp (message box, lock folder, null desktop)
void ResetGraphicsControls();  // ddraw/controls.cpp (DirectDraw, GDI bitmaps, capture)
void ResetD3DControls();  // d3d/controls.cpp
void ResetInputControls();  // dinput/pads.cpp (pads, keys, scripts, the mouse, the IME)
void ResetFontControls();  // gdi/fonts.cpp (synthetic faces, font failures)
void ResetWinSockControls();  // winsock/sockets.cpp (paired connects)
void ResetResolverControls();  // winsock/resolver.cpp (the resolver table)

}  // namespace kernel
