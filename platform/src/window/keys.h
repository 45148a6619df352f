// window/keys.h: the key table and the key state (keys.cpp), shared by the event
// translation, GetKeyboardState, DirectInput's keyboard and input scripts. Any thread.
#pragma once

#include <cstdint>

namespace window {

// A key of the usage went down or up: updates the DirectInput and virtual-key state
// (signalling DirectInput keyboards when it changed) and returns the key's virtual-key
// code for its messages, or 0 for a key the table does not have.
int UpdateKeyState(int usbUsage, bool down);
// The usage of the first key that gives this DirectInput code, or 0.
int UsageOfDik(int dik);
// 256 bytes by DirectInput code, 0x80 while held.
void ReadDikState(uint8_t out[256]);
// Every key up (ptest::ResetControls).
void ReleaseAllKeys();

// A key of an input script (throughMachine false) or of a test (true: the sdl backend
// takes it through SDL's queue): the foreground window's messages when one of ours is
// in front, else straight into the key state. Usage 0 does nothing (events.cpp).
void PressKey(int usbUsage, bool down, bool throughMachine);

}  // namespace window
