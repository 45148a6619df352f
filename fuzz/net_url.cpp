// URLs and framed network bytes on arbitrary input. The first byte picks the work: URL
// splitting and request forming into buffers of exactly the documented size (the
// sanitizer stops any write past them), or the framed receiver fed in uneven pieces,
// whose ring must never hold more than the messages' payload bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "QzWinNetRing.h"
#include "QzWinNetUrl.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void FuzzUrl(const uint8_t* data, size_t size, int proxyFlag) {
    std::string url(reinterpret_cast<const char*>(data), size);
    url = url.c_str();  // up to the first zero byte
    std::vector<char> host(kHttpUrlTextSize), request(kHttpUrlTextSize), name(kHttpUrlTextSize);
    int port = 0;
    if (ParseHttpUrl(url.c_str(), host.data(), request.data(), name.data(), &port) == 0) {
        Check(request[0] == '/');
        Check(port == -1 || port > 0);
    }
    if (ResolveHttpUrl(url.c_str(), proxyFlag, host.data(), request.data(), name.data(), &port) == 0)
        Check(std::strlen(request.data()) < static_cast<size_t>(kHttpUrlTextSize));
    // Encoding lengthens by at most three times.
    for (int mode = 0; mode < 2; ++mode) {
        std::vector<char> text(url.size() * 3 + 1);
        std::memcpy(text.data(), url.c_str(), url.size() + 1);
        const int length = EncodeUrlText(text.data(), mode, 0);
        Check(length == static_cast<int>(std::strlen(text.data())));
    }
}

void FuzzFrames(const uint8_t* input, size_t size) {
    // Lengths that would really allocate gigabytes are cut to 16 bits, so runs stay fast;
    // those no ring can hold (2^31 and up, or past INT_MAX with the slack) stay as given.
    std::vector<uint8_t> bytes(input, input + size);
    for (size_t at = 0; at + kFrameHeaderSize <= size;) {
        int length = DecodeFrameHeader(&bytes[at]);
        if (length > 0xFFFF && length < 0x7FFF0000) {
            bytes[at + 2] = bytes[at + 3] = 0;
            length &= 0xFFFF;
        }
        if (length < 0 || length >= 0x7FFF0000) break;
        at += kFrameHeaderSize + static_cast<size_t>(length);
    }
    const uint8_t* data = bytes.data();
    RingBuffer ring;
    InitRingBuffer(&ring);
    FrameReceiveState state{};
    size_t at = 0;
    size_t step = 1;
    while (at < size) {
        const size_t piece = size - at < step ? size - at : step;
        if (ReceiveFramedBytes(&state, &ring, data + at, static_cast<int>(piece)) == -1) {
            // A refused length keeps what the ring already holds (messages may be waiting
            // there) and adds nothing of its own.
            Check(GetRingBufferDataLength(&ring) <= static_cast<int>(at + piece - kFrameHeaderSize));
            Check(ring.stored <= ring.capacity);
            break;
        }
        Check(GetRingBufferDataLength(&ring) <= static_cast<int>(at + piece));
        Check(ring.stored <= ring.capacity);
        at += piece;
        step = step * 3 % 17 + 1;
    }
    std::vector<char> out(static_cast<size_t>(GetRingBufferDataLength(&ring)) + 1);
    Check(ReadRingBuffer(&ring, out.data(), GetRingBufferDataLength(&ring), 0) == 0);
    FreeRingBuffer(&ring);
}

}  // namespace

QZ_FUZZ_TARGET(NetUrl)(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    if (data[0] % 3 == 2) {
        FuzzFrames(data + 1, size - 1);
    } else {
        FuzzUrl(data + 1, size - 1, data[0] % 3);
    }
    return 0;
}

QZ_FUZZ_SEEDS(NetUrl) {
    return {
        std::string(1, '\0') + "http://h/a/b.html",
        "\x01http://h:8080/a b?c=d",
        std::string(1, '\0') + "//h:0/x/",
        std::string("\x02\x05\x00\x00\x00hello\x00\x00\x00\x00\x02\x00\x00\x00ok", 20),
        std::string("\x02\xff\xff\xff\x7f", 5),
        // Refused lengths after whole messages: the messages stay in the ring.
        std::string("\x02\x05\x00\x00\x00\x68\x5d\xec\x6c\x6f\x00\x00\x00\x91\x00\x00\x6f\x6b", 18),
        std::string("\x02\x07\x00\x6f\x00\xff\xff\xff\x00\x00\x00\x00\x00\x6f\xff\xff\xff\xff\xff\xff\x6b", 21),
    };
}
