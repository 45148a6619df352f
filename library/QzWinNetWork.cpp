// QzWinNetWork.cpp: the network layer's start and end, its window and pump, the socket
// events, and the connection records: lookup, connect, accept, disconnect, state.
// Data moves in QzWinNetSocket.cpp. Library lock held by callers.
//
// Every socket is registered for the network window; its events arrive as message
// 0x505 and are handled when that window's messages are dispatched, by the pump or by
// the main window's procedure. A record lives from a successful connect or accept to its
// DisconnectSocket (explicit, by the pump once the loss was reported, or at the end).
#include "QzWinNetWork.h"

#include <cstdarg>
#include <cstring>

#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinTime.h"
#include "QzWinWindow.h"
#include "platform/gdi.h"

NetWorkState g_netWork;

namespace {

constexpr char kNetWorkClass[] = "WinSockProc";
constexpr int kHandleKindBits = 0x48000000;
constexpr int kCheckNumbers = 2048;

int MakeHandle(int slot, int checkNumber) { return slot | checkNumber << 16 | kHandleKindBits; }

int HandleOf(const NetWorkData* data) { return data->listNode.handle; }

void AdvanceCheckCounter() { g_netWork.checkCounter = (g_netWork.checkCounter + 1) % kCheckNumbers; }

int LowestFreeSlot() {
    for (int slot = 0; slot < kNetWorkSlots; ++slot)
        if (g_netWork.table[slot] == nullptr) return slot;
    return -1;
}

// Makes the record of a new connection in the slot, linked as the newest node; null when
// the allocator refuses.
NetWorkData* NewRecord(int slot, uint32_t address, int port, int accepted) {
    auto* data = static_cast<NetWorkData*>(AllocZeroedMemory(sizeof(NetWorkData), __FILE_NAME__, __LINE__));
    if (data == nullptr) return nullptr;
    g_netWork.table[slot] = data;
    data->inUse = 1;
    data->connected = accepted;
    data->madeByConnect = accepted ? 0 : 1;
    data->madeByAccept = accepted;
    data->framing = g_netWork.framingOff == 0 ? 1 : 0;
    data->autoClose = g_netWork.autoCloseOff == 0 ? 1 : 0;
    data->checkNumber = g_netWork.checkCounter;
    std::memcpy(data->address, &address, 4);
    data->port = port;
    InsertHandleListNode(&g_netWork.listFirst, &data->listNode, MakeHandle(slot, data->checkNumber), data);
    if (data->framing) {
        InitRingBuffer(&data->receiveBuffer);
        InitRingBuffer(&data->sendBuffer);
    }
    return data;
}

// Takes a record that failed its set-up out again, leaving no trace.
int UndoRecord(int slot, NetWorkData* data) {
    RemoveHandleListNode(&data->listNode);
    if (data->socket != 0 && data->socket != INVALID_SOCKET) closesocket(data->socket);
    FreeRingBuffer(&data->receiveBuffer);
    FreeRingBuffer(&data->sendBuffer);
    data->inUse = 0;
    FreeMemory(data);
    g_netWork.table[slot] = nullptr;
    return -1;
}

// A lazy start: refused once the main window's close message is out.
bool StartLazily() {
    if (g_netWork.started) return true;
    if (IsCloseMessagePosted() == 1) return false;
    InitializeNetWorkSystem(nullptr);
    return g_netWork.started != 0;
}

int FailStart() {
    UnindentNetWorkLog();
    return -1;
}

}  // namespace

// ---- log ---------------------------------------------------------------------------------

int WriteNetWorkLog(const char* text) { return WriteLog(text); }
int IndentNetWorkLog() { return IndentLog(); }
int UnindentNetWorkLog() { return UnindentLog(); }

int LogNetWorkError(const char* format, ...) {
    char text[kLogFormatBufferSize];
    va_list args;
    va_start(args, format);
    FormatStringBoundedV(text, sizeof text, format, args);
    va_end(args);
    return WriteLogFormat("ネットワークログ。%s[%d]", text, WSAGetLastError());
}

// ---- settings ------------------------------------------------------------------------------

int SetNetWorkFramingFlag(int flag) {
    g_netWork.framingOff = flag == 0 ? 1 : 0;
    return 0;
}
int GetNetWorkFramingOffFlag() { return g_netWork.framingOff; }
int SetNetWorkAutoCloseFlag(int flag) {
    g_netWork.autoCloseOff = flag == 0 ? 1 : 0;
    return 0;
}
int GetNetWorkAutoCloseOffFlag() { return g_netWork.autoCloseOff; }

NetWorkData* FindNetWorkData(int handle) {
    if (handle < 0 || (handle & 0x78000000) != kHandleKindBits) return nullptr;
    const int slot = handle & 0xFFFF;
    if (slot > kListenSlot) return nullptr;
    NetWorkData* data = g_netWork.table[slot];
    if (data == nullptr || data->checkNumber != ((handle >> 16) & 0x7FF)) return nullptr;
    return data;
}

// ---- system --------------------------------------------------------------------------------

int InitializeNetWorkSystem(HWND parent) {
    NetWorkState& nw = g_netWork;
    if (nw.started) return 0;
    WriteNetWorkLog("ネットワーク関連を初期化します\n");
    IndentNetWorkLog();
    WSADATA wsa;
    if (WSAStartup(0x0101, &wsa) != 0) {
        WriteNetWorkLog("WinSock.DLLが導入されていません\n");
        return FailStart();
    }
    if (LOBYTE(wsa.wVersion) != 1 || HIBYTE(wsa.wVersion) != 1) {
        WSACleanup();
        WriteNetWorkLog("Winsock.DLLのバージョンが違います\n");
        return FailStart();
    }
    std::memset(nw.table, 0, sizeof nw.table);
    nw.parent = parent;

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;  // 48 bytes in a 32-bit build
    wc.style = 0;
    wc.lpfnWndProc = NetWorkWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = kNetWorkClass;
    // The class stays registered across a library restart in one process: found again,
    // it is the same class.
    // A failed start gives WinSock back, so retried starts do not pile up references.
    if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        WSACleanup();
        WriteNetWorkLog("ネットワーク処理用の子ウインドウクラスの登録に失敗しました\n");
        return FailStart();
    }
    nw.window = CreateWindowExA(WS_EX_TRANSPARENT, kNetWorkClass, kNetWorkClass, WS_CHILD | WS_MINIMIZE, 0, 0, 0, 0,
                                parent != nullptr ? parent : GetMainWindowHwnd(), nullptr, GetModuleHandleA(nullptr),
                                nullptr);
    if (nw.window == nullptr) {
        WSACleanup();
        WriteNetWorkLog("ネットワーク処理用の子ウインドウの作成に失敗しました\n");
        return FailStart();
    }
    nw.windowClosed = 0;
    InitHandleList(&nw.listFirst, &nw.listLast);
    nw.started = 1;
    UnindentNetWorkLog();
    WriteNetWorkLog("初期化を完了しました \n");
    return 0;
}

int TerminateNetWorkSystem() {
    NetWorkState& nw = g_netWork;
    if (!nw.started) return 0;
    WriteNetWorkLog("ネットワーク関連の終了処理を行います \n");
    for (int slot = 0; slot <= kListenSlot; ++slot)
        if (NetWorkData* data = nw.table[slot]) DisconnectSocket(MakeHandle(slot, data->checkNumber));
    if (nw.window != nullptr) {
        PostMessageA(nw.window, WM_CLOSE, 0, 0);
        if (!nw.windowClosed) PumpNetWorkMessages(0);
    }
    std::memset(&nw, 0, sizeof nw);
    WSACleanup();
    WriteNetWorkLog("ネットワーク関連の終了処理は完了しました\n");
    return 0;
}

int PumpNetWorkMessages(int closeLost) {
    NetWorkState& nw = g_netWork;
    if (nw.window == nullptr || !nw.started) return 0;
    if (closeLost == 1) {
        for (HandleListNode* node = nw.listFirst.next; node != &nw.listLast;) {
            HandleListNode* next = node->next;
            const auto* data = static_cast<const NetWorkData*>(node->data);
            if (data->inUse && (data->error || (!data->connected && data->lossReported && data->autoClose)))
                DisconnectSocket(node->handle);
            node = next;
        }
    }
    MSG msg;
    while (PeekMessageA(&msg, nw.window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

LRESULT CALLBACK NetWorkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: g_netWork.windowClosed = 1; break;
    case WM_CLOSE: DestroyWindow(window); break;
    case kNetWorkMessage: return HandleSocketEvent(window, message, wParam, lParam);
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT HandleSocketEvent(HWND, UINT, WPARAM socket, LPARAM event) {
    NetWorkData* found = nullptr;
    if (g_netWork.started) {
        for (HandleListNode* node = g_netWork.listFirst.next; node != &g_netWork.listLast; node = node->next) {
            auto* data = static_cast<NetWorkData*>(node->data);
            if (data->socket == static_cast<SOCKET>(socket)) {
                found = data;
                break;
            }
        }
    }
    if (found == nullptr) {
        WriteNetWorkLog("通信エラー No.1\n");
        return 0;
    }
    const int error = WSAGETSELECTERROR(event);
    switch (WSAGETSELECTEVENT(event)) {
    case FD_READ: RecvSocket(HandleOf(found)); break;
    case FD_WRITE: SendSocket(HandleOf(found)); break;
    case FD_ACCEPT: return AcceptNetWork();
    case FD_CONNECT:
        if (error == 0) found->connected = 1;
        break;
    case FD_CLOSE:
        found->connected = 0;
        found->lossReported = 0;
        if (error != 0 && found->lostError == 0) found->lostError = error;
        break;
    default: break;
    }
    return 1;
}

// ---- connections ------------------------------------------------------------------------------

int ResolveHostAddress(const char* name, uint8_t out[4]) {
    if (!g_netWork.started) {
        if (IsCloseMessagePosted() == 1) return -1;
        InitializeNetWorkSystem(nullptr);
    }
    const uint32_t dotted = inet_addr(name);
    const hostent* host = dotted != INADDR_NONE ? gethostbyaddr(reinterpret_cast<const char*>(&dotted), 4, AF_INET)
                                                : gethostbyname(name);
    if (host == nullptr) return -1;
    if (host->h_addrtype != AF_INET || host->h_length != 4) return -2;
    std::memcpy(out, host->h_addr_list[0], 4);
    return 0;
}

int ConnectSocket(int address, int port) {
    NetWorkState& nw = g_netWork;
    if (!StartLazily()) return -1;
    PumpNetWorkMessages(0);
    const u_short networkPort = htons(static_cast<u_short>(port == -1 ? kDefaultNetWorkPort : port));
    const uint32_t peer = static_cast<uint32_t>(address);

    // A live framed connection to the same peer is shared; a raw one never is, since its
    // byte stream belongs to one user (two downloads from one server each need their own).
    const int framing = nw.framingOff == 0 ? 1 : 0;
    for (HandleListNode* node = nw.listFirst.next; node != &nw.listLast; node = node->next) {
        const auto* data = static_cast<const NetWorkData*>(node->data);
        if (framing && data->framing && data->inUse && std::memcmp(data->address, &peer, 4) == 0 &&
            data->port == networkPort && data->connected == 1)
            return node->handle;
    }
    const int slot = LowestFreeSlot();
    if (slot == -1) return WriteNetWorkLog("ソケットに空きがありません\n");
    NetWorkData* data = NewRecord(slot, peer, networkPort, 0);
    if (data == nullptr) return WriteNetWorkLog("ソケット用のメモリの確保に失敗しました\n");

    const uint8_t* a = data->address;
    data->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (data->socket == INVALID_SOCKET) {
        LogNetWorkError("WINSOCK.DLLが動作していません、ソケットの作成に失敗しました");
        return UndoRecord(slot, data);
    }
    if (WSAAsyncSelect(data->socket, nw.window, kNetWorkMessage, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0) {
        LogNetWorkError("WSAAsyncSelectでエラーが発生しました");
        return UndoRecord(slot, data);
    }
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = networkPort;
    to.sin_addr.s_addr = peer;
    if (connect(data->socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        LogNetWorkError("%d.%d.%d.%d への接続に失敗しました。\n", a[0], a[1], a[2], a[3]);
        return UndoRecord(slot, data);
    }
    // FD_CONNECT comes through the pump.
    const int start = GetMillisecondTime(0);
    if (nw.connectTimeout == 0) nw.connectTimeout = 2000;
    while (MillisecondsSince(start) < static_cast<uint32_t>(nw.connectTimeout) && data->connected == 0)
        PumpNetWorkMessages(0);
    if (data->connected == 0) {
        LogNetWorkError("%d.%d.%d.%d への接続に失敗しました。\n", a[0], a[1], a[2], a[3]);
        return UndoRecord(slot, data);
    }
    AdvanceCheckCounter();
    return HandleOf(data);
}

int AcceptNetWork() {
    NetWorkState& nw = g_netWork;
    if (!nw.started) return -1;
    PumpNetWorkMessages(0);
    const NetWorkData* listener = nw.table[kListenSlot];
    if (listener == nullptr) return -1;
    const int slot = LowestFreeSlot();
    if (slot == -1) return WriteNetWorkLog("空きソケットデータがなかったので accept を拒否しました \n");
    NetWorkData* data = NewRecord(slot, 0, 0, 1);
    if (data == nullptr) return WriteNetWorkLog("ソケット用のメモリの確保に失敗しました\n");
    sockaddr_in from = {};
    int fromLength = sizeof from;
    data->socket = accept(listener->socket, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (data->socket == INVALID_SOCKET) {
        LogNetWorkError("acceptに失敗しました");
        return UndoRecord(slot, data);
    }
    std::memcpy(data->address, &from.sin_addr.s_addr, 4);
    data->port = from.sin_port;
    if (WSAAsyncSelect(data->socket, nw.window, kNetWorkMessage, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        LogNetWorkError("WSAAsyncSelectのエラー in AcceptNetWork");
        return UndoRecord(slot, data);
    }
    data->acceptWaiting = 1;
    AdvanceCheckCounter();
    return 1;
}

int GetNextAcceptedNetWork() {
    NetWorkState& nw = g_netWork;
    if (!nw.started) return -1;
    PumpNetWorkMessages(0);
    // The list runs newest first: the oldest waiting accept is the last one found.
    for (HandleListNode* node = nw.listLast.prev; node != &nw.listFirst; node = node->prev) {
        auto* data = static_cast<NetWorkData*>(node->data);
        if (data->acceptWaiting) {
            data->acceptWaiting = 0;
            return node->handle;
        }
    }
    return -1;
}

int OpenNetWorkListener(int port) {
    NetWorkState& nw = g_netWork;
    if (!StartLazily() || nw.table[kListenSlot] != nullptr) return -1;
    NetWorkData* data = NewRecord(kListenSlot, 0, 0, 0);
    if (data == nullptr) return WriteNetWorkLog("ソケット用のメモリの確保に失敗しました\n");
    data->madeByConnect = 0;
    data->socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<u_short>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int atLength = sizeof at;
    if (data->socket == INVALID_SOCKET || bind(data->socket, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        listen(data->socket, 512) != 0 || getsockname(data->socket, reinterpret_cast<sockaddr*>(&at), &atLength) != 0 ||
        WSAAsyncSelect(data->socket, nw.window, kNetWorkMessage, FD_ACCEPT) != 0) {
        LogNetWorkError("待ち受けの準備に失敗しました");
        return UndoRecord(kListenSlot, data);
    }
    AdvanceCheckCounter();
    return ntohs(at.sin_port);
}

int DisconnectSocket(int handle) {
    NetWorkState& nw = g_netWork;
    if (!nw.started) return -1;
    NetWorkData* data = FindNetWorkData(handle);
    if (data == nullptr || !data->inUse) return -1;
    PumpNetWorkMessages(0);
    // A half-received message gets a second to complete, queued data a second to go out;
    // each wait ends at once when the socket has reported that its side is over.
    int start = GetMillisecondTime(0);
    while (data->receiveRemainder != 0 && !data->receiveEnded && MillisecondsSince(start) < 1000) {
        PumpNetWorkMessages(0);
        RecvSocket(handle);
    }
    start = GetMillisecondTime(0);
    while (GetRingBufferDataLength(&data->sendBuffer) != 0 && !data->sendEnded && MillisecondsSince(start) < 1000) {
        PumpNetWorkMessages(0);
        SendSocket(handle);
    }
    WSAAsyncSelect(data->socket, nw.window, 0, 0);
    closesocket(data->socket);
    FreeRingBuffer(&data->receiveBuffer);
    FreeRingBuffer(&data->sendBuffer);
    RemoveHandleListNode(&data->listNode);
    nw.table[handle & 0xFFFF] = nullptr;
    FreeMemory(data);
    return 0;
}

int GetNetWorkAcceptState(int handle) {
    if (!g_netWork.started) return -1;
    PumpNetWorkMessages(0);
    NetWorkData* data = FindNetWorkData(handle);
    if (data == nullptr) return -1;
    if (!data->inUse) return WriteNetWorkLog("有効なネットワークハンドルではありません in GetNetWorkAcceptState\n");
    if (data->error) return WriteNetWorkLog("このネットワークハンドルにはエラーが発生しています in GetNetWorkAcceptStateh\n");
    if (data->connected == 0 && data->lossReported == 0) data->lossReported = 1;
    return data->connected == 1 ? 1 : 0;
}
