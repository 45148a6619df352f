// dmusic/mci.cpp: mciSendCommandA's "sequencer": one standard MIDI file per device,
// played by the platform's MIDI player (player.h), the one DirectMusic uses. A song's
// end posts MM_MCINOTIFY(MCI_NOTIFY_SUCCESSFUL, device) to the window its play named;
// a stop, a close or a play that replaces it posts nothing. Any thread: the device
// table has its own lock, taken before the mixer's.
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "dmusic/player.h"
#include "dsound/mixer.h"
#include "kernel/diag.h"
#include "platform/win32.h"
#include "platform/winmm.h"

namespace {

constexpr MCIDEVICEID kAllDevices = 0xFFFFFFFFu;

struct Device {
    midi::SongData song;
    uint64_t ticket = 0;
};

std::mutex g_lock;
std::map<MCIDEVICEID, Device> g_devices;
MCIDEVICEID g_nextId = 1;

bool SameText(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// The whole file, read through the platform's own file calls so that the name is
// resolved as every other name is (drive, separators, case).
bool ReadWholeFile(const char* name, std::vector<uint8_t>* out) {
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    bool ok = size != INVALID_FILE_SIZE && size <= 64u * 1024 * 1024;
    if (ok) {
        out->resize(size);
        DWORD got = 0;
        ok = size == 0 || (ReadFile(file, out->data(), size, &got, nullptr) && got == size);
    }
    CloseHandle(file);
    return ok;
}

MCIERROR Open(DWORD flags, MCI_OPEN_PARMSA* p) {
    if (p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if ((flags & MCI_OPEN_TYPE) == 0 || p->lpstrDeviceType == nullptr || !SameText(p->lpstrDeviceType, "sequencer"))
        return MCIERR_INVALID_DEVICE_NAME;
    if ((flags & MCI_OPEN_ELEMENT) == 0 || p->lpstrElementName == nullptr) return MCIERR_MISSING_PARAMETER;
    auto data = std::make_shared<std::vector<uint8_t>>();
    if (!ReadWholeFile(p->lpstrElementName, data.get())) return MCIERR_FILE_NOT_FOUND;
    if (!midi::IsPlayable(data->data(), data->size())) return MCIERR_INVALID_FILE;
    std::lock_guard<std::mutex> hold(g_lock);
    const MCIDEVICEID id = g_nextId++;
    g_devices[id].song = std::move(data);
    p->wDeviceID = id;
    return 0;
}

MCIERROR Play(MCIDEVICEID id, DWORD flags, MCI_PLAY_PARMS* p) {
    if ((flags & (MCI_FROM | MCI_NOTIFY)) != 0 && p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & MCI_TO) return MCIERR_UNSUPPORTED_FUNCTION;
    if ((flags & MCI_FROM) && p->dwFrom != 0) return MCIERR_OUTOFRANGE;  // only the start is a position here
    dsound::SyncDevice();
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_devices.find(id);
    if (it == g_devices.end()) return MCIERR_INVALID_DEVICE_ID;
    const midi::State state = midi::GetState(it->second.ticket);
    if ((flags & MCI_FROM) == 0 && (state == midi::State::Pending || state == midi::State::Playing) &&
        (flags & MCI_NOTIFY) == 0)
        return 0;  // already playing
    HWND window = (flags & MCI_NOTIFY) ? reinterpret_cast<HWND>(p->dwCallback) : nullptr;
    std::function<void()> onEnd;
    if (window != nullptr)
        onEnd = [window, id] { PostMessageA(window, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(id)); };
    it->second.ticket = midi::Start(it->second.song, 1, std::move(onEnd));
    return it->second.ticket != 0 ? 0 : MCIERR_HARDWARE;
}

MCIERROR Status(MCIDEVICEID id, DWORD flags, MCI_STATUS_PARMS* p) {
    if (p == nullptr) return MCIERR_NULL_PARAMETER_BLOCK;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_devices.count(id) == 0) return MCIERR_INVALID_DEVICE_ID;
    }
    if ((flags & MCI_STATUS_ITEM) == 0) return MCIERR_MISSING_PARAMETER;
    if (p->dwItem != MCI_SEQ_STATUS_PORT) return MCIERR_UNSUPPORTED_FUNCTION;
    // Every song goes to the one player, which stands for the MIDI mapper.
    p->dwReturn = kernel::ConsumeFault("MciSequencerPort") ? 0 : MIDI_MAPPER;
    return 0;
}

MCIERROR StopOrClose(MCIDEVICEID id, bool close) {
    std::vector<uint64_t> tickets;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        for (auto it = g_devices.begin(); it != g_devices.end();) {
            if (id != kAllDevices && it->first != id) {
                ++it;
                continue;
            }
            tickets.push_back(it->second.ticket);
            it->second.ticket = 0;
            it = close ? g_devices.erase(it) : std::next(it);
        }
        if (tickets.empty() && id != kAllDevices) return MCIERR_INVALID_DEVICE_ID;
    }
    for (uint64_t t : tickets) midi::Stop(t);
    return 0;
}

}  // namespace

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags, DWORD_PTR parameters) {
    const DWORD f = static_cast<DWORD>(flags);
    switch (message) {
    case MCI_OPEN:
        return Open(f, reinterpret_cast<MCI_OPEN_PARMSA*>(parameters));
    case MCI_PLAY:
        return Play(device, f, reinterpret_cast<MCI_PLAY_PARMS*>(parameters));
    case MCI_STATUS:
        return Status(device, f, reinterpret_cast<MCI_STATUS_PARMS*>(parameters));
    case MCI_STOP:
        return StopOrClose(device, false);
    case MCI_CLOSE:
        return StopOrClose(device, true);
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
}
