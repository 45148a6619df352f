// QzWinNetWork.h: the network layer: WinSock 1.1 TCP connections driven by the messages
// of a hidden child window, the table of connection records behind network handles,
// host lookup, connecting, accepting and closing, and the data operations over framed
// (4-byte little-endian length) or raw connections. HTTP transfers live in QzWinNetHttp.
// Main thread, or the message thread, under the library lock; socket events are
// retrieved only on the thread that started the layer.
#pragma once

#include <platform/win32.h>
#include <platform/winsock.h>

#include "QzUseCLib.h"
#include "QzWinNetRing.h"

constexpr UINT kNetWorkMessage = WM_USER + 261;  // 0x505: a socket event
constexpr int kNetWorkSlots = 4096;              // connection slots; one more for the listener
constexpr int kListenSlot = kNetWorkSlots;
constexpr int kDefaultNetWorkPort = 10001;
// Socket reads (or sends) of one connection in one pass of a receiver or of an HTTP
// transfer: enough to follow short ones up, few enough that a fast peer never holds the
// pump (what is left waits for the next event or pass).
constexpr int kMaxCallsPerPass = 64;

struct NetWorkData {
    int32_t inUse;
    int32_t error;         // the receive ring failed to grow: refused, closed by the next pump
    int32_t connected;     // FD_CONNECT succeeded, or accepted; 0 after FD_CLOSE
    int32_t lossReported;  // the state query saw the connection down
    int32_t madeByConnect;
    int32_t madeByAccept;
    int32_t framing;    // 1: length-framed messages; 0: raw bytes
    int32_t autoClose;  // 1: the pump closes the connection once its loss was reported
    int32_t checkNumber;
    SOCKET socket;
    int32_t receiveRemainder;  // payload bytes of the incoming message still to come
    RingBuffer receiveBuffer;
    RingBuffer sendBuffer;
    int32_t sendRemainder;    // payload bytes of the outgoing message still to send
    int32_t headerRemainder;  // bytes of the outgoing header still to send
    uint8_t address[4];       // peer, first octet first
    int32_t port;             // peer port in network order, zero-extended
    HandleListNode listNode;
    // Header bytes of the incoming message taken so far: taken as they come, so a peer
    // that stalls inside a header is not announced again and again.
    unsigned char receiveHeader[kFrameHeaderSize];
    int32_t receiveHeaderBytes;
    // The peer's end as the socket reported it: 1 once a receive found the stream over
    // (the orderly close with nothing left, or an error), so nothing more can come.
    int32_t receiveEnded;
    int32_t sendEnded;  // a send found the connection broken: queued bytes can never go
    // The error the connection ended with: FD_CLOSE's, or that of a receive that found it
    // broken (a reset); 0 while up and after an orderly close.
    int32_t lostError;
    int32_t acceptWaiting;  // accepted, and its handle not yet given by GetNextAcceptedNetWork
};

struct NetWorkState {
    int32_t started;
    HWND window;
    HWND parent;
    int32_t windowClosed;
    int32_t framingOff;
    int32_t autoCloseOff;
    int32_t connectTimeout;  // ms; 0 until the first connect sets 2000
    int32_t checkCounter;    // 0-2047
    NetWorkData* table[kNetWorkSlots + 1];
    HandleListNode listFirst;
    HandleListNode listLast;
};
extern NetWorkState g_netWork;

// ---- system ---------------------------------------------------------------------------
int InitializeNetWorkSystem(HWND parent);  // 0, or -1 (logged)
int TerminateNetWorkSystem();              // 0
int PumpNetWorkMessages(int closeLost);    // 0
LRESULT CALLBACK NetWorkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// 1; AcceptNetWork's result for FD_ACCEPT; 0 (logged) when no record has the socket.
LRESULT HandleSocketEvent(HWND window, UINT message, WPARAM socket, LPARAM event);

// ---- connections ------------------------------------------------------------------------
int ResolveHostAddress(const char* name, uint8_t out[4]);  // 0, -1 not found, -2 not IPv4
int ConnectSocket(int address, int port);                  // handle, or -1; port -1: 10001
int AcceptNetWork();                                       // 1, or -1
int DisconnectSocket(int handle);                          // 0, or -1
int GetNetWorkAcceptState(int handle);                     // 1, 0, or -1
// Opens the listening entry on 127.0.0.1 at the port (0: one the system picks) and
// returns that port, or -1. Closed by TerminateNetWorkSystem; an accepted connection
// becomes the newest node of the socket list.
int OpenNetWorkListener(int port);
// The handle of the oldest accepted connection not given out yet (each is given once), or
// -1 when none waits. Pumps the network window first, so a waiting accept is taken.
int GetNextAcceptedNetWork();

int SetNetWorkFramingFlag(int flag);    // 0
int GetNetWorkFramingOffFlag();         // 1: framing off
int SetNetWorkAutoCloseFlag(int flag);  // 0
int GetNetWorkAutoCloseOffFlag();       // 1: auto-close off
NetWorkData* FindNetWorkData(int handle);

int LogNetWorkError(const char* format, ...) __attribute__((format(printf, 1, 2)));  // -1
int WriteNetWorkLog(const char* text);                                                // -1
int IndentNetWorkLog();
int UnindentNetWorkLog();

// ---- data -----------------------------------------------------------------------------
int RecvSocket(int handle);  // 0, or -1
int SendSocket(int handle);  // 0, or -1
int NetWorkRecv(int handle, void* destination, int size);
int NetWorkRecvToPeek(int handle, void* destination, int size);
int NetWorkSend(int handle, const void* data, int length);
int GetNetWorkDataLength(int handle);

// ---- HTTP (QzWinNetHttp.cpp), as start-up, the end and the pump call them ---------------
int InitializeHttpSystem();     // 0
int TerminateHttpSystem();      // 0
int ProcessAllHttpDownloads();  // 0
