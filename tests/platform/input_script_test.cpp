// Input scripts (QZ_INPUT): the reader's rules, and playing keys and pads frame by frame
// through the same state and messages as the machine's input.
#include "TempDir.h"
#include "dinput/input.h"
#include "input_support.h"
#include "window/keys.h"

namespace input_script_test {

namespace {

using inputtest::InputTest;

struct ParseCase {
    const char* text;
    bool ok;
    const char* error;  // the start of the message
};
const ParseCase kParseCases[] = {
    {"", true, ""},
    {"# only a comment\n\n   \r\n", true, ""},
    {"120 key 2C 1\n130 pad1 axis0 -32768 # left\n130 pad1 button3 1\n", true, ""},
    {"0 key ff 0", true, ""},
    {"2147483647 pad8 axis7 32767", true, ""},
    {"x key 2C 1", false, "line 1: the frame"},
    {"-1 key 2C 1", false, "line 1: the frame"},
    {"2147483648 key 2C 1", false, "line 1: the frame"},
    {"1 key 2C", false, "line 1: a key event"},
    {"1 key 12C 1", false, "line 1: the key code"},
    {"1 key 2C 2", false, "line 1: a key is"},
    {"\n1 pad0 axis0 0", false, "line 2: the device"},
    {"1 pad9 axis0 0", false, "line 1: the device"},
    {"1 pad1 axis8 0", false, "line 1: a pad event is axis0"},
    {"1 pad1 axis0 32768", false, "line 1: an axis value"},
    {"1 pad1 button32 1", false, "line 1: a pad event is axis0"},
    {"1 pad1 button-1 1", false, "line 1: a pad event is axis0"},
    {"1 pad1 button0 1 9", false, "line 1: a pad event is"},
    {"1 mouse x 3", false, "line 1: the device"},
};

TEST(InputScriptReader, AcceptsEventsAndNamesTheFirstBadLine) {
    for (const ParseCase& c : kParseCases) {
        input::InputScript script;
        std::string error;
        EXPECT_EQ(input::ParseInputScript(c.text, &script, &error), c.ok) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " -> " << error;
    }
}

TEST(InputScriptReader, KeepsFileOrderWithinAFrameAndCountsPads) {
    input::InputScript script;
    ASSERT_TRUE(input::ParseInputScript("5 key 01 1\n2 pad3 button0 1\n2 pad1 axis1 -5\n5 key 01 0\n", &script,
                                        nullptr));
    ASSERT_EQ(script.events.size(), 4u);
    EXPECT_EQ(script.events[0].pad, 3);
    EXPECT_EQ(script.events[1].value, -5);
    EXPECT_EQ(script.events[2].value, 1);
    EXPECT_EQ(script.events[3].value, 0);
    EXPECT_EQ(script.padCount, 3);
}

class InputScriptTest : public InputTest {
protected:
    bool Play(const std::string& text) {
        qztest::WriteWholeFile(dir_.file("input.txt"), text);
        return ptest::SetInputScript(dir_.file("input.txt"));
    }
};

TEST_F(InputScriptTest, EventsTakeEffectOnceTheirFrameHasBeenPresented) {
    ASSERT_TRUE(Play("0 pad2 axis0 32767\n2 key 2C 1\n2 pad1 button3 1\n3 key 2C 0\n"));
    EXPECT_TRUE(ptest::IsInputScriptRunning());
    Start();
    ASSERT_EQ(Pads().size(), 2u) << "pads up to the highest named, from the start";
    IDirectInputDevice7A* first = OpenPad(0, false);
    IDirectInputDevice7A* second = OpenPad(1, false);
    inputtest::PumpAll();
    EXPECT_EQ(Read(second).lX, 65535) << "frame 0 at the first pump";
    ptest::AdvanceInputFrames(1);
    inputtest::PumpAll();
    EXPECT_EQ(Read(first).rgbButtons[3], 0);
    EXPECT_TRUE(inputtest::Take({WM_KEYDOWN}).empty());
    ptest::AdvanceInputFrames(1);
    inputtest::PumpAll();
    EXPECT_EQ(Read(first).rgbButtons[3], 0x80);
    std::vector<inputtest::Message> keys = inputtest::Take({WM_KEYDOWN, WM_KEYUP});
    ASSERT_EQ(keys.size(), 1u) << "through the window's messages";
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>('Z'));
    BYTE state[256];
    GetKeyboardState(state);
    EXPECT_EQ(state['Z'], 0x80);
    ptest::AdvanceInputFrames(1);
    inputtest::PumpAll();
    GetKeyboardState(state);
    EXPECT_EQ(state['Z'], 0);
    EXPECT_EQ(ptest::GetInputFrame(), 3);
    first->Release();
    second->Release();
}

TEST_F(InputScriptTest, StoppingTheScriptUnplugsItsPads) {
    ASSERT_TRUE(Play("5 pad1 axis0 1\n"));
    Start();
    IDirectInputDevice7A* pad = OpenPad(0, false);
    ASSERT_NE(pad, nullptr);
    EXPECT_TRUE(ptest::SetInputScript(""));
    EXPECT_FALSE(ptest::IsInputScriptRunning());
    EXPECT_TRUE(Pads().empty());
    HRESULT result;
    Read(pad, &result);
    EXPECT_EQ(result, DIERR_INPUTLOST);
    pad->Release();
}

TEST_F(InputScriptTest, ABadScriptPlaysNothing) {
    EXPECT_FALSE(Play("1 pad1 axis0 0\n1 pad1 wobble 3\n"));
    EXPECT_FALSE(ptest::IsInputScriptRunning());
    Start();
    EXPECT_TRUE(Pads().empty());
    EXPECT_FALSE(ptest::SetInputScript(dir_.file("missing.txt")));
}

}  // namespace

}  // namespace input_script_test
