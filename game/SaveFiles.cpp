// SaveFiles.cpp: reading and writing the small files. Text values end in "\r\n", written
// out explicitly: the stream writes "\n" as it is here.
#include "SaveFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "GameTypes.h"

static bool IndexesTables(int mode, int level) { return mode >= 0 && mode < 2 && level >= 0 && level < 5; }

static std::string FileName(const char* kind, int mode, int level) {
    return kind + std::to_string(level) + (mode == 1 ? "_rim.dat" : ".dat");
}

std::string HiScoreFileName(int mode, int level) { return FileName("score", mode, level); }
std::string UnlockFileName(int mode, int level) { return FileName("start", mode, level); }
std::string ReplayFileName(int mode, int level) { return FileName("replay", mode, level); }

bool ReadValueFile(const char* name, int32_t& value) {
    SaveInput.open(name, std::ios::binary);
    int32_t read = 0;
    // Formatted input stores 0 on bad text and the limit on overflow, both with failbit.
    const bool ok = SaveInput.is_open() && static_cast<bool>(SaveInput >> read);
    SaveInput.close();
    SaveInput.clear();
    if (ok) value = read;
    return ok;
}

// The player learns of a save that failed: one line on standard error for each file,
// the first time it fails, so that a folder without write access does not repeat it
// after every game.
static void ReportUnwritable(const std::string& name, int error) {
    static std::set<std::string> reported;
    if (!reported.insert(name).second) return;
    std::fprintf(stderr, "zarnovik: %s cannot be written (%s); it was not saved\n", name.c_str(),
                 error != 0 ? std::strerror(error) : "the write failed");
}

// Writes the bytes to name through a temporary file in the same folder.
static bool WriteFileSafely(const std::string& name, const char* bytes, size_t count) {
    const std::string temporary = name + ".tmp";
    errno = 0;
    SaveOutput.open(temporary, std::ios::binary | std::ios::trunc);
    if (!SaveOutput.is_open()) {
        const int error = errno;
        SaveOutput.clear();
        ReportUnwritable(name, error);
        return false;
    }
    SaveOutput.write(bytes, static_cast<std::streamsize>(count));
    SaveOutput.close();
    const bool written = !SaveOutput.fail();
    int error = errno;
    SaveOutput.clear();
    if (written) {
        if (std::rename(temporary.c_str(), name.c_str()) == 0) return true;
        error = errno;
    }
    std::remove(temporary.c_str());
    ReportUnwritable(name, error);
    return false;
}

static void WriteValueFile(const std::string& name, int32_t value) {
    const std::string text = std::to_string(value) + "\r\n";
    WriteFileSafely(name, text.data(), text.size());
}

void LoadHiScoreTable() {
    for (int mode = 0; mode < 2; mode++)
        for (int level = 0; level < 5; level++) {
            // No game ends below 0: a negative hi-score is a damaged file, refused as bad text is.
            int32_t stored = 0;
            if (ReadValueFile(HiScoreFileName(mode, level).c_str(), stored) && stored >= 0)
                HiScoreTable[mode][level] = stored;
        }
}

void LoadUnlockTable() {
    for (int mode = 0; mode < 2; mode++)
        for (int level = 0; level < 5; level++)
            ReadValueFile(UnlockFileName(mode, level).c_str(), UnlockTable[mode][level]);
}

void LoadSoundMode() { ReadValueFile("soundon.txt", GameState.soundMode); }

void SaveHiScore() {
    if (!IndexesTables(GameState.mode, GameState.level)) return;
    WriteValueFile(HiScoreFileName(GameState.mode, GameState.level), HiScoreTable[GameState.mode][GameState.level]);
}

void SaveReplay() {
    if (!IndexesTables(GameState.mode, GameState.level)) return;
    WriteFileSafely(ReplayFileName(GameState.mode, GameState.level), reinterpret_cast<const char*>(ReplayBuffer),
                    sizeof ReplayBuffer);
}

void SaveUnlock() {
    if (!IndexesTables(GameState.mode, GameState.level)) return;
    WriteValueFile(UnlockFileName(GameState.mode, GameState.level), UnlockTable[GameState.mode][GameState.level]);
}

void LoadReplayFile(const std::string& name) {
    std::memset(ReplayBuffer, 48, sizeof ReplayBuffer);
    SaveInput.open(name, std::ios::binary);
    if (SaveInput.is_open()) SaveInput.read(reinterpret_cast<char*>(ReplayBuffer), sizeof ReplayBuffer);
    SaveInput.close();
    SaveInput.clear();
}

void LoadReplay() {
    if (!IndexesTables(GameState.mode, GameState.level)) {
        std::memset(ReplayBuffer, 48, sizeof ReplayBuffer);
        return;
    }
    LoadReplayFile(ReplayFileName(GameState.mode, GameState.level));
}
