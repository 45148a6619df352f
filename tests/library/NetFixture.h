// NetFixture.h: a started library for network tests: library calls made as entry points
// make them, pumps bounded in real time, the library's own listener and its accepted
// connections, and the starting point of allocations and descriptors.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "LibraryFixture.h"
#include "QzWinMessage.h"
#include "QzWinNetWork.h"
#include "ScriptedPeer.h"

class NetTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        // No mixing in the pump: its passes then cost what the network costs.
        ptest::PullAudio(0);
        ASSERT_EQ(ApiInitializeLibrary(), 0);
        g_windowSystem.runAlways = 1;
        baseDescriptors = qztest::CountOpenDescriptors();
        baseAllocations = Locked([] { return g_windowSystem.tracker.count; });
    }

    static uint32_t Loopback() { return inet_addr("127.0.0.1"); }

    // ProcessMessage as the game calls it, until done() (checked under the lock) holds or
    // the patience of real time has run out.
    static bool PumpUntil(const std::function<bool()>& done) {
        const int64_t deadline = qztest::RealMilliseconds() + qztest::kPatienceMs;
        for (;;) {
            if (Locked([&] { return done(); })) return true;
            if (qztest::RealMilliseconds() > deadline) return false;
            Locked([] { return ProcessMessage(); });
        }
    }
    static void Pump(int times = 1) {
        for (int i = 0; i < times; ++i) Locked([] { return ProcessMessage(); });
    }

    static int Listen(int port = 0) {
        return Locked([&] { return OpenNetWorkListener(port); });
    }
    static int Connect(int port, int framing = 1, int autoClose = 1) {
        return Locked([&] {
            SetNetWorkFramingFlag(framing);
            SetNetWorkAutoCloseFlag(autoClose);
            const int handle = ConnectSocket(static_cast<int>(Loopback()), port);
            SetNetWorkFramingFlag(1);
            SetNetWorkAutoCloseFlag(1);
            return handle;
        });
    }
    // Connects to the library's own listener; *accepted gets the far end (-1 if it never
    // came). The accept follows the listener's FD_ACCEPT, which a loaded machine may
    // deliver after the connect's own event, so it is pumped for.
    static int ConnectToSelf(int port, int* accepted) {
        const int handle = Connect(port);
        *accepted = -1;
        if (handle == -1) return handle;
        PumpUntil([&] { return (*accepted = GetNextAcceptedNetWork()) != -1; });
        return handle;
    }
    static SOCKET SocketOf(int handle) {
        return Locked([&] { return FindNetWorkData(handle)->socket; });
    }
    static int Send(int handle, const std::string& bytes) {
        return Locked([&] { return NetWorkSend(handle, bytes.data(), static_cast<int>(bytes.size())); });
    }
    static int Length(int handle) {
        return Locked([&] { return GetNetWorkDataLength(handle); });
    }
    // Pumps until `size` bytes wait on the framed connection, then takes them ("" if they
    // never came).
    static std::string Receive(int handle, int size) {
        std::string out(static_cast<size_t>(size), '\0');
        if (!PumpUntil([&] { return GetNetWorkDataLength(handle) >= size; })) return "";
        if (Locked([&] { return NetWorkRecv(handle, out.data(), size); }) != 0) return "";
        return out;
    }
    static std::string Frame(const std::string& payload) {
        std::string frame(4, '\0');
        const uint32_t length = static_cast<uint32_t>(payload.size());
        for (int i = 0; i < 4; ++i) frame[i] = static_cast<char>(length >> (8 * i));
        return frame + payload;
    }
    static std::string Pattern(size_t size, uint32_t seed) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            seed = seed * 1103515245u + 12345u;
            bytes[i] = static_cast<char>(seed >> 16);
        }
        return bytes;
    }

    // A framed connection to a paired peer, which the test scripts and starts.
    struct Paired {
        int handle = -1;
        std::unique_ptr<qztest::ScriptedPeer> peer;
    };
    static Paired ConnectPaired(int port, int autoClose = 1) {
        Paired paired;
        const int fd = ptest::PairNextConnect("127.0.0.1", port);
        paired.peer = std::make_unique<qztest::ScriptedPeer>(qztest::ScriptedPeer::Descriptor{fd});
        paired.handle = Locked([&] {
            SetNetWorkAutoCloseFlag(autoClose);
            const int handle = ConnectSocket(static_cast<int>(Loopback()), port);
            SetNetWorkAutoCloseFlag(1);
            return handle;
        });
        return paired;
    }

    int baseDescriptors = 0;
    int baseAllocations = 0;
};
