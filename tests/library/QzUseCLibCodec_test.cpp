// The codec glue: PNG and JPEG images into GraphImages and Ogg Vorbis into decoder blocks,
// over memory streams, plain files and archive members. Fixtures are written at test time
// with libpng, libjpeg and libvorbisenc.
#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "CodecFixtures.h"
#include "MemoryWatch.h"
#include "QzArchive_FileSet.h"
#include "QzUseCLibCodec.h"
#include "QzWinFileAccess.h"
#include "QzWinFileStream.h"
#include "QzWinLog.h"
#include "QzWinMemory.h"
#include "QzWinState.h"
#include "TempDir.h"
#include "platform/testing.h"

namespace QzUseCLibCodec_test {

namespace {

// Decodes bytes with a loader over a memory stream.
int LoadFromMemory(GraphImageLoader loader, const std::string& bytes, GraphImage* image) {
    MemoryStream* memory = OpenMemoryStream(bytes.data(), static_cast<int>(bytes.size()));
    ReadStream stream;
    MakeMemoryReadStream(&stream, memory);
    int result = loader(&stream, image);
    CloseMemoryStream(memory);
    return result;
}

std::string PixelBytes(const GraphImage& image) {
    return std::string(static_cast<const char*>(image.pixels), static_cast<size_t>(image.pitch) * image.height);
}

struct PngCase {
    const char* name;
    qztest::PngSpec spec;
    int bitDepth;
    uint32_t alphaMask;
    uint32_t fillMask;
    int pitch;
    std::string pixels;  // as decoded, row after row
};

qztest::PngSpec Spec(int width, int height, int colorType, int bitDepth, std::string rows) {
    qztest::PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colorType = colorType;
    spec.bitDepth = bitDepth;
    spec.rows = std::move(rows);
    return spec;
}

TEST(PngLoaderTest, ColourTypesGiveTheirFormats) {
    std::vector<PngCase> cases;
    {
        // 4-bit palette of 16 colours: indices 0,1,2,3 / 15,14,13,12.
        qztest::PngSpec spec = Spec(4, 2, 3, 4, std::string("\x01\x23\xFE\xDC", 4));
        for (int i = 0; i < 16; i++) spec.palette.insert(spec.palette.end(), {uint8_t(i * 16), uint8_t(255 - i), uint8_t(i)});
        cases.push_back({"4-bit palette", spec, 8, 0, 0xFF000000u, 4, std::string("\x00\x01\x02\x03\x0F\x0E\x0D\x0C", 8)});
    }
    cases.push_back({"8-bit grey", Spec(3, 1, 0, 8, "\x10\x80\xF0"), 8, 0, 0xFF000000u, 3, "\x10\x80\xF0"});
    cases.push_back({"2-bit grey", Spec(4, 1, 0, 2, "\x1B"), 8, 0, 0xFF000000u, 4, std::string("\x00\x55\xAA\xFF", 4)});
    {
        qztest::PngSpec spec = Spec(2, 1, 0, 8, "\x10\x20");
        spec.transparentGray = 0x20;
        cases.push_back({"grey with tRNS", spec, 16, 0, 0xFF00u, 4, std::string("\x10\xFF\x20\x00", 4)});
    }
    cases.push_back({"grey with alpha", Spec(2, 1, 4, 8, "\x10\x80\x20\x40"), 16, 0, 0xFF00u, 4, "\x10\x80\x20\x40"});
    cases.push_back({"RGB", Spec(2, 1, 2, 8, "\x01\x02\x03\x04\x05\x06"), 24, 0, 0, 6, "\x03\x02\x01\x06\x05\x04"});
    cases.push_back({"RGBA", Spec(1, 1, 6, 8, "\x01\x02\x03\x04"), 32, 0xFF000000u, 0, 4, "\x03\x02\x01\x04"});
    {
        qztest::PngSpec spec = Spec(2, 1, 3, 8, std::string("\x00\x01", 2));
        spec.palette = {10, 20, 30, 40, 50, 60};
        spec.paletteAlpha = {0, 255};
        cases.push_back({"palette with tRNS", spec, 32, 0xFF000000u, 0, 8, std::string("\x1E\x14\x0A\x00\x3C\x32\x28\xFF", 8)});
    }
    cases.push_back({"16-bit RGB cut to 8", Spec(1, 1, 2, 16, "\x12\x34\x56\x78\x9A\xBC"), 24, 0, 0, 3, "\x9A\x56\x12"});

    for (const PngCase& c : cases) {
        SCOPED_TRACE(c.name);
        GraphImage image = {};
        ASSERT_EQ(LoadFromMemory(LoadPngToGraphImage, qztest::WritePng(c.spec), &image), 0);
        EXPECT_EQ(image.width, c.spec.width);
        EXPECT_EQ(image.height, c.spec.height);
        EXPECT_EQ(image.colorFormat.colorBitDepth, c.bitDepth);
        EXPECT_EQ(image.colorFormat.alphaMask, c.alphaMask);
        EXPECT_EQ(image.colorFormat.fillMask, c.fillMask);
        EXPECT_EQ(image.pitch, c.pitch);
        EXPECT_TRUE(PixelBytes(image) == c.pixels);
        if (c.bitDepth == 8 && c.spec.colorType == 3) {
            EXPECT_EQ(image.colorFormat.palette[1], 0x10FE01u);  // blue, green, red, 0
            for (int i = 16; i < 256; i++) EXPECT_EQ(image.colorFormat.palette[i], 0u) << i;
        }
        if (c.bitDepth == 8 && c.spec.colorType == 0) {
            EXPECT_EQ(image.colorFormat.palette[0x80], 0x808080u);
        }
        if (c.bitDepth == 16) {
            EXPECT_EQ(image.colorFormat.redMask, 0xFFu);
        }
        FreeGraphImage(&image);
    }
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST(PngLoaderTest, BrokenStreamsFailWithoutLeftovers) {
    const std::string png = qztest::WritePng(Spec(64, 64, 2, 8, qztest::GradientRgb(64, 64)));
    std::string corrupted = png;
    corrupted[png.size() / 2] ^= 0x55;
    for (const std::string& bytes : {png.substr(0, png.size() / 2), png.substr(0, png.size() - 12), std::string("GIF89a"),
                                     std::string(), corrupted}) {
        GraphImage image = {};
        EXPECT_EQ(LoadFromMemory(LoadPngToGraphImage, bytes, &image), -1);
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(g_windowSystem.tracker.count, 0);
    }
}

TEST(JpegLoaderTest, ColourAndGrey) {
    const int w = 32, h = 24;
    const std::string rgb = qztest::GradientRgb(w, h), gray = qztest::GradientGray(w, h);
    GraphImage image = {};
    ASSERT_EQ(LoadFromMemory(LoadJpegToGraphImage, qztest::WriteJpeg(w, h, 3, rgb, 95), &image), 0);
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.height, h);
    EXPECT_EQ(image.pitch, w * 3);
    EXPECT_EQ(image.colorFormat.colorBitDepth, 24);
    const unsigned char* p = static_cast<const unsigned char*>(image.pixels);
    for (int i = 0; i < w * h; i++)
        for (int k = 0; k < 3; k++)
            ASSERT_NEAR(p[i * 3 + k], static_cast<uint8_t>(rgb[static_cast<size_t>(i * 3 + 2 - k)]), 12) << i;
    FreeGraphImage(&image);

    ASSERT_EQ(LoadFromMemory(LoadJpegToGraphImage, qztest::WriteJpeg(w, h, 1, gray, 95), &image), 0);
    EXPECT_EQ(image.colorFormat.colorBitDepth, 8);
    EXPECT_EQ(image.colorFormat.palette[255], 0xFFFFFFu);
    EXPECT_EQ(image.pitch, w);
    FreeGraphImage(&image);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST(JpegLoaderTest, EarlyEndAndRefusals) {
    const int w = 64, h = 64;
    const std::string jpeg = qztest::WriteJpeg(w, h, 3, qztest::GradientRgb(w, h));
    // Cut halfway through the scan data, after the start-of-scan marker.
    size_t scan = jpeg.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    GraphImage image = {};
    ASSERT_EQ(LoadFromMemory(LoadJpegToGraphImage, jpeg.substr(0, scan + (jpeg.size() - scan) / 2), &image), 0);
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.height, h);
    FreeGraphImage(&image);

    const std::string cmyk = qztest::WriteJpeg(8, 8, 4, std::string(8 * 8 * 4, '\x40'));
    for (const std::string& bytes : {std::string(), std::string("not a jpeg at all"), jpeg.substr(0, 2), cmyk}) {
        EXPECT_EQ(LoadFromMemory(LoadJpegToGraphImage, bytes, &image), -1);
        EXPECT_EQ(image.pixels, nullptr);
    }
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

// libjpeg's messages, a cut file's warning and a refused file's error, go to the library's
// log (a file, and the debugger's output) and never straight to standard error.
TEST(JpegLoaderTest, MessagesReachNeitherStandardErrorNorTheLog) {
    qztest::TempDir dir;
    const int windowMode = g_windowSystem.userWindowMode;
    g_windowSystem.userWindowMode = 0;
    FileAccessGetDir(g_windowSystem.startupDir);
    CreateLogFile();
    ptest::CaptureDebugOutput(true);
    const std::string jpeg = qztest::WriteJpeg(32, 32, 3, qztest::GradientRgb(32, 32));
    GraphImage image = {};
    testing::internal::CaptureStderr();
    // A cut stream (libjpeg's warning, then the picture completed) and no JPEG at all (its error).
    EXPECT_EQ(LoadFromMemory(LoadJpegToGraphImage, jpeg.substr(0, jpeg.size() - 40), &image), 0);
    FreeGraphImage(&image);
    EXPECT_EQ(LoadFromMemory(LoadJpegToGraphImage, "not a jpeg at all", &image), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const std::string debugger = ptest::TakeDebugOutput();
    ptest::CaptureDebugOutput(false);
    const std::string log = qztest::ReadWholeFile(dir.file("AppLog.txt"));
    g_windowSystem.startupDir[0] = '\0';
    g_windowSystem.userWindowMode = windowMode;
    for (const char* text : {"Premature end of JPEG file", "Not a JPEG file"}) {
        EXPECT_EQ(log.find(text), std::string::npos) << log;
        EXPECT_EQ(debugger.find(text), std::string::npos) << debugger;
    }
}

// Everything an Ogg decoder over a stream gives.
struct OggRun {
    int open = -1;
    WAVEFORMATEX format = {};
    int decodedSize = 0;
    int largestBlock = 0;
    std::string pcm;
};

OggRun DecodeOgg(const ReadStream& stream) {
    OggRun run;
    SoundDecoder* decoder = static_cast<SoundDecoder*>(std::calloc(1, sizeof(SoundDecoder)));
    decoder->stream = stream;
    run.open = OpenOggDecoder(decoder);
    if (run.open == 0) {
        run.format = decoder->format;
        run.decodedSize = GetOggDecodedSize(decoder);
        decoder->blockBuffer = AllocMemory(decoder->blockSize, __FILE_NAME__, __LINE__);
        while (DecodeOggBlock(decoder) == 0) {
            run.largestBlock = std::max(run.largestBlock, decoder->blockValid);
            run.pcm.append(static_cast<const char*>(decoder->blockBuffer), static_cast<size_t>(decoder->blockValid));
        }
        FreeMemory(decoder->blockBuffer);
        CloseOggDecoder(decoder);
    }
    std::free(decoder);
    return run;
}

OggRun DecodeOggMemory(const std::string& bytes) {
    MemoryStream* memory = OpenMemoryStream(bytes.data(), static_cast<int>(bytes.size()));
    ReadStream stream;
    MakeMemoryReadStream(&stream, memory);
    OggRun run = DecodeOgg(stream);
    CloseMemoryStream(memory);
    return run;
}

TEST(OggDecoderTest, StereoStreamDecodesInBlocks) {
    const std::string ogg = qztest::WriteOggVorbis(2, 44100, 30000);
    OggRun run = DecodeOggMemory(ogg);
    ASSERT_EQ(run.open, 0);
    EXPECT_EQ(run.format.wFormatTag, 1);
    EXPECT_EQ(run.format.nChannels, 2);
    EXPECT_EQ(run.format.nSamplesPerSec, 44100u);
    EXPECT_EQ(run.format.nBlockAlign, 4);
    EXPECT_EQ(run.format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(run.format.wBitsPerSample, 16);
    EXPECT_EQ(run.decodedSize, 30000 * 4);
    EXPECT_EQ(static_cast<int>(run.pcm.size()), run.decodedSize);
    EXPECT_LE(run.largestBlock, 4096);
    EXPECT_GT(run.largestBlock, 0);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

TEST(OggDecoderTest, SeekAndRefusal) {
    const std::string ogg = qztest::WriteOggVorbis(2, 44100, 30000);
    MemoryStream* memory = OpenMemoryStream(ogg.data(), static_cast<int>(ogg.size()));
    SoundDecoder* decoder = static_cast<SoundDecoder*>(std::calloc(1, sizeof(SoundDecoder)));
    MakeMemoryReadStream(&decoder->stream, memory);
    ASSERT_EQ(OpenOggDecoder(decoder), 0);
    EXPECT_EQ(decoder->decoderKind, 2);
    EXPECT_EQ(decoder->blockSize, 4096);
    decoder->blockValid = 17;
    EXPECT_EQ(SeekOggDecoder(decoder, 1000), 0);
    EXPECT_EQ(decoder->outputPos, 4000);
    EXPECT_EQ(decoder->blockValid, 0);
    EXPECT_EQ(decoder->blockOffset, 0);
    EXPECT_EQ(CloseOggDecoder(decoder), 0);
    EXPECT_EQ(decoder->kind.ogg.oggOpen, 0);
    CloseMemoryStream(memory);
    std::free(decoder);

    EXPECT_EQ(DecodeOggMemory("RIFF....WAVEfmt not an ogg stream").open, -1);
    EXPECT_EQ(DecodeOggMemory(ogg.substr(0, 200)).open, -1);
    EXPECT_EQ(DecodeOggMemory("").open, -1);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

// The pages of an Ogg stream, each whole (header, segment table and body).
std::vector<std::string> OggPages(const std::string& ogg) {
    std::vector<std::string> pages;
    for (size_t at = 0; at + 27 <= ogg.size();) {
        const size_t segments = static_cast<uint8_t>(ogg[at + 26]);
        size_t body = 0;
        for (size_t i = 0; i < segments; i++) body += static_cast<uint8_t>(ogg[at + 27 + i]);
        const size_t length = 27 + segments + body;
        pages.push_back(ogg.substr(at, length));
        at += length;
    }
    return pages;
}

TEST(OggDecoderTest, ChainedLinksDecodeOneAfterAnother) {
    const std::string chain = qztest::WriteOggVorbis(1, 8000, 3000, 1) + qztest::WriteOggVorbis(1, 8000, 5000, 2);
    OggRun run = DecodeOggMemory(chain);
    ASSERT_EQ(run.open, 0);
    EXPECT_EQ(run.decodedSize, 8000 * 2);
}

// A chain whose third link begins but has no complete headers: libvorbisfile would map
// the second link, fail on the third and keep the second's headers. Refused, nothing kept.
TEST(OggDecoderTest, ChainWithDamagedLaterLinkIsRefusedWithoutLeaking) {
    const std::vector<std::string> third = OggPages(qztest::WriteOggVorbis(1, 8000, 40000, 3));
    ASSERT_GE(third.size(), 3u);
    std::string damaged = third[0];  // its beginning page, then straight to the sound
    for (size_t i = 2; i < third.size(); i++) damaged += third[i];
    const std::string chain =
        qztest::WriteOggVorbis(1, 8000, 3000, 1) + qztest::WriteOggVorbis(1, 8000, 3000, 2) + damaged;
    EXPECT_EQ(DecodeOggMemory(chain).open, -1);
    // A page of a stream no link began, after a whole link.
    std::vector<std::string> stray = OggPages(qztest::WriteOggVorbis(1, 8000, 4000, 4));
    EXPECT_EQ(DecodeOggMemory(qztest::WriteOggVorbis(1, 8000, 3000, 1) + stray.back()).open, -1);
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
    EXPECT_FALSE(qztest::HasLeakedBlocks());
}

// A page whose bytes were changed, with its checksum made again.
std::string Resealed(std::string page) {
    for (int i = 22; i < 26; i++) page[i] = 0;
    const long header = 27 + static_cast<uint8_t>(page[26]);
    ogg_page p;
    p.header = reinterpret_cast<unsigned char*>(page.data());
    p.header_len = header;
    p.body = p.header + header;
    p.body_len = static_cast<long>(page.size()) - header;
    ogg_page_checksum_set(&p);
    return page;
}

// A page of stream `serial` whose body is `body` (at most 255 x 255 bytes), cut in 255-byte
// segments as one unfinished packet.
std::string OggPage(int serial, int sequence, const std::string& body) {
    std::string page("OggS\0\0", 6);
    page += std::string(8, '\x10');  // granule position
    for (uint32_t v : {static_cast<uint32_t>(serial), static_cast<uint32_t>(sequence), 0u})
        for (int i = 0; i < 4; i++) page += static_cast<char>((v >> (8 * i)) & 0xFF);
    const size_t segments = (body.size() + 254) / 255;
    page += static_cast<char>(segments);
    for (size_t i = 0; i < segments; i++) page += static_cast<char>(std::min<size_t>(255, body.size() - 255 * i));
    return Resealed(page + body);
}

// Damaged Vorbis streams made from whole ones: each is refused, or opens and plays, and
// nothing libvorbisfile allocates is left behind. libvorbisfile opens a chain by seeking
// into it for the links' ends and reading each link's headers; when a later link fails it
// gives up and keeps the links it had read.
TEST(OggDecoderTest, DamagedStreamsAreRefusedOrPlayWithoutLeaking) {
    const std::vector<std::string> pages = OggPages(qztest::WriteOggVorbis(2, 44100, 100000, 1));
    ASSERT_GE(pages.size(), 4u);
    // The identification header fills the first page; comment and setup share the second.
    const size_t comment = pages[1].find("\x03vorbis"), setup = pages[1].find("\x05vorbis");
    ASSERT_NE(comment, std::string::npos);
    ASSERT_NE(setup, std::string::npos);
    auto join = [](const std::vector<std::string>& list) {
        std::string out;
        for (const std::string& page : list) out += page;
        return out;
    };
    auto changed = [&](size_t index, size_t at, char byte) {
        std::vector<std::string> list = pages;
        list[index][at] = byte;
        list[index] = Resealed(list[index]);
        return join(list);
    };
    std::vector<std::string> withoutSecond = pages;
    withoutSecond.erase(withoutSecond.begin() + 1);
    std::vector<std::string> withoutSound = pages;
    withoutSound.erase(withoutSound.begin() + 2);
    std::vector<std::string> swapped = pages;
    std::swap(swapped[2], swapped[3]);

    const std::string second = qztest::WriteOggVorbis(1, 8000, 2000, 2);
    const std::vector<std::string> secondPages = OggPages(second);
    // A long first link whose sound pages hold, all through, copies of another stream's
    // beginning page: a seek that lands inside them finds one, which is no link.
    const std::string stranger = OggPages(qztest::WriteOggVorbis(1, 8000, 100, 9))[0];
    std::string hiding;
    while (hiding.size() + stranger.size() <= 255 * 235) hiding += stranger;
    std::string longLink = pages[0] + pages[1];
    for (int i = 0; i < 5; i++) longLink += OggPage(1, 2 + i, hiding);

    const struct {
        const char* name;
        std::string bytes;
        bool refused;  // else refused or played
    } cases[] = {
        {"headers cut inside the second page", pages[0] + pages[1].substr(0, pages[1].size() / 2), true},
        {"the second page missing", join(withoutSecond), true},
        {"the headers alone", pages[0] + pages[1], false},
        {"the identification header without channels", changed(0, 28 + 11, '\0'), true},
        {"the comment header's signature damaged", changed(1, comment + 6, 'z'), true},
        {"the setup header's codebook count absurd", changed(1, setup + 7, '\xFF'), true},
        {"the second page out of sequence", changed(1, 18, '\x07'), true},
        {"two sound pages swapped", join(swapped), false},
        {"a sound page missing", join(withoutSound), false},
        {"a second link's headers 70 KB after its beginning",
         join(pages) + secondPages[0] + std::string(70000, '\0') +
             second.substr(secondPages[0].size()),
         true},
        {"pages hidden inside a first link's pages", longLink + second, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const OggRun run = DecodeOggMemory(c.bytes);
        if (c.refused) {
            EXPECT_EQ(run.open, -1);
        }
        if (run.open == 0) {
            EXPECT_EQ(static_cast<int>(run.pcm.size()) % run.format.nBlockAlign, 0);
        }
        EXPECT_EQ(g_windowSystem.tracker.count, 0);
        EXPECT_FALSE(qztest::HasLeakedBlocks());
    }
}

// A memory stream whose reads fail (-1) once they would start at or past failFrom. After
// 100 failed reads it gives 0, the end, so a reader that keeps asking still stops; the
// failed reads are counted.
struct FailingStream {
    MemoryStream* memory;
    int failFrom;
    int failedReads = 0;

    static FailingStream* Of(void* data) { return static_cast<FailingStream*>(data); }
    static int Tell(void* data) { return MemoryStreamTell(Of(data)->memory); }
    static int Seek(void* data, int offset, int origin) { return MemoryStreamSeek(Of(data)->memory, offset, origin); }
    static int Read(void* buffer, int size, int count, void* data) {
        FailingStream* self = Of(data);
        if (MemoryStreamTell(self->memory) < self->failFrom) {
            // A read is cut at failFrom, so the next one starts there and fails.
            const int left = self->failFrom - MemoryStreamTell(self->memory);
            const int items = size > 0 ? std::min(count, std::max(left / size, 1)) : count;
            return MemoryStreamRead(buffer, size, items, self->memory);
        }
        return ++self->failedReads > 100 ? 0 : -1;
    }
    static int Eof(void* data) { return MemoryStreamEof(Of(data)->memory); }
    static int Idle(void*) { return 1; }
    static int Close(void*) { return 0; }
    ReadStream Stream() { return ReadStream{{Tell, Seek, Read, Eof, Idle, Close}, this}; }
};

// A failed read is the end of the data to libvorbisfile (a read callback giving -1 as a
// size would be taken as a huge count): the open or the decode stops there, at once,
// with what it had.
TEST(OggDecoderTest, AFailedReadEndsTheSoundWhereItFails) {
    const std::string ogg = qztest::WriteOggVorbis(1, 8000, 40000);
    const OggRun whole = DecodeOggMemory(ogg);
    ASSERT_EQ(whole.open, 0);
    for (int failFrom : {0, 100, static_cast<int>(ogg.size()) / 2, static_cast<int>(ogg.size()) - 10}) {
        SCOPED_TRACE("reads fail from byte " + std::to_string(failFrom));
        MemoryStream* memory = OpenMemoryStream(ogg.data(), static_cast<int>(ogg.size()));
        FailingStream failing{memory, failFrom};
        const OggRun run = DecodeOgg(failing.Stream());
        CloseMemoryStream(memory);
        if (failFrom < 200) {
            EXPECT_EQ(run.open, -1) << "no headers";
        }
        EXPECT_LE(failing.failedReads, 10) << "a failed read was asked again and again";
        EXPECT_LE(run.pcm.size(), whole.pcm.size());
        EXPECT_TRUE(whole.pcm.compare(0, run.pcm.size(), run.pcm) == 0) << "what came out is the start of the sound";
    }
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

// A page missing from the middle is a hole: the decode skips it and goes on to the end.
TEST(OggDecoderTest, AMissingPageIsSkippedAndTheDecodeGoesOn) {
    const std::string ogg = qztest::WriteOggVorbis(2, 44100, 200000);
    const std::vector<std::string> pages = OggPages(ogg);
    ASSERT_GE(pages.size(), 6u);
    const size_t dropped = pages.size() / 2;
    std::string holed, beforeHole;
    for (size_t i = 0; i < pages.size(); i++) {
        if (i != dropped) holed += pages[i];
        if (i < dropped) beforeHole += pages[i];
    }
    const OggRun whole = DecodeOggMemory(ogg);
    const OggRun run = DecodeOggMemory(holed);
    const OggRun cut = DecodeOggMemory(beforeHole);
    ASSERT_EQ(whole.open, 0);
    ASSERT_EQ(run.open, 0);
    ASSERT_EQ(cut.open, 0);
    EXPECT_GT(run.pcm.size(), cut.pcm.size() + 4000) << "the decode stopped at the hole";
    EXPECT_LT(run.pcm.size(), whole.pcm.size());
    const size_t tail = 2000;
    ASSERT_GT(run.pcm.size(), tail);
    EXPECT_TRUE(run.pcm.compare(run.pcm.size() - tail, tail, whole.pcm, whole.pcm.size() - tail, tail) == 0)
        << "the sound after the hole is the sound's own end";
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

// The same bytes through a memory stream, a plain file and archive members.
class CodecSourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ptest::MapDriveC(dir.path());
        ClearArchiveTable();
        SetFileAccessTable(nullptr);
    }
    void TearDown() override { ptest::ResetControls(); }

    template <typename Decode>
    void ForEachSource(const std::string& bytes, Decode decode) {
        qztest::WriteWholeFile(dir.file("plain.bin"), bytes);
        qztest::ArchiveWriter writer;
        writer.AddFile("STORED.BIN", bytes);
        writer.AddFile("PACKED.BIN", bytes, true);
        qztest::WriteWholeFile(dir.file("pack.qza"), writer.Build(qztest::ArchiveKey::First));
        for (const char* name : {"plain.bin", "pack\\stored.bin", "pack\\packed.bin"}) {
            SCOPED_TRACE(name);
            FileHandle h = FileAccessOpen(name, 0, 1);
            ASSERT_NE(h, 0u);
            ReadStream stream;
            MakeFileReadStream(&stream, h);
            decode(stream);
            FileAccessClose(h);
        }
        // The next call rewrites the archive: the cached one must go.
        FreeUnusedArchives();
    }
    qztest::TempDir dir;
};

TEST_F(CodecSourcesTest, EverySourceDecodesAlike) {
    const std::string ogg = qztest::WriteOggVorbis(1, 22050, 9000);
    const OggRun fromMemory = DecodeOggMemory(ogg);
    ASSERT_EQ(fromMemory.open, 0);
    ForEachSource(ogg, [&](const ReadStream& stream) {
        OggRun run = DecodeOgg(stream);
        EXPECT_EQ(run.open, 0);
        EXPECT_EQ(run.decodedSize, fromMemory.decodedSize);
        EXPECT_TRUE(run.pcm == fromMemory.pcm);
    });

    const std::string png = qztest::WritePng(Spec(40, 30, 2, 8, qztest::GradientRgb(40, 30)));
    // A picture whose data spans many of the file source's pieces, whole and cut short
    // (memory hands libjpeg everything at once, files piece by piece).
    const std::string jpeg = qztest::WriteJpeg(240, 180, 3, qztest::GradientRgb(240, 180), 100);
    ASSERT_GT(jpeg.size(), 3u * 4096);
    const std::pair<GraphImageLoader, std::string> images[] = {
        {LoadPngToGraphImage, png}, {LoadJpegToGraphImage, jpeg}, {LoadJpegToGraphImage, jpeg.substr(0, 9000)}};
    for (const auto& [loader, bytes] : images) {
        GraphImage expected = {};
        ASSERT_EQ(LoadFromMemory(loader, bytes, &expected), 0);
        ForEachSource(bytes, [&](ReadStream stream) {
            GraphImage image = {};
            ASSERT_EQ(loader(&stream, &image), 0);
            EXPECT_EQ(image.pitch, expected.pitch);
            EXPECT_TRUE(PixelBytes(image) == PixelBytes(expected));
            FreeGraphImage(&image);
        });
        FreeGraphImage(&expected);
    }
    FreeUnusedArchives();
    EXPECT_EQ(g_windowSystem.tracker.count, 0);
}

}  // namespace

}  // namespace QzUseCLibCodec_test
