// Input on a real SDL display (under Xvfb): an SDL virtual joystick read as pad 1, and
// key and text events pushed through SDL's own queue.
#include <SDL.h>

#include <string>

#include "../LibraryFixture.h"
#include "QzInput.h"
#include "QzInputKey.h"
#include "QzWinWindow.h"
#include "platform/dinput.h"

namespace QzInput_window_test {

namespace {

using SdlInputTest = LibraryTest;

TEST_F(SdlInputTest, AVirtualJoysticksStickAndButtonsReachThePadBits) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    ASSERT_NE(joystick, nullptr) << SDL_GetError();
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    EXPECT_EQ(g_inputState.padCount, 1);

    SDL_JoystickSetVirtualAxis(joystick, 0, -32768);
    SDL_JoystickSetVirtualAxis(joystick, 1, 20000);
    SDL_JoystickSetVirtualButton(joystick, 1, SDL_PRESSED);
    ApiProcessMessage();  // the main thread's pump reads SDL's joysticks
    EXPECT_EQ(Locked([] { return GetPadInputBits(1); }), 0x2 | 0x1 | 0x20);
    SDL_JoystickSetVirtualAxis(joystick, 0, 0);
    SDL_JoystickSetVirtualButton(joystick, 1, SDL_RELEASED);
    ApiProcessMessage();
    EXPECT_EQ(Locked([] { return GetPadInputBits(1); }), 0x1);

    EXPECT_EQ(ApiTerminateLibrary(), 0);
    SDL_JoystickClose(joystick);
    SDL_JoystickDetachVirtual(index);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

TEST_F(SdlInputTest, PushedKeyAndTextEventsReachTheKeyFlagAndTheCharacterBuffer) {
    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    HWND window = GetMainWindowHwnd();
    ptest::InjectKey(window, ptest::key::Z, true);
    ptest::InjectText(window, reinterpret_cast<const char*>(u8"zア"));
    for (int i = 0; i < 5; i++) ApiProcessMessage();
    EXPECT_EQ(Locked([] { return GetKeyPressFlag(DIK_Z); }), 1);
    const std::string ring = Locked([] {
        std::string bytes;
        for (int at = g_keyInput.readPosition; at != g_keyInput.writePosition; at = (at + 1) % kInputRingSlots)
            bytes += static_cast<char>(g_keyInput.ring[at]);
        return bytes;
    });
    EXPECT_EQ(ring, "z\x83\x41");
    ptest::InjectKey(window, ptest::key::Z, false);
    for (int i = 0; i < 5; i++) ApiProcessMessage();
    EXPECT_EQ(Locked([] { return GetKeyPressFlag(DIK_Z); }), 0);
}

}  // namespace

}  // namespace QzInput_window_test
