// FakeApi.cpp: the recording entry points.
#include "FakeApi.h"

#include "QzApi.h"
#include "QzApiDialog.h"

namespace fakeapi {

std::vector<Call> log;
std::map<std::string, int> results;
std::function<int()> pad;
std::function<int(int)> keys;
uint32_t clockNow = 0;
uint32_t clockStep = 1;
int messageBoxAnswer = 7;
int presents = 0;
int nextHandle = 1000;

void Reset() {
    log.clear();
    results.clear();
    pad = nullptr;
    keys = nullptr;
    clockNow = 0;
    clockStep = 1;
    messageBoxAnswer = 7;
    presents = 0;
    nextHandle = 1000;
}

std::vector<Call> CallsOf(const std::string& name) {
    std::vector<Call> calls;
    for (const Call& call : log)
        if (call.name == name) calls.push_back(call);
    return calls;
}

static int Record(const char* name, std::vector<int64_t> args, const char* text = nullptr) {
    log.push_back({name, std::move(args), text ? text : ""});
    auto found = results.find(name);
    return found == results.end() ? 0 : found->second;
}

// A load: its set result, else a fresh handle.
static int RecordLoad(const char* name, std::vector<int64_t> args, const char* text = nullptr) {
    int result = Record(name, std::move(args), text);
    return results.count(name) ? result : nextHandle++;
}

}  // namespace fakeapi

using fakeapi::Record;

int ApiInitializeLibrary() { return Record("ApiInitializeLibrary", {}); }
int ApiTerminateLibrary() { return Record("ApiTerminateLibrary", {}); }
int ApiProcessMessage() { return Record("ApiProcessMessage", {}); }
int ApiChangeWindowMode(int flag) { return Record("ApiChangeWindowMode", {flag}); }
int ApiSetWindowCaption(const char* text) { return Record("ApiSetWindowCaption", {}, text); }
int ApiSetWindowResizableFlag(int flag) { return Record("ApiSetWindowResizableFlag", {flag}); }
int ApiGetMillisecondTime(int unused) {
    Record("ApiGetMillisecondTime", {unused});
    uint32_t now = fakeapi::clockNow;
    fakeapi::clockNow += fakeapi::clockStep;
    return static_cast<int>(now);
}
int ApiGetKeyPressFlag(int code) {
    int result = Record("ApiGetKeyPressFlag", {code});
    return fakeapi::keys ? fakeapi::keys(code) : result;
}
int ApiGetPadInputBits(int type) {
    Record("ApiGetPadInputBits", {type});
    return fakeapi::pad ? fakeapi::pad() : 0;
}
int ApiSetScreenMode(int width, int height, int bits, int refresh) {
    return Record("ApiSetScreenMode", {width, height, bits, refresh});
}
uint32_t ApiGetScreenColorValue(int r, int g, int b) {
    return static_cast<uint32_t>(Record("ApiGetScreenColorValue", {r, g, b}));
}
int ApiPresentScreen() {
    fakeapi::presents++;
    return Record("ApiPresentScreen", {});
}
int ApiSelectDrawTarget(int target) { return Record("ApiSelectDrawTarget", {target}); }
int ApiClearDrawTarget() { return Record("ApiClearDrawTarget", {}); }
int ApiLoadFileToGraph(const char* fileName) { return fakeapi::RecordLoad("ApiLoadFileToGraph", {}, fileName); }
int ApiLoadFileToDivGraph(const char* fileName, int total, int xCount, int yCount, int pieceWidth, int pieceHeight,
                          int* handles) {
    int result = Record("ApiLoadFileToDivGraph", {total, xCount, yCount, pieceWidth, pieceHeight}, fileName);
    for (int i = 0; handles && i < total; i++) handles[i] = fakeapi::nextHandle++;
    return result;
}
int ApiDeriveGraph(int x, int y, int width, int height, int source) {
    return fakeapi::RecordLoad("ApiDeriveGraph", {x, y, width, height, source});
}
int ApiDeleteOneGraph(int handle, int logFlag) { return Record("ApiDeleteOneGraph", {handle, logFlag}); }
int ApiDeleteAllGraphs(int logFlag) { return Record("ApiDeleteAllGraphs", {logFlag}); }
int ApiDrawPlainGraph(int x, int y, int handle, int transparent) {
    return Record("ApiDrawPlainGraph", {x, y, handle, transparent});
}
int ApiDrawScaleRotateGraph(int x, int y, double scale, double angle, int handle, int transparent, int mirror) {
    // Scale and angle are logged in millionths.
    return Record("ApiDrawScaleRotateGraph", {x, y, static_cast<int64_t>(scale * 1e6), static_cast<int64_t>(angle * 1e6),
                                              handle, transparent, mirror});
}
int ApiDrawRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
    return Record("ApiDrawRectangle", {x1, y1, x2, y2, color, fill});
}
int ApiSetBlendMode(int mode, int parameter) { return Record("ApiSetBlendMode", {mode, parameter}); }
int ApiSetSoundSystemMode(int mode) { return Record("ApiSetSoundSystemMode", {mode}); }
int ApiDeleteAllSounds(int ignored) { return Record("ApiDeleteAllSounds", {ignored}); }
int ApiLoadFileToSound(const char* fileName, int copies) {
    return fakeapi::RecordLoad("ApiLoadFileToSound", {copies}, fileName);
}
int ApiSetSoundHandleVolume(int volume, int handle) { return Record("ApiSetSoundHandleVolume", {volume, handle}); }
int ApiPlaySoundHandle(int handle, int playType, int fromTop) {
    return Record("ApiPlaySoundHandle", {handle, playType, fromTop});
}
int ApiStopSoundHandle(int handle) { return Record("ApiStopSoundHandle", {handle}); }
int ApiPlaySingleSoundFile(const char* fileName, int playType) {
    return Record("ApiPlaySingleSoundFile", {playType}, fileName);
}
int ApiStopSingleSoundFile() { return Record("ApiStopSingleSoundFile", {}); }
int ApiPlaySingleMusicFile(const char* fileName, int playType) {
    return Record("ApiPlaySingleMusicFile", {playType}, fileName);
}
int ApiStopSingleMusicFile() { return Record("ApiStopSingleMusicFile", {}); }
int MessageBoxA(HWND owner, const char* text, const char* caption, uint32_t type) {
    fakeapi::Record("MessageBoxA", {owner != nullptr, type}, (std::string(text) + "|" + caption).c_str());
    return fakeapi::messageBoxAnswer;
}
