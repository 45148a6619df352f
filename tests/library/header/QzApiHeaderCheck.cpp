// The game's view of the library: this file sees only the game's header (its build puts
// no other library or platform folder on the include path) and calls every entry point
// the game calls, with the types the game passes. It builds and links against the
// library; run, it touches nothing unless asked, so a test can run it anywhere.
#include <cstring>
#include <type_traits>

#include "QzApi.h"
#include "QzApiDialog.h"

// The shapes the game relies on, exactly.
static_assert(std::is_same_v<decltype(&ApiSetWindowCaption), int (*)(const char*)>);
static_assert(std::is_same_v<decltype(&ApiChangeWindowMode), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiSetWindowResizableFlag), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiInitializeLibrary), int (*)()>);
static_assert(std::is_same_v<decltype(&ApiTerminateLibrary), int (*)()>);
static_assert(std::is_same_v<decltype(&ApiProcessMessage), int (*)()>);
static_assert(std::is_same_v<decltype(&ApiGetMillisecondTime), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiGetKeyPressFlag), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiGetPadInputBits), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiSetScreenMode), int (*)(int, int, int, int)>);
static_assert(std::is_same_v<decltype(&ApiGetScreenColorValue), uint32_t (*)(int, int, int)>);
static_assert(std::is_same_v<decltype(&ApiPresentScreen), int (*)()>);
static_assert(std::is_same_v<decltype(&ApiSelectDrawTarget), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiClearDrawTarget), int (*)()>);
static_assert(std::is_same_v<decltype(&ApiLoadFileToGraph), int (*)(const char*)>);
static_assert(std::is_same_v<decltype(&ApiLoadFileToDivGraph), int (*)(const char*, int, int, int, int, int, int*)>);
static_assert(std::is_same_v<decltype(&ApiDeriveGraph), int (*)(int, int, int, int, int)>);
static_assert(std::is_same_v<decltype(&ApiDeleteOneGraph), int (*)(int, int)>);
static_assert(std::is_same_v<decltype(&ApiDeleteAllGraphs), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiDrawPlainGraph), int (*)(int, int, int, int)>);
static_assert(std::is_same_v<decltype(&ApiDrawScaleRotateGraph), int (*)(int, int, double, double, int, int, int)>);
static_assert(std::is_same_v<decltype(&ApiDrawRectangle), int (*)(int, int, int, int, uint32_t, int)>);
static_assert(std::is_same_v<decltype(&ApiSetBlendMode), int (*)(int, int)>);
static_assert(std::is_same_v<decltype(&ApiSetSoundSystemMode), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiDeleteAllSounds), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiLoadFileToSound), int (*)(const char*, int)>);
static_assert(std::is_same_v<decltype(&ApiSetSoundHandleVolume), int (*)(int, int)>);
static_assert(std::is_same_v<decltype(&ApiPlaySoundHandle), int (*)(int, int, int)>);
static_assert(std::is_same_v<decltype(&ApiStopSoundHandle), int (*)(int)>);
static_assert(std::is_same_v<decltype(&ApiPlaySingleSoundFile), int (*)(const char*, int)>);
static_assert(std::is_same_v<decltype(&ApiStopSingleSoundFile), int (*)()>);
static_assert(std::is_same_v<decltype(&ApiPlaySingleMusicFile), int (*)(const char*, int)>);
static_assert(std::is_same_v<decltype(&ApiStopSingleMusicFile), int (*)()>);
static_assert(std::is_same_v<decltype(&MessageBoxA), int (*)(HWND, const char*, const char*, uint32_t)>);

namespace {

// Start-up, one frame, a music switch and the end, as the game calls them.
int CallAsTheGame() {
    int failures = 0;
    ApiSetWindowCaption("ZARNOVIK");
    if (MessageBoxA(nullptr, "FULL SCREEN GO", "ZARNOVIK", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        ApiChangeWindowMode(1);
        ApiSetWindowResizableFlag(1);
    }
    if (ApiInitializeLibrary() == -1) return 1;
    ApiSetScreenMode(640, 480, 32, 60);

    const int sheet = ApiLoadFileToGraph("data/jiki.bmp");
    const int ship = ApiDeriveGraph(0, 0, 32, 32, sheet);
    int font[255];
    failures += ApiLoadFileToDivGraph("data/font.bmp", 255, 16, 16, 12, 12, font) != 0;
    const unsigned int orange = ApiGetScreenColorValue(254, 191, 114);

    ApiSetSoundSystemMode(1);
    ApiDeleteAllSounds(0);
    const int music = ApiLoadFileToSound("data/zarnovik-title.ogg", 3);
    const int hit = ApiLoadFileToSound("data/hit.wav", 3);
    ApiSetSoundHandleVolume(8500, hit);
    ApiPlaySoundHandle(music, 3, 1);

    const double scale = 1.0, angle = 3.14159265358979 / 2;
    ApiSetBlendMode(0, 100);
    ApiDrawPlainGraph(320, 400, ship, 1);
    ApiDrawScaleRotateGraph(206, 246, scale, angle, font[33], 1, 0);
    ApiSetBlendMode(2, 200);
    ApiDrawRectangle(20, 300, 620, 320, orange, 1);
    ApiSetBlendMode(0, 100);
    ApiPlaySoundHandle(hit, 1, 1);
    const int escape = ApiGetKeyPressFlag(1);
    const int bits = ApiGetPadInputBits(0x1001);
    if (escape == 0 && (bits & 0x2000) != 0) ApiPlaySoundHandle(hit, 1, 1);

    if (ApiProcessMessage() == -1) failures++;
    ApiPresentScreen();
    ApiSelectDrawTarget(-2);
    ApiClearDrawTarget();
    const int start = ApiGetMillisecondTime(0);
    while (ApiGetMillisecondTime(0) - start <= 16) {
    }

    ApiStopSoundHandle(music);
    ApiStopSingleMusicFile();
    ApiSetSoundSystemMode(0);
    ApiPlaySingleMusicFile("data/titl.mid", 3);
    ApiStopSingleSoundFile();
    ApiPlaySingleSoundFile("data/zarnovik-title.ogg", 3);

    ApiDeleteOneGraph(ship, 0);
    ApiDeleteAllGraphs(0);
    ApiDeleteAllSounds(0);
    ApiTerminateLibrary();
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    // Only on request: the calls start a real library in the current folder.
    if (argc > 1 && std::strcmp(argv[1], "--call-as-the-game") == 0) return CallAsTheGame() == 0 ? 0 : 1;
    return 0;
}
