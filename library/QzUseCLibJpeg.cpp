// QzUseCLibJpeg.cpp: JPEG images through libjpeg, as a GraphImageLoader. Callers hold
// the library lock.
//
// libjpeg reports errors through JpegErrorExit, which outputs libjpeg's message and jumps
// back to RunJpegDecode. No frame that jump crosses owns an object with a destructor, and
// everything the loader must release afterwards lives in the loader's own frame, above
// the jump. libjpeg's messages, warnings among them, are dropped: its own output would
// put them on standard error, which a windowed game does not have, and the library's log
// keeps only the library's own lines.
// The source reads the stream in 4096-byte pieces; a stream that ends early gets
// libjpeg's warning and an end-of-image code, so the picture is completed by libjpeg.
// A memory stream's bytes are handed over where they lie, all that is left at once:
// libjpeg sees the same bytes without the copies, and its fast decoding path no longer
// drops to the slow one near the end of every piece.
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "QzUseCLibCodec.h"
#include "QzWinMemory.h"

namespace {

constexpr int64_t kMaxTrackedBlock = INT_MAX - kAllocHeaderSize;
constexpr int kJpegSourceBufferSize = 4096;

struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// Allocated in libjpeg's permanent pool on first use, with its buffer.
struct JpegStreamSource {
    jpeg_source_mgr pub;
    JOCTET* buffer;
    int32_t startOfFile;  // nothing read yet
    ReadStream* stream;
    int32_t endPosition;  // the stream's end, measured when the source is set
};

// Blocks of ours an error must free.
struct JpegOwnBlocks {
    unsigned char* pixels;
};

void JpegDropMessage(j_common_ptr) {}

void JpegErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

void InitJpegSource(j_decompress_ptr cinfo) { reinterpret_cast<JpegStreamSource*>(cinfo->src)->startOfFile = 1; }

boolean FillJpegInputBuffer(j_decompress_ptr cinfo) {
    JpegStreamSource* source = reinterpret_cast<JpegStreamSource*>(cinfo->src);
    ReadStream* stream = source->stream;
    int64_t left = static_cast<int64_t>(source->endPosition) - stream->functions.tell(stream->data);
    if (left > 0 && stream->functions.read == GetMemoryStreamFunctions()->read) {
        // As the read of one item would: the position moves on, the end flag stays.
        MemoryStream* memory = static_cast<MemoryStream*>(stream->data);
        const int n = static_cast<int>(std::min<int64_t>(left, memory->size - memory->position));
        if (n > 0) {
            source->pub.next_input_byte = static_cast<const JOCTET*>(memory->data) + memory->position;
            source->pub.bytes_in_buffer = static_cast<size_t>(n);
            memory->position += n;
            source->startOfFile = 0;
            return TRUE;
        }
    }
    int n = left < kJpegSourceBufferSize ? static_cast<int>(left < 0 ? 0 : left) : kJpegSourceBufferSize;
    // A read that delivers nothing is an early end like any other.
    if (n > 0 && stream->functions.read(source->buffer, n, 1, stream->data) == 0) n = 0;
    if (n == 0) {
        if (source->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        n = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = static_cast<size_t>(n);
    source->startOfFile = 0;
    return TRUE;
}

void SkipJpegInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = cinfo->src;
    while (count > static_cast<long>(source->bytes_in_buffer)) {
        count -= static_cast<long>(source->bytes_in_buffer);
        FillJpegInputBuffer(cinfo);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermJpegSource(j_decompress_ptr) {}

void SetJpegStreamSource(j_decompress_ptr cinfo, ReadStream* stream) {
    if (cinfo->src == nullptr) {
        JpegStreamSource* created = static_cast<JpegStreamSource*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegStreamSource)));
        created->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kJpegSourceBufferSize * sizeof(JOCTET)));
        cinfo->src = &created->pub;
    }
    JpegStreamSource* source = reinterpret_cast<JpegStreamSource*>(cinfo->src);
    source->pub.init_source = InitJpegSource;
    source->pub.fill_input_buffer = FillJpegInputBuffer;
    source->pub.skip_input_data = SkipJpegInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = TermJpegSource;
    int start = stream->functions.tell(stream->data);
    stream->functions.seek(stream->data, 0, kSeekFromEnd);
    source->endPosition = stream->functions.tell(stream->data);
    stream->functions.seek(stream->data, start, kSeekFromStart);
    source->stream = stream;
    source->pub.bytes_in_buffer = 0;
    source->pub.next_input_byte = nullptr;
}

// Everything after the error return; libjpeg may jump out of it at any call. Returns 0,
// or -1 for a refusal that is no libjpeg error (components, size, memory).
int DecodeJpeg(jpeg_decompress_struct* cinfo, ReadStream* stream, GraphImage* image, JpegOwnBlocks* own) {
    jpeg_create_decompress(cinfo);
    SetJpegStreamSource(cinfo, stream);
    jpeg_read_header(cinfo, TRUE);
    // Colour pictures come out blue, green, red: libjpeg-turbo writes that order itself.
    bool swapToBgr = cinfo->out_color_space == JCS_RGB;
#ifdef JCS_EXTENSIONS
    if (swapToBgr) {
        cinfo->out_color_space = JCS_EXT_BGR;
        swapToBgr = false;
    }
#endif
    jpeg_start_decompress(cinfo);

    int components = cinfo->output_components;
    if (components != 1 && components != 3) return -1;  // CMYK and YCCK
    int64_t rowBytes = static_cast<int64_t>(cinfo->output_width) * components;
    int64_t total = rowBytes * cinfo->output_height;
    if (rowBytes == 0 || total > kMaxTrackedBlock) return -1;
    own->pixels = static_cast<unsigned char*>(AllocMemory(static_cast<int>(total), __FILE_NAME__, __LINE__));
    if (own->pixels == nullptr) return -1;

    // Lines are decoded straight into their rows of the block.
    while (cinfo->output_scanline < cinfo->output_height) {
        unsigned char* row = own->pixels + static_cast<int64_t>(cinfo->output_scanline) * rowBytes;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return -1;
        if (swapToBgr) {
            for (int64_t x = 0; x < rowBytes; x += 3) {
                unsigned char red = row[x];
                row[x] = row[x + 2];
                row[x + 2] = red;
            }
        }
    }
    jpeg_finish_decompress(cinfo);

    std::memset(&image->colorFormat, 0, sizeof(image->colorFormat));
    if (components == 1)
        SetupGray8ColorFormat(&image->colorFormat);
    else
        SetupRGB24ColorFormat(&image->colorFormat);
    image->width = static_cast<int32_t>(cinfo->output_width);
    image->height = static_cast<int32_t>(cinfo->output_height);
    image->pitch = static_cast<int32_t>(rowBytes);
    image->pixels = own->pixels;
    own->pixels = nullptr;
    return 0;
}

// The error return: libjpeg's jumps land here, with nothing of this frame changed since.
__attribute__((noinline)) int RunJpegDecode(jpeg_decompress_struct* cinfo, JpegErrorManager* error,
                                            ReadStream* stream, GraphImage* image, JpegOwnBlocks* own) {
    if (setjmp(error->jump)) return -1;
    return DecodeJpeg(cinfo, stream, image, own);
}

}  // namespace

int LoadJpegToGraphImage(ReadStream* stream, GraphImage* image) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager error;
    std::memset(&cinfo, 0, sizeof(cinfo));
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = JpegErrorExit;
    error.pub.output_message = JpegDropMessage;
    JpegOwnBlocks own = {nullptr};
    int result = RunJpegDecode(&cinfo, &error, stream, image, &own);
    if (own.pixels != nullptr) FreeMemory(own.pixels);
    jpeg_destroy_decompress(&cinfo);
    return result;
}
