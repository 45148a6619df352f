// A started library reads through the archive-aware file set: an image and an Ogg stream
// decode alike from plain files and from a QZA archive standing for their folder.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ArchiveWriter.h"
#include "CodecFixtures.h"
#include "LibraryFixture.h"
#include "QzArchive_FileSet.h"
#include "QzUseCLibCodec.h"
#include "QzWinFileAccess.h"
#include "QzWinMemory.h"

namespace QzArchiveStartup_test {

namespace {

using ArchiveStartupTest = LibraryTest;

// The picture's bytes, or "" when the file cannot be opened or decoded.
std::string DecodePicture(const char* path) {
    FileHandle file = FileAccessOpen(path, 0, 1);
    if (file == 0) return "";
    ReadStream stream;
    MakeFileReadStream(&stream, file);
    GraphImage image = {};
    std::string pixels;
    if (LoadPngToGraphImage(&stream, &image) == 0) {
        pixels.assign(static_cast<const char*>(image.pixels), static_cast<size_t>(image.pitch) * image.height);
        FreeGraphImage(&image);
    }
    FileAccessClose(file);
    return pixels;
}

// The sound's PCM, or "" when the file cannot be opened or decoded.
std::string DecodeSound(const char* path) {
    FileHandle file = FileAccessOpen(path, 0, 1);
    if (file == 0) return "";
    SoundDecoder* decoder = static_cast<SoundDecoder*>(std::calloc(1, sizeof(SoundDecoder)));
    MakeFileReadStream(&decoder->stream, file);
    std::string pcm;
    if (OpenOggDecoder(decoder) == 0) {
        decoder->blockBuffer = AllocMemory(decoder->blockSize, __FILE_NAME__, __LINE__);
        while (DecodeOggBlock(decoder) == 0)
            pcm.append(static_cast<const char*>(decoder->blockBuffer), static_cast<size_t>(decoder->blockValid));
        FreeMemory(decoder->blockBuffer);
        CloseOggDecoder(decoder);
    }
    std::free(decoder);
    FileAccessClose(file);
    return pcm;
}

TEST_F(ArchiveStartupTest, StartedLibraryReadsPlainFilesAndArchivesAlike) {
    qztest::PngSpec spec;
    spec.width = 24;
    spec.height = 16;
    spec.colorType = 2;
    spec.rows = qztest::GradientRgb(24, 16);
    const std::string png = qztest::WritePng(spec), ogg = qztest::WriteOggVorbis(2, 22050, 5000);
    std::filesystem::create_directories(dir.file("plain"));
    qztest::WriteWholeFile(dir.file("plain/ship.png"), png);
    qztest::WriteWholeFile(dir.file("plain/theme.ogg"), ogg);
    qztest::ArchiveWriter writer;
    writer.AddFile("SHIP.PNG", png, true);
    writer.AddFile("THEME.OGG", ogg);
    qztest::WriteWholeFile(dir.file("packed.qza"), writer.Build(qztest::ArchiveKey::First));
    ptest::MapDriveC(dir.path());

    ApiChangeWindowMode(1);
    ASSERT_EQ(ApiInitializeLibrary(), 0);
    Locked([] {
        FileHandle probe = FileAccessOpen("plain\\ship.png", 0, 1);
        EXPECT_EQ(probe & 0xF0000000u, 0xF0000000u) << "the archive-aware set is installed";
        FileAccessClose(probe);
        const std::string picture = DecodePicture("plain\\ship.png"), sound = DecodeSound("plain\\theme.ogg");
        EXPECT_EQ(picture.size(), 24u * 16u * 3u);
        EXPECT_EQ(sound.size(), 5000u * 4u);
        EXPECT_TRUE(DecodePicture("packed\\ship.png") == picture);
        EXPECT_TRUE(DecodeSound("PACKED/Theme.ogg") == sound);
        EXPECT_EQ(GetArchiveTable()->archiveCount, 1);
        return 0;
    });
    EXPECT_EQ(ApiTerminateLibrary(), 0);
    // The end released the archive: the dump is empty.
    EXPECT_NE(Log().find("Total size:0(0.000kb)  Alloc num:0"), std::string::npos);
}

}  // namespace

}  // namespace QzArchiveStartup_test
