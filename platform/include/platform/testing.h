// testing.h: controls of the platform layer, for tests and, through environment
// variables, for the executable. They are controls of the platform, not features of
// the game. This file declares every run-time control with its default and effect;
// no other file reads the environment.
//
// Environment (read once, at the first use of the platform):
//   QZ_BACKEND=sdl|null  the machine below the platform (default: sdl)
//   QZ_CLOCK=fast        the fast clock (default: real time)
//
// Every control is thread-safe unless its comment says otherwise.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace ptest {

// Puts every control back to its default (environment variables included, which are
// read again). Tests call it between cases that changed controls.
void ResetControls();

// ---- backend --------------------------------------------------------------------------
// "sdl" (a real window, audio and pads) or "null" (headless). Chosen at the first use
// of a window, frame or sound and kept for the process.
const char* GetBackendName();  // from QZ_BACKEND; default "sdl"

// ---- clock ----------------------------------------------------------------------------
// Real: every clock follows the machine's monotonic clock.
// Fast: all clocks read one virtual time. On the main thread, Sleep(n) advances it by
// n ms without waiting, and every clock read advances it by the read step, so a loop
// that only polls the clock still ends. Other threads sleep in real time and never move
// the clock; waits on objects stay real-time on every thread. The same calls give the
// same readings on every run.
enum class ClockMode { Real, Fast };
void SetClockMode(ClockMode mode);  // default Real, or Fast under QZ_CLOCK=fast
ClockMode GetClockMode();
// A clock read returns the time before its step is added. The performance counter runs
// at 10 MHz in both modes, so a fast microsecond is exactly ten counts; GetLocalTime
// reads 2000-01-01 00:00:00 (no time zone) plus the virtual time.
// Virtual time in microseconds; the fast clock starts at a fixed value (default 60 s)
// that this sets, so a test can start just below the 32-bit millisecond wrap.
void SetFastClockMicroseconds(uint64_t microseconds);
uint64_t GetFastClockMicroseconds();  // reads without a step
void AdvanceFastClock(uint64_t microseconds);
void SetFastClockReadStep(uint64_t microseconds);  // what one clock read on the main thread adds; default 10
void SetTimeStampRate(uint64_t ticksPerSecond);    // the fast time-stamp counter's rate; default 2 GHz
// The thread that counts as the main thread: the one that started the process, unless
// a test names another (the calling thread).
void MakeCurrentThreadMain();
bool IsMainThread();

// ---- fault injection --------------------------------------------------------------------
// The nth next call of the named platform function fails (1: the very next one), as the
// platform would fail it. Names: "HeapAlloc", "CreateFileA", "CreateEventA", "CreateThread",
// "MoveFileExA".
void FailCall(const char* name, int nth = 1);
void ClearFaults();

// ---- debugger output -------------------------------------------------------------------
// While capturing, OutputDebugStringA keeps its exact CP932 bytes here and prints nothing.
void CaptureDebugOutput(bool on);
std::string TakeDebugOutput();  // returns and clears what was captured

// ---- overrides of the emulated system --------------------------------------------------
void OverrideVersion(const OSVERSIONINFOEXA* info);  // null: NT 5.1 build 2600 "Service Pack 3"
void OverrideOemCodePage(UINT codePage);             // 0: 932
struct CpuOverride {
    bool noCpuid = false;            // CpuIdentify fails
    bool noBrandString = false;      // the extended brand leaves are missing
    bool noTimeStampCounter = false; // the feature bit is clear and the counter reads 0
    bool noMmx = false;              // the MMX feature bit is clear
};
void OverrideCpu(const CpuOverride& cpu);
void OverrideMemoryStatus(const MEMORYSTATUS* status);  // null: the machine's own
void SetDesktopDepth(int bitsPerPixel);                 // 0: the backend's own (32)

}  // namespace ptest

// ==== windows, messages, the desktop and the message box ===================================
// Environment:
//   QZ_MSGBOX=yes|no   MessageBoxA answers at once without showing a box: yes takes IDYES
//                      or IDOK, no takes IDNO or IDCANCEL (default: the box is shown; the
//                      null backend then answers its default button)
// Fault injection (FailCall) also takes "RegisterClassExA", "CreateWindowExA" (each fails
// as on a machine out of resources), "CoInitialize" (returns E_FAIL) and "MessageBox" (the
// box cannot be shown, as on an X server without the fonts it needs: MessageBoxA answers 0
// and says so on standard error).
#include <vector>

namespace ptest {

// ---- the desktop and the second-instance lock -------------------------------------------------
// The null backend's desktop size (its depth is SetDesktopDepth's); 0 x 0: 1920 x 1080.
void SetDesktopSize(int width, int height);
// Where the first window of a class takes its advisory lock file, which FindWindowA of
// another process sees. "": $XDG_RUNTIME_DIR, else a per-user folder under /tmp. Tests
// set a folder of their own so that parallel test processes never meet; two processes
// that share a folder see each other's windows.
void SetWindowLockFolder(const std::string& folder);
std::string GetWindowLockFolder();  // the folder in use

// ---- the message box ---------------------------------------------------------------------------
enum class MessageBoxAnswer { Show, Yes, No };
void SetMessageBoxAnswer(MessageBoxAnswer answer);  // default Show, or from QZ_MSGBOX
MessageBoxAnswer GetMessageBoxAnswer();

// ---- what the machine shows -----------------------------------------------------------------------
// The backend's own view of a window (for sdl, read back from SDL; main thread).
struct WindowView {
    bool exists = false;  // the handle names a live window with a backend window
    std::string title;    // UTF-8
    int x = 0, y = 0;     // client area's top-left on the desktop
    int width = 0, height = 0;  // client size
    bool shown = false;
    bool bordered = false;
    bool resizable = false;
    bool onTop = false;
};
WindowView GetWindowView(HWND window);
bool IsScreenSaverEnabled();  // SPI_SETSCREENSAVEACTIVE's state; default true
bool IsImeEnabled(HWND window);  // WINNLSEnableIME's record for the window; default true
bool IsCursorShown();  // display count >= 0 and a cursor set
int GetLoadedModuleCount();  // LoadLibraryA results not yet given to FreeLibrary

// ---- event injection ------------------------------------------------------------------------------
// Any thread. Each event reaches the window's owner thread at its next PeekMessageA and
// becomes messages there exactly as a machine event would (the sdl backend routes them
// through SDL's own queue where SDL has the event). So a test can wake a main thread that
// waits inside the pump.
void InjectClose(HWND window);                 // WM_SYSCOMMAND SC_CLOSE, posted
void InjectFocus(HWND window, bool gained);    // WM_ACTIVATEAPP and WM_ACTIVATE, sent
// Key codes are USB HID keyboard usages (SDL's scancode numbering).
namespace key {
constexpr int A = 4, Z = 29, Digit1 = 30, Digit0 = 39;
constexpr int Enter = 40, Escape = 41, Backspace = 42, Tab = 43, Space = 44;
constexpr int F1 = 58, F12 = 69, Insert = 73, Home = 74, PageUp = 75, Delete = 76, End = 77, PageDown = 78;
constexpr int Right = 79, Left = 80, Down = 81, Up = 82;
constexpr int LeftControl = 224, LeftShift = 225, LeftAlt = 226;
}  // namespace key
void InjectKey(HWND window, int usbUsage, bool down, bool alt = false);
void InjectText(HWND window, const std::string& utf8);       // WM_CHAR per CP932 byte
void InjectMouseMove(HWND window, int x, int y);             // client coordinates
void InjectMouseButton(HWND window, int button, bool down, int x, int y);  // 1 left, 2 middle, 3 right
void InjectWheel(HWND window, int notches);                  // positive: away from the user
void InjectResize(HWND window, int clientWidth, int clientHeight);  // a user's drag
void InjectMaximize(HWND window);
void InjectMinimize(HWND window);
void InjectRestore(HWND window);
// WM_DROPFILES, only to a window with WS_EX_ACCEPTFILES (names in UTF-8).
void InjectDropFiles(HWND window, const std::vector<std::string>& utf8Names);
// WM_DISPLAYCHANGE to every window: the new desktop size and depth.
void InjectDisplayChange(int width, int height, int bitsPerPixel);
// A drop as WM_DROPFILES carries it, for a test that sends the message itself; freed by
// DragFinish.
HDROP MakeDrop(const std::vector<std::string>& utf8Names);

}  // namespace ptest

// ---- sound ------------------------------------------------------------------------------------------
// The sound output (platform/backend/audio.h) follows the backend's name. The null
// device always exists: it mixes on the platform clock (real or fast), catching up at
// every sound call and every message-pump pass, until a test takes it over with
// PullAudio or SetAudioFramesPerPumpPass; from then on it mixes only when told.
//
// Environment: QZ_AUDIO_CAPTURE=file  the null device writes everything it mixes to
// this Linux path as a 16-bit PCM WAVE in the output's format (default: no capture).
//
// Faults by name (FailCall), each for the nth next call as usual:
//   "SoundDevice"                    opening the sound device (IDirectSound::Initialize,
//                                    IDirectMusicPerformance8::InitAudio): DSERR_NODRIVER
//   "CreateDirectSound", "CreateDirectMusicLoader", "CreateDirectMusicPerformance",
//   "CreateDirectMusic"              CoCreateInstance of that class: E_FAIL
//   "CreateSoundBuffer"              any IDirectSound::CreateSoundBuffer: DSERR_ALLOCATED
//   "CreateSoundBuffer:80E2"         only requests with exactly these flags (hex, upper case)
//   "DuplicateSoundBuffer"           IDirectSound::DuplicateSoundBuffer: DSERR_ALLOCATED
//   "LockSoundBuffer"                IDirectSoundBuffer::Lock: DSERR_INVALIDCALL
//   "LoadLibraryA:DSOUND.DLL"        LoadLibraryA("DSOUND.DLL") gives NULL
//   "GetProcAddress:DirectSoundEnumerateA"  its look-up gives NULL
//   "MciSequencerPort"               MCI_STATUS MCI_SEQ_STATUS_PORT reports port 0, not
//                                    the MIDI mapper
//   "PlaySegmentEx"                  IDirectMusicPerformance8::PlaySegmentEx: E_FAIL
//   "SegmentNeverStarts"             PlaySegmentEx succeeds but the segment never sounds
//   "MidiLibrary"                    FluidSynth, loaded when the first song is checked, is
//                                    not found: no song opens or plays from then on (one
//                                    line is logged)

#include <vector>

#include "platform/dsound.h"

namespace ptest {

// Mixes `frames` frames now and returns them, interleaved in the output's channels
// (stereo unless the primary buffer's format says mono). Takes the null device over.
// Any thread, but not inside a sound call.
std::vector<int16_t> PullAudio(int frames);
// Each message-pump pass mixes this many frames (0: none, the default), so calls that
// play and wait come to an end; what they mixed is kept for TakeMixedAudio. A value
// above 0 takes the null device over.
void SetAudioFramesPerPumpPass(int frames);
std::vector<int16_t> TakeMixedAudio();  // what pump passes mixed since the last take

// The output's format: 44100 Hz, 2 channels, 16 bits unless a primary buffer's
// SetFormat chose another. The mix is always made in 16 bits.
struct AudioOutputFormat {
    int rate = 44100;
    int channels = 2;
    int bits = 16;
};
AudioOutputFormat GetAudioOutputFormat();

// What IDirectSound::GetCaps answers (dwSize is ignored); null: every primary and
// secondary mono, stereo, 8-bit and 16-bit flag, secondary rates 100-200000, no
// hardware memory.
void OverrideSoundCaps(const DSCAPS* caps);

}  // namespace ptest

// ==== files: drive C:, the temporary folder, opened names and file faults ==================
// Environment:
//   TMPDIR   the folder GetTempPathA reports (default /tmp)
// Fault injection (FailCall) also takes these names:
//   "CreateFileA:<name>"  the nth open of exactly that CP932 name fails (ERROR_ACCESS_DENIED)
//   "ReadFile"            the read fails (FALSE, nothing delivered)
//   "ReadFileShort"       the read succeeds but delivers only half the bytes asked
//   "WriteFile"           the write fails (FALSE, nothing written)
//   "WriteFileShort"      the write succeeds but writes only half the bytes asked
//   "SetFilePointer"      the move fails (INVALID_SET_FILE_POINTER, pointer unchanged)
//   "CloseHandle"         the close fails (FALSE) and the handle stays open
//   "GetTempPathA", "GetTempFileNameA"  the call fails (0)
#include <string>
#include <vector>

namespace ptest {

// The Linux folder that drive C:'s root stands for, so that "C:\GAME\DATA.QZA" can live in
// a test's folder; the current directory then reads as a path below it. "" (default):
// the Linux root.
void MapDriveC(const std::string& linuxFolder);
// The folder GetTempPathA reports; "" (default): $TMPDIR, else /tmp.
void SetTempFolder(const std::string& linuxFolder);
// While on (default off), CreateFileA keeps every name it is asked to open, as given.
void RecordFileOpens(bool on);  // also forgets what was recorded
std::vector<std::string> TakeRecordedFileOpens();

}  // namespace ptest

// ==== DirectDraw, GDI bitmaps and presenting ===============================================
// Environment:
//   QZ_CAPTURE=dir   every presented frame is also written, before the backend sees it,
//                    as dir/frame-000000.png, frame-000001.png ... (default: no capture)
//   QZ_FRAMEHASH=file
//                    after every present a line "n hash" is appended to file: the present's
//                    number n, counted from 0 over the process, in decimal, and the frame's
//                    HashFrame as 16 lower-case hex digits (default: no log)
//   QZ_SCREENSHOT=n:file[,n:file...]
//                    right after present n (counted from 0, as QZ_CAPTURE numbers its
//                    files) what ReadBackScreen gives is written to file as PNG: the
//                    shown window under sdl, the presented frame under null (default:
//                    none). An entry without a number and a file is reported and skipped.
// Fault injection (FailCall) also takes these names, each failing the nth next call:
//   "CreateDirectDraw"        CoCreateInstance(CLSID_DirectDraw7, ...): E_FAIL
//   "DirectDrawInitialize"    IDirectDraw7::Initialize: DDERR_GENERIC
//   "CreateClipper", "CreatePalette"   DDERR_GENERIC
//   "CreateSurface:Primary", "CreateSurface:FlipChain", "CreateSurface:Offscreen",
//   "CreateSurface:Texture", "CreateSurface:ZBuffer"   CreateSurface of that kind:
//                             DDERR_OUTOFMEMORY
//   "GetAttachedSurface"      DDERR_NOTFOUND
//   "LockSurface"             IDirectDrawSurface7::Lock: DDERR_GENERIC
//   "GetDCSurface"            IDirectDrawSurface7::GetDC: DDERR_CANTCREATEDC
//   "CreateDIBSection"        NULL, with NULL bits
//   "CreateDIBSection:NoBits" the section is made but NULL bits are handed out
//   "SetDIBitsToDevice", "StretchDIBits"   0 lines copied
// Main thread, like the DirectDraw layer.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ddraw.h"

namespace ptest {

// The nth next SetCooperativeLevel records its flags and answers `result` (which may be
// one of the results the library tolerates, DDERR_HWNDALREADYSET ...).
void FailCooperativeLevel(HRESULT result, int nth = 1);
// SetDisplayMode refuses this mode with DDERR_INVALIDMODE; refresh -1 refuses it at every
// rate. Refresh rates other than 0 and 60 are always refused. Cleared by ResetControls.
void RefuseDisplayMode(int width, int height, int bits, int refresh);
// The format a 16-bit display mode reports: R5G6B5 (default), X1R5G5B5, or one of class 3
// (blue in the top bits: B5G6R5).
enum class Display16 { R5G6B5, X1R5G5B5, Other };
void SetDisplay16Format(Display16 format);
// Video memory that video surfaces are charged to (default 16 MB). The primary and its
// flip chain are display memory and are not charged.
void SetVideoMemoryBudget(uint64_t bytes);
// GetVerticalBlankStatus and WaitForVerticalBlank, or GetScanLine, answer DDERR_UNSUPPORTED.
void SetNoVerticalBlank(bool on);
void SetNoScanLine(bool on);
// The one overlay format whose surfaces succeed: "UYVY", "YUY2", "RGB555", "RGB565", or ""
// (default): every overlay fails with DDERR_NOOVERLAYHW.
void AllowOverlayFormat(const char* name);
// Marks a surface, or every video-memory surface, lost: IsLost, Lock, the blits, Flip and
// GetDC answer DDERR_SURFACELOST until Restore (which zeroes the pixels).
void MarkSurfaceLost(IDirectDrawSurface7* surface);
void MarkVideoSurfacesLost();
// Every Lock moves the surface's pixels to a new block and frees the old one, so a
// pointer kept past Unlock is caught by AddressSanitizer (default off).
void SetRelocateOnLock(bool on);
// While on (default off), fills, copies, stretched copies and presents take DirectDraw's
// general per-pixel code instead of its row and SIMD fast paths. Both give the same bytes;
// tests compare them.
void ForceDDrawGeneralPath(bool on);
// The strings GetDeviceIdentifier gives ("" and "": the platform's own). A string as long
// as its 512-byte field or longer fills the field with no terminator, as a driver may.
// FailCall("GetDeviceIdentifier") makes the call fail with DDERR_GENERIC.
void SetDeviceIdentifier(const std::string& driver, const std::string& description);
// Surfaces now held by Lock or GetDC.
int GetLockedSurfaceCount();
// "primary", "backbuffer1", "offscreen3", "texture4", "zbuffer5", "overlay6": the kind and
// the creation number of a surface of this layer; "" for anything else.
std::string GetSurfaceLabel(IDirectDrawSurface7* surface);

// A journal of DirectDraw and GDI calls and of the main thread's Sleep durations, in call
// order.
struct GraphicsCall {
    std::string object;  // a surface label, "ddraw", "clipper", "palette", "gdi", "kernel"
    std::string method;  // "Blt", "BltFast", "Lock", "Unlock", "Flip", "CreateSurface", "Sleep" ...
    uint32_t flags = 0;  // the call's flags; CreateSurface: the caps asked; Sleep: milliseconds
    RECT rect = {};      // the destination or locked rectangle ({0, 0, 0, 0}: none or whole)
    RECT rect2 = {};     // the source rectangle
    int32_t result = 0;  // HRESULT, or BOOL for GDI
};
void RecordGraphicsCalls(bool on);  // default off; also forgets what was recorded
std::vector<GraphicsCall> TakeGraphicsCalls();

// The last frame handed to the backend (X8R8G8B8, top row first) and the count of frames.
struct PresentedFrame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};
PresentedFrame GetLastPresentedFrame();
uint64_t GetPresentedFrameCount();
// What the machine shows now: the sdl window's content (in full screen the whole desktop,
// the frame letterboxed in it), or the null backend's last frame. False: nothing shown.
bool ReadBackScreen(std::vector<uint32_t>* pixels, int* width, int* height);
// Where presented frames are written as PNG files ("": nowhere; default QZ_CAPTURE). The
// numbering restarts at 0 whenever the folder is set.
void SetCaptureFolder(const std::string& folder);
// The log each present appends its hash line to, in QZ_FRAMEHASH's form ("": none; default
// QZ_FRAMEHASH). The file is appended to, never truncated.
void SetFrameHashLog(const std::string& linuxPath);
// The one hash of a presented frame: 64-bit FNV-1a over its pixels, each taken as four
// bytes, least significant first, top row first.
uint64_t HashFrame(const uint32_t* pixels, size_t count);
// Called on the main thread after every present, once the backend has the frame, with the
// present's number (as the hash log counts it) and the frame (X8R8G8B8, top row first).
// Null: none (the default). A test's hook may read the game and press keys; it must not
// present.
using PresentHook = void (*)(uint64_t frame, const uint32_t* pixels, int width, int height);
void SetPresentHook(PresentHook hook);
// The screenshots to take, in QZ_SCREENSHOT's form ("": none; default QZ_SCREENSHOT).
// Presents are counted from 0 again whenever the list is set.
void SetScreenshots(const std::string& list);

}  // namespace ptest

// ==== Direct3D ==============================================================================
// Fault injection (FailCall) also takes these names, each failing the nth next call:
//   "QueryDirect3D"          IDirectDraw7::QueryInterface(IID_IDirect3D7): E_NOINTERFACE
//   "EnumDevices", "EnumZBufferFormats", "EnumTextureFormats"   DDERR_GENERIC, no callback
//   "CreateDevice"           IDirect3D7::CreateDevice: DDERR_GENERIC
//   "SetTextureStageState"   DDERR_GENERIC, nothing stored
//   "SetViewport"            DDERR_GENERIC, nothing stored
// The DirectDraw layer's "LockSurface", "CreateSurface:Texture" and "GetDCSurface" fail
// texture locks, texture creation and GetDC. Main thread, like the layer.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d.h"

namespace ptest {

// While on (default off), every Direct3D draw takes the rasterizer's reference path:
// scalar code, no specialised spans, no rectangle rows. Fast paths give the same bytes,
// so tests compare the two.
void ForceD3DGeneralPath(bool on);

// What the enumerations answer, until ResetControls. Default: one device (the
// description DefaultD3DDeviceDesc gives: IID_IDirect3DHALDevice, DDBD_16 | DDBD_32,
// texture sides 1 to 2048, D3DPTEXTURECAPS_POW2 without SQUAREONLY); one depth format
// (DDPF_ZBUFFER, 16 bits, mask 0xFFFF); the texture formats R5G6B5, X1R5G5B5,
// A1R5G5B5, A4R4G4B4, X8R8G8B8, A8R8G8B8 in that order. CreateDevice accepts the GUIDs
// of the listed devices; scripted texture formats are only listed (entries of other
// kinds, luminance, bump, FourCC or alpha-only, are for the callbacks to skip).
struct D3DDeviceScript {
    std::string description;
    std::string name;
    D3DDEVICEDESC7 desc = {};
};
D3DDEVICEDESC7 DefaultD3DDeviceDesc();
void ScriptD3DDevices(const std::vector<D3DDeviceScript>& devices);
void ScriptD3DZBufferFormats(const std::vector<DDPIXELFORMAT>& formats);
void ScriptD3DTextureFormats(const std::vector<DDPIXELFORMAT>& formats);

// The next `calls` IDirect3DDevice7::Load calls answer DDERR_SURFACEBUSY (0x887601AE).
void SetD3DLoadBusy(int calls);

// Device loss: every surface of the DirectDraw layer reports lost until restored.
void MarkAllSurfacesLost();

// A log of Direct3D calls (object and devices) with their arguments and results, in order.
struct D3DCall {
    std::string method;           // "SetRenderState", "DrawPrimitive", "EnumDevices" ...
    std::vector<uint64_t> args;   // numbers as passed; surfaces and GUID pointers as addresses
    int32_t result = 0;           // HRESULT
    std::vector<uint8_t> vertices;  // DrawPrimitive, DrawIndexedPrimitive: the vertex bytes
    std::vector<uint16_t> indices;  // DrawIndexedPrimitive: the indices
};
void RecordD3DCalls(bool on);  // default off; also forgets what was recorded
std::vector<D3DCall> TakeD3DCalls();

// What a device holds: its states (render states by D3DRENDERSTATETYPE, 0-255; stage
// states by stage and D3DTEXTURESTAGESTATETYPE, 0-24), textures, target, viewport and
// whether a scene is open. False for anything that is not a live device.
struct D3DDeviceState {
    uint32_t renderStates[256] = {};
    uint32_t stageStates[8][25] = {};
    IDirectDrawSurface7* textures[8] = {};
    IDirectDrawSurface7* target = nullptr;
    D3DVIEWPORT7 viewport = {};
    bool inScene = false;
};
bool GetD3DDeviceState(IDirect3DDevice7* device, D3DDeviceState* state);

}  // namespace ptest

// ==== input: keys, pads, force feedback, the mouse, the input method, scripts ===============
// Environment:
//   QZ_INPUT=file   plays an input script (default: none). The file is text, one event a
//                   line: "frame device event [value]"; '#' starts a comment:
//                     120 key 2C 1          DirectInput key code in hex; 1 down, 0 up
//                     130 pad1 axis0 -32768 a raw SDL axis value, -32768..32767 (axis 0-7)
//                     130 pad1 button3 1    1 held, 0 released (button 0-31)
//                   Pads pad1-pad8. The events of frame f take effect at the main thread's
//                   first message pump after f frames have been presented; frame 0 at once.
//                   The pads up to the highest one named are attached from the start (6
//                   axes, 32 buttons, named "Script Pad n"). While a script runs, the
//                   machine's own keys, text and pads are ignored. A file that cannot be read,
//                   or a line that is not an event, plays nothing (one line on stderr).
// Fault injection (FailCall) also takes these names, each failing the nth next call
// (<device> is Keyboard, Mouse or Pad):
//   "CreateDirectInput"           CoCreateInstance(CLSID_DirectInput, ...): E_FAIL
//   "DirectInputInitialize"       IDirectInput7A::Initialize: DIERR_GENERIC
//   "CreateDeviceEx:<device>"     DIERR_GENERIC
//   "SetDataFormat:<device>", "SetCooperativeLevel:<device>", "SetEventNotification:<device>",
//   "Acquire:<device>", "GetDeviceState:<device>"   DIERR_GENERIC (a failed read also
//                                 unacquires the device, as a lost one is)
//   "SetProperty:<device>"        any property; or one of them: "SetProperty:Keyboard:BufferSize",
//                                 "SetProperty:Pad:Range<axis>", "SetProperty:Pad:DeadZone<axis>"
//                                 with <axis> X, Y, Z, Rx, Ry, Rz, Slider0, Slider1
//   "CreateEffect"                DIERR_GENERIC
//   "joyGetDevCapsA", "joyGetPosEx"   MMSYSERR_ERROR
//   "ImmGetDefaultIMEWnd", "ImmGetContext"   NULL
//   "ImmGetCompositionStringA"    IMM_ERROR_GENERAL
//   "ImmGetCandidateListA", "ImmSetOpenStatus", "ImmGetOpenStatus"   0
#include <string>
#include <vector>

namespace ptest {

// ---- pads ----------------------------------------------------------------------------------------
// A virtual pad, on either backend, attached after the pads already there. Its values are
// raw SDL values; DirectInput and the joystick functions read them as they read a machine
// pad's. With forceFeedback, a fake device keeps every effect made on it.
struct PadSpec {
    std::string name = "Virtual Pad";  // UTF-8
    int axes = 2;      // 0-8
    int buttons = 8;   // 0-32
    int hats = 0;      // 0-4
    bool forceFeedback = false;
};
int AttachPad(const PadSpec& spec);  // the pad's id (1, 2, ...)
void DetachPad(int pad);             // it reads as unplugged from then on
void SetPadAxis(int pad, int axis, int value);  // -32768..32767
void SetPadButton(int pad, int button, bool held);
void SetPadHat(int pad, int hat, int sdlHat);   // SDL hat bits: 1 up, 2 right, 4 down, 8 left

// What a fake force-feedback device has been asked, one record per effect made on it.
struct PadEffectRecord {
    std::string kind;  // "sine" or "constant"
    uint32_t duration = 0;  // microseconds; 0xFFFFFFFF: until stopped
    uint32_t gain = 0;
    int magnitude = 0;
    uint32_t period = 0;  // microseconds
    uint32_t attackLevel = 0, attackTime = 0, fadeLevel = 0, fadeTime = 0;
    int starts = 0;
    int stops = 0;
    bool running = false;
    bool released = false;
};
std::vector<PadEffectRecord> GetPadEffects(int pad);

// ---- keys and the mouse -----------------------------------------------------------------------------
// Presses or releases the key of a DirectInput code, as the machine would: through the
// foreground window's messages when one of ours is in front, else straight into the key
// state.
void PressKey(int dik, bool down);
// Where the null backend's mouse is on the desktop (default 0, 0).
void SetMousePosition(int x, int y);

// ---- counts ---------------------------------------------------------------------------------------
enum class InputDevice { Keyboard, Mouse, Pad };
int GetDeviceReadCount(InputDevice device);  // GetDeviceState calls since the last reset
int GetLiveInputObjects();  // DirectInput objects, devices and effects not yet released

// ---- scripts --------------------------------------------------------------------------------------
// Plays the script in this Linux file ("": stops playing); false when it cannot be read or
// parsed. Replaces QZ_INPUT's script.
bool SetInputScript(const std::string& linuxPath);
bool IsInputScriptRunning();
// Counts presented frames for the script; the present calls it once per frame.
void AdvanceInputFrames(int frames);
int GetInputFrame();

// ---- the input method (fake IMM) -------------------------------------------------------------------
// Each sends the messages imm.h describes to the window (from another thread they reach
// it at its owner's next peek).
// The composition becomes the text, the cursor after `cursorChars` characters, with
// clauses starting at the given character offsets (the end is added); "" ends it.
void ImeCompose(HWND window, const std::string& utf8, int cursorChars, const std::vector<int>& clauseStarts = {});
// Text committed: the composition's result, or WM_CHAR when there is none.
void ImeCommit(HWND window, const std::string& utf8);
// The candidate list (IMN_OPENCANDIDATE the first time, IMN_CHANGECANDIDATE after); an
// empty one leaves no list (its size reads 0).
void ImeShowCandidates(HWND window, const std::vector<std::string>& utf8, int selection);
void ImeCloseCandidates(HWND window);  // IMN_CLOSECANDIDATE
// The user opens or closes the IME (IMN_SETOPENSTATUS when it changes).
void ImeSwitchOpen(HWND window, bool open);

// ---- window extras ------------------------------------------------------------------------------------
// Adds an item at the end of a menu (the library never adds items itself); a separator
// has no name. False for a bad menu handle.
bool AppendMenuItem(HMENU menu, const std::string& cp932Name, UINT id, bool separator = false, HMENU subMenu = nullptr);
// The rectangles of a window's region, top to bottom, left to right, vertically adjacent
// equal rows merged; false when the window has no region.
bool GetWindowRegionRects(HWND window, std::vector<RECT>* rects);
// The rectangles of a region handle, as above; false for a handle that names no region.
bool GetRegionRects(HRGN region, std::vector<RECT>* rects);

}  // namespace ptest

// ==== GDI fonts ==================================================================================
// The ANSI code page, which DEFAULT_CHARSET fonts use, follows OverrideOemCodePage (932
// unless a test sets 949). Fault injection (FailCall) also takes "GetGlyphOutlineA" (the
// call answers GDI_ERROR). Main thread, like the GDI layer.
#include <cstdint>
#include <string>
#include <vector>

namespace ptest {

// While on, every CreateFontA asking for this character set answers NULL (-1: every
// character set). Default: none; cleared by ResetControls.
void FailCreateFont(int charSet, bool fail);

// A synthetic face: a face name that CreateFontA takes before any installed face, at
// every height, with fixed metrics and glyphs given per character code (the code as
// GetGlyphOutlineA receives it, no conversion). Its GGO_GRAY4_BITMAP gives the levels as
// given; GGO_BITMAP sets the pixels whose level is 8 or more. A glyph may be larger than
// any cell. A code without a glyph gives `missing`. Registered until ResetControls.
struct SyntheticGlyph {
    int width = 0, height = 0;    // the ink box; 0 x 0: no ink (answers size 0, a 1 x 1 box)
    int originX = 0, originY = 0; // gmptGlyphOrigin: ink's left from the pen, top above the baseline
    int advance = 0;              // gmCellIncX
    std::vector<uint8_t> levels;  // width x height levels 0..16, top row first
};
struct SyntheticFace {
    std::string name;  // UTF-8, matched exactly
    int height = 16;   // tmHeight
    int ascent = 14;   // tmAscent; tmDescent = height - ascent
    int maxCharWidth = 16;
    int aveCharWidth = 0;  // 0: maxCharWidth / 2
    std::vector<std::pair<UINT, SyntheticGlyph>> glyphs;
    SyntheticGlyph missing;
};
void RegisterSyntheticFace(const SyntheticFace& face);  // replaces a face of the same name
// GetGlyphOutlineA calls on a synthetic face for one code, every format, since it was
// registered.
int GetSyntheticGlyphCalls(const std::string& faceName, UINT code);

// What a font handle stands for; exists is false for anything that is not a live font.
struct FontView {
    bool exists = false;
    bool synthetic = false;
    std::string family;    // the matched family, UTF-8
    std::string file;      // the face's file ("" for a synthetic face)
    std::string language;  // the language asked of fontconfig, from the character set: "ja" or "ko"
    int codePage = 0;      // how GetGlyphOutlineA reads codes: 932 or 949
    int emHeight = 0;      // pixels per em
    bool emboldened = false;  // bold asked of a face without a bold style
};
FontView GetFontView(HFONT font);

}  // namespace ptest

// ==== movies: DirectShow multimedia streams and the overlay model ==========================
// Streams (dshow.h) decode on the calling thread, and the sound track on the thread that
// mixes; both follow the stream clock, which runs on the platform clock (real or fast).
// Fault injection (FailCall) also takes these names, each failing the nth next call:
//   "CreateFilterGraph", "CreateMultiMediaStream"   CoCreateInstance of that class: E_FAIL
//   "MultiMediaStreamInitialize"    IAMMultiMediaStream::Initialize: E_FAIL
//   "AddMediaStream:Video", "AddMediaStream:Audio"   AddMediaStream of that purpose: E_FAIL
//   "OpenFile"                      IAMMultiMediaStream::OpenFile: E_FAIL, the file untouched
//   "MovieLibraries"                FFmpeg's libraries, loaded at the first OpenFile that
//                                   reaches them, are not found: that open and every later
//                                   one give VFW_E_UNSUPPORTED_STREAM (one line is logged)
//   "GetMediaStream"                MS_E_NOSTREAM
//   "GetFormat", "CreateSample", "GetSurface"   that call of the video stream or sample: E_FAIL
//   "SampleUpdate"                  IDirectDrawStreamSample::Update: E_FAIL
//   "QueryInterface:<interface>"    E_NOINTERFACE, for IMediaControl, IMediaSeeking,
//                                   IBasicAudio, IAMMediaStream, IDirectDrawMediaStream, and
//                                   DirectDraw's IDirectDraw4, IDirectDrawSurface4 and
//                                   IDirectDrawSurface7
// "SoundDevice" (see sound) is the "no sound device" control here too: the default sound
// renderer then cannot be added (DSERR_NODRIVER). DirectDraw's "CreateSurface:Offscreen" and
// "CreateSurface:Overlay" (an overlay surface: DDERR_OUTOFMEMORY) and the kernel's
// "CreateEventA" reach the remaining set-up calls. Main thread, like DirectDraw.
#include <string>

#include "platform/ddraw.h"

namespace ptest {

// What DirectDraw's GetCaps reports for overlays, for tests that set it before start-up.
// Default: no stretching (both factors 0), no alignment flags, every alignment value 1.
// Which overlay format can be made is AllowOverlayFormat's (DirectDraw section).
struct OverlayCaps {
    DWORD minStretch = 0;  // dwMinOverlayStretch, 1000 = 1.0
    DWORD maxStretch = 0;  // dwMaxOverlayStretch
    DWORD alignFlags = 0;  // any of DDCAPS_ALIGNBOUNDARYSRC, _ALIGNSIZESRC, _ALIGNBOUNDARYDEST, _ALIGNSIZEDEST
    DWORD boundarySrc = 1, sizeSrc = 1, boundaryDest = 1, sizeDest = 1;  // dwAlignBoundarySrc ...
};
void SetOverlayCaps(const OverlayCaps& caps);

// The last successful UpdateOverlay of any overlay surface (nothing is shown).
struct OverlayPlacement {
    int updates = 0;          // successful UpdateOverlay calls since the last reset
    std::string surface;      // the overlay's label ("overlay6")
    bool shown = false;       // DDOVER_SHOW; false after DDOVER_HIDE
    RECT source = {};         // as placed; all 0 after a hide
    RECT destination = {};
};
OverlayPlacement GetLastOverlayPlacement();

// Objects of the multimedia streams not yet freed: graphs, multimedia streams and their
// records of the open file, media streams, samples, decoders and sound renderers (an
// outstanding update keeps its file's record). 0 once every reference has been released.
int GetLiveMovieObjects();

}  // namespace ptest

// ==== common controls: the toolbar ================================================================
// The toolbar (commctrl.h) is a model; nothing draws it. Main thread.
#include <vector>

#include "platform/commctrl.h"

namespace ptest {

struct ToolbarBitmap {
    HBITMAP bitmap = nullptr;  // as added or replaced
    int images = 0;            // the button count given with it
};
struct ToolbarModel {
    HWND parent = nullptr;
    int structSize = 0;                   // from TB_BUTTONSTRUCTSIZE, 0 until sent
    int bitmapWidth = 16, bitmapHeight = 15;  // from TB_SETBITMAPSIZE
    std::vector<ToolbarBitmap> bitmaps;   // in the order added
    std::vector<TBBUTTON> buttons;
};
// The toolbar window's model; false when the handle names no live toolbar.
bool GetToolbarModel(HWND toolbar, ToolbarModel* out);
// The user clicks button `index`: its parent gets WM_COMMAND (low word the button's
// command id, lParam the toolbar). False, and nothing sent, for a bad index, a separator
// or a disabled button.
bool ClickToolbarButton(HWND toolbar, int index);

}  // namespace ptest

// ==== WinSock: the resolver, faults, transfer caps and paired connects =======================
// Sockets are POSIX sockets; nothing here reaches another host.
// Fault injection (FailCall) also takes these names, each failing the nth next call:
//   "WSAStartup"       fails with WSASYSNOTREADY
//   "WSAStartup:2.2"   succeeds but answers version 2.2
//   "socket"           INVALID_SOCKET, WSAENOBUFS
//   "WSAAsyncSelect"   SOCKET_ERROR, WSAEINVAL
//   "connect"          an immediate error, WSAECONNREFUSED
//   "accept"           INVALID_SOCKET, WSAECONNABORTED
#include <cstdint>
#include <string>
#include <vector>

namespace ptest {

// A row of the resolver table: a host name and its dotted IPv4 address; an empty address
// answers the name with a 16-byte address of another family.
struct ResolverEntry {
    std::string name;
    std::string address;
};
// From this call until ResetControls, gethostbyname and gethostbyaddr answer from the
// table alone (names case-insensitively; addresses by their rows), never the system's.
void SetResolverTable(const std::vector<ResolverEntry>& entries);

// Each send on the socket (a winsock.h SOCKET) takes at most sendBytes bytes and each
// recv gives at most recvBytes (0: no cap).
void CapSocketTransfers(uintptr_t socket, int sendBytes, int recvBytes);

// The next connect to this dotted IPv4 address and port gets one end of a socketpair in
// place of a TCP connection; the test holds the other end, this POSIX descriptor (-1 on
// failure). The same poll, events and calls work on it, without ports or TIME_WAIT.
int PairNextConnect(const char* dottedAddress, int port);

int GetWinSockStartups();  // WSAStartup calls not yet matched by WSACleanup
int GetOpenSockets();      // sockets not yet closed

}  // namespace ptest
