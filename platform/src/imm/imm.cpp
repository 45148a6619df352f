// imm/imm.cpp: the input method: one input context holding the composition, its cursor
// and clauses, the last result, the candidate list and the open status, filled from
// SDL's text editing or the fake IMM of testing.h. Rules: imm.h.
//
// Threads: any thread; the state has a lock of its own, and messages are sent with no
// lock held (SendMessageA runs them on the window's owner thread).
#include <cstring>
#include <mutex>

#include "imm/ime.h"
#include "kernel/diag.h"
#include "kernel/text.h"
#include "platform/imm.h"
#include "window/model.h"

namespace {

// The IME window and the context only identify themselves.
struct HWND__ g_imeWindow;
struct HIMC__ g_context;

struct ImeState {
    std::mutex lock;
    bool composing = false;
    std::string composition;     // CP932
    DWORD cursor = 0;            // byte offset into the composition
    std::vector<DWORD> clauses;  // byte offsets: each clause's start, then the end
    std::string result;          // CP932, the last committed text
    std::vector<uint8_t> candidates;  // a CANDIDATELIST, or empty
    bool candidatesShown = false;
    bool open = false;
    HWND owner = nullptr;  // the window the context was last asked for
};
ImeState& g_ime = *new ImeState;  // never destroyed

bool ImeEnabled(HWND window) {
    std::lock_guard<std::mutex> hold(window::Mutex());
    window::Window* w = window::Find(window);
    return w != nullptr && w->imeEnabled;
}

bool IsLiveWindow(HWND window) {
    std::lock_guard<std::mutex> hold(window::Mutex());
    return window::Find(window) != nullptr;
}

// CP932 bytes of the first `chars` characters of UTF-8 text.
DWORD Cp932BytesOf(const std::string& utf8, int chars) {
    if (chars <= 0) return 0;
    size_t at = 0;
    int seen = 0;
    while (at < utf8.size()) {
        if ((static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80) {
            if (seen == chars) break;
            seen++;
        }
        at++;
    }
    return static_cast<DWORD>(kernel::Utf8ToCp932(utf8.substr(0, at)).size());
}

std::vector<uint8_t> MakeCandidateList(const std::vector<std::string>& utf8, int selection) {
    if (utf8.empty()) return {};
    const DWORD count = static_cast<DWORD>(utf8.size());
    const size_t header = offsetof(CANDIDATELIST, dwOffset) + count * sizeof(DWORD);
    std::vector<uint8_t> list(header);
    std::vector<DWORD> offsets;
    for (const std::string& candidate : utf8) {
        offsets.push_back(static_cast<DWORD>(list.size()));
        std::string cp932 = kernel::Utf8ToCp932(candidate);
        list.insert(list.end(), cp932.begin(), cp932.end());
        list.push_back(0);
    }
    CANDIDATELIST head = {};
    head.dwSize = static_cast<DWORD>(list.size());
    head.dwStyle = IME_CAND_READ;
    head.dwCount = count;
    head.dwSelection = selection < 0 ? 0 : static_cast<DWORD>(selection);
    head.dwPageStart = 0;
    head.dwPageSize = count < 9 ? count : 9;
    std::memcpy(list.data(), &head, offsetof(CANDIDATELIST, dwOffset));
    std::memcpy(list.data() + offsetof(CANDIDATELIST, dwOffset), offsets.data(), count * sizeof(DWORD));
    return list;
}

LONG CopyOut(const void* data, size_t size, LPVOID buffer, DWORD length) {
    if (length == 0) return static_cast<LONG>(size);
    if (buffer == nullptr) return IMM_ERROR_GENERAL;
    size_t copied = size < length ? size : length;
    std::memcpy(buffer, data, copied);
    return static_cast<LONG>(copied);
}

bool IsContext(HIMC context) { return context == &g_context; }

}  // namespace

namespace imm {

void ComposeUtf8(HWND window, const std::string& utf8, int cursorChars, const std::vector<int>& clauseStarts) {
    if (!ImeEnabled(window)) return;
    std::string cp932 = kernel::Utf8ToCp932(utf8);
    bool was;
    bool clauses = false;
    {
        std::lock_guard<std::mutex> hold(g_ime.lock);
        was = g_ime.composing;
        g_ime.owner = window;
        g_ime.composing = !cp932.empty();
        g_ime.composition = cp932;
        g_ime.cursor = Cp932BytesOf(utf8, cursorChars);
        if (g_ime.cursor > cp932.size()) g_ime.cursor = static_cast<DWORD>(cp932.size());
        g_ime.clauses.clear();
        if (!cp932.empty() && !clauseStarts.empty()) {
            for (int start : clauseStarts) g_ime.clauses.push_back(Cp932BytesOf(utf8, start));
            g_ime.clauses.push_back(static_cast<DWORD>(cp932.size()));
            clauses = true;
        }
    }
    if (!cp932.empty()) {
        if (!was) SendMessageA(window, WM_IME_STARTCOMPOSITION, 0, 0);
        LPARAM parts = GCS_COMPSTR | GCS_CURSORPOS | (clauses ? GCS_COMPCLAUSE : 0);
        SendMessageA(window, WM_IME_COMPOSITION, 0, parts);
    } else if (was) {
        SendMessageA(window, WM_IME_ENDCOMPOSITION, 0, 0);
    }
}

void Commit(HWND window, const std::string& cp932) {
    bool asResult = false;
    if (ImeEnabled(window)) {
        std::lock_guard<std::mutex> hold(g_ime.lock);
        if (g_ime.composing) {
            asResult = true;
            g_ime.owner = window;
            g_ime.result = cp932;
            g_ime.composing = false;
            g_ime.composition.clear();
            g_ime.cursor = 0;
            g_ime.clauses.clear();
        }
    }
    if (asResult) {
        SendMessageA(window, WM_IME_COMPOSITION, 0, GCS_RESULTSTR);
        SendMessageA(window, WM_IME_ENDCOMPOSITION, 0, 0);
        return;
    }
    for (unsigned char byte : cp932) PostMessageA(window, WM_CHAR, byte, 1);
}

void Reset() {
    std::lock_guard<std::mutex> hold(g_ime.lock);
    g_ime.composing = false;
    g_ime.composition.clear();
    g_ime.cursor = 0;
    g_ime.clauses.clear();
    g_ime.result.clear();
    g_ime.candidates.clear();
    g_ime.candidatesShown = false;
    g_ime.open = false;
    g_ime.owner = nullptr;
}

}  // namespace imm

HWND ImmGetDefaultIMEWnd(HWND window) {
    if (kernel::ConsumeFault("ImmGetDefaultIMEWnd")) return nullptr;
    if (!IsLiveWindow(window)) return nullptr;
    std::lock_guard<std::mutex> hold(g_ime.lock);
    g_ime.owner = window;
    return &g_imeWindow;
}

HIMC ImmGetContext(HWND window) {
    if (kernel::ConsumeFault("ImmGetContext")) return nullptr;
    if (window == &g_imeWindow) return &g_context;
    if (!IsLiveWindow(window)) return nullptr;
    std::lock_guard<std::mutex> hold(g_ime.lock);
    g_ime.owner = window;
    return &g_context;
}

BOOL ImmReleaseContext(HWND, HIMC context) { return IsContext(context) ? TRUE : FALSE; }

LONG ImmGetCompositionStringA(HIMC context, DWORD index, LPVOID buffer, DWORD length) {
    if (kernel::ConsumeFault("ImmGetCompositionStringA")) return IMM_ERROR_GENERAL;
    if (!IsContext(context)) return IMM_ERROR_GENERAL;
    std::lock_guard<std::mutex> hold(g_ime.lock);
    switch (index) {
    case GCS_COMPSTR: return CopyOut(g_ime.composition.data(), g_ime.composition.size(), buffer, length);
    case GCS_RESULTSTR: return CopyOut(g_ime.result.data(), g_ime.result.size(), buffer, length);
    case GCS_COMPCLAUSE:
        return CopyOut(g_ime.clauses.data(), g_ime.clauses.size() * sizeof(DWORD), buffer, length);
    case GCS_CURSORPOS: return static_cast<LONG>(g_ime.cursor);
    default: return IMM_ERROR_GENERAL;
    }
}

DWORD ImmGetCandidateListA(HIMC context, DWORD index, LPCANDIDATELIST list, DWORD length) {
    if (kernel::ConsumeFault("ImmGetCandidateListA")) return 0;
    if (!IsContext(context) || index != 0) return 0;
    std::lock_guard<std::mutex> hold(g_ime.lock);
    const DWORD size = static_cast<DWORD>(g_ime.candidates.size());
    if (length == 0 || size == 0) return size;
    if (list == nullptr || length < size) return 0;
    std::memcpy(list, g_ime.candidates.data(), size);
    return size;
}

BOOL ImmSetOpenStatus(HIMC context, BOOL open) {
    if (kernel::ConsumeFault("ImmSetOpenStatus")) return FALSE;
    if (!IsContext(context)) return FALSE;
    HWND owner;
    {
        std::lock_guard<std::mutex> hold(g_ime.lock);
        if (g_ime.open == (open != FALSE)) return TRUE;
        g_ime.open = open != FALSE;
        owner = g_ime.owner;
    }
    if (owner != nullptr && ImeEnabled(owner)) SendMessageA(owner, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
    return TRUE;
}

BOOL ImmGetOpenStatus(HIMC context) {
    if (kernel::ConsumeFault("ImmGetOpenStatus")) return FALSE;
    if (!IsContext(context)) return FALSE;
    std::lock_guard<std::mutex> hold(g_ime.lock);
    return g_ime.open ? TRUE : FALSE;
}

namespace ptest {

void ImeCompose(HWND window, const std::string& utf8, int cursorChars, const std::vector<int>& clauseStarts) {
    imm::ComposeUtf8(window, utf8, cursorChars, clauseStarts);
}

void ImeCommit(HWND window, const std::string& utf8) { imm::Commit(window, kernel::Utf8ToCp932(utf8)); }

void ImeShowCandidates(HWND window, const std::vector<std::string>& utf8, int selection) {
    bool first;
    {
        std::lock_guard<std::mutex> hold(g_ime.lock);
        g_ime.owner = window;
        g_ime.candidates = MakeCandidateList(utf8, selection);
        first = !g_ime.candidatesShown;
        g_ime.candidatesShown = true;
    }
    if (ImeEnabled(window))
        SendMessageA(window, WM_IME_NOTIFY, first ? IMN_OPENCANDIDATE : IMN_CHANGECANDIDATE, 1);
}

void ImeCloseCandidates(HWND window) {
    {
        std::lock_guard<std::mutex> hold(g_ime.lock);
        g_ime.candidates.clear();
        g_ime.candidatesShown = false;
    }
    if (ImeEnabled(window)) SendMessageA(window, WM_IME_NOTIFY, IMN_CLOSECANDIDATE, 1);
}

void ImeSwitchOpen(HWND window, bool open) {
    {
        std::lock_guard<std::mutex> hold(g_ime.lock);
        g_ime.owner = window;
        if (g_ime.open == open) return;
        g_ime.open = open;
    }
    if (ImeEnabled(window)) SendMessageA(window, WM_IME_NOTIFY, IMN_SETOPENSTATUS, 0);
}

}  // namespace ptest
