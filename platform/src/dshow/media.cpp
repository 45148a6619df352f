// dshow/media.cpp: from a wide file name to FFmpeg's open file: the name resolved as
// CreateFileA resolves it, the demuxer chosen by FFmpeg's probe (with the kinds of file
// that are no movie refused), the best streams and their decoders. Any thread.
#include <sys/stat.h>

#include <cstring>
#include <string_view>

#include "dshow/av.h"
#include "dshow/internal.h"
#include "kernel/paths.h"
#include "platform/dmusic.h"  // WideCharToMultiByte

namespace dshow {
namespace {

// Demuxers whose files are no movie: still images (so a damaged picture never plays as
// a one-frame movie; raw JPEG streams included), text shown as pictures, and lists that
// make the demuxer open other files.
bool IsRefusedDemuxer(const char* names) {
    static const char* const kRefused[] = {"image2", "image2pipe", "mjpeg", "mpjpeg", "tty", "bin", "xbin",
                                           "adf", "idf", "hls", "concat", "ffmetadata", "sdp", "rtsp", "data"};
    std::string_view all(names ? names : "");
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(',', start);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view name = all.substr(start, end - start);
        if (name.size() > 5 && name.substr(name.size() - 5) == "_pipe")
            return true;
        for (const char* refused : kRefused)
            if (name == refused)
                return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

HRESULT ResolveMovieName(LPCWSTR name, std::string* linuxPath) {
    if (name == nullptr)
        return E_POINTER;
    int bytes = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return VFW_E_NOT_FOUND;
    std::string cp932(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, name, -1, cp932.data(), bytes, nullptr, nullptr);
    cp932.resize(std::strlen(cp932.c_str()));
    kernel::ResolvedPath resolved;
    if (kernel::ResolvePath(cp932.c_str(), &resolved) != 0 || !resolved.exists || resolved.isDirectory ||
        resolved.trailingSeparator)
        return VFW_E_NOT_FOUND;
    // Only a plain file: a pipe or a device would keep the demuxer waiting.
    struct stat info;
    if (stat(resolved.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return VFW_E_NOT_FOUND;
    *linuxPath = resolved.path;
    return S_OK;
}

HRESULT OpenContainer(const std::string& linuxPath, AVFormatContext** out, const AVInputFormat* format) {
    *out = nullptr;
    // FFmpeg is loaded here, at the first open: a machine without it has no movie.
    if (!LoadAv())
        return VFW_E_UNSUPPORTED_STREAM;
    AVDictionary* options = nullptr;
    g_av.av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* context = nullptr;
    // "file:" keeps a name with a colon from being read as another protocol.
    std::string url = "file:" + linuxPath;
    int result = g_av.avformat_open_input(&context, url.c_str(), format, &options);
    g_av.av_dict_free(&options);
    if (result < 0)
        return VFW_E_UNSUPPORTED_STREAM;
    if (IsRefusedDemuxer(context->iformat->name) || g_av.avformat_find_stream_info(context, nullptr) < 0) {
        g_av.avformat_close_input(&context);
        return VFW_E_UNSUPPORTED_STREAM;
    }
    *out = context;
    return S_OK;
}

void CloseContainer(AVFormatContext** context) {
    if (*context)
        g_av.avformat_close_input(context);
}

bool DecodeNextFrame(AVFormatContext* container, AVCodecContext* decoder, int stream, AVPacket* packet,
                     AVFrame* frame, bool* draining) {
    int errors = 0;
    for (;;) {
        int result = g_av.avcodec_receive_frame(decoder, frame);
        if (result == 0)
            return true;
        if (result == AVERROR_EOF || (result != AVERROR(EAGAIN) && (*draining || ++errors > 100)))
            return false;
        result = g_av.av_read_frame(container, packet);
        if (result < 0) {
            *draining = true;
            g_av.avcodec_send_packet(decoder, nullptr);
            continue;
        }
        if (packet->stream_index == stream)
            g_av.avcodec_send_packet(decoder, packet);  // a damaged packet is skipped
        g_av.av_packet_unref(packet);
    }
}

int FindVideoStream(AVFormatContext* context) {
    int best = -1;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* s = context->streams[i];
        if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (s->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        if (best < 0)
            best = static_cast<int>(i);
    }
    if (best < 0)
        return -1;
    int chosen = g_av.av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (chosen >= 0 && !(context->streams[chosen]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        return chosen;
    return best;
}

int FindAudioStream(AVFormatContext* context) {
    int chosen = g_av.av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    return chosen >= 0 ? chosen : -1;
}

AVCodecContext* OpenDecoder(AVFormatContext* context, int stream) {
    if (stream < 0)
        return nullptr;
    const AVCodecParameters* parameters = context->streams[stream]->codecpar;
    const AVCodec* codec = g_av.avcodec_find_decoder(parameters->codec_id);
    if (codec == nullptr)
        return nullptr;
    AVCodecContext* decoder = g_av.avcodec_alloc_context3(codec);
    if (decoder == nullptr)
        return nullptr;
    // One thread: decoding stays on the calling thread, in order.
    decoder->thread_count = 1;
    if (g_av.avcodec_parameters_to_context(decoder, parameters) < 0 || g_av.avcodec_open2(decoder, codec, nullptr) < 0) {
        g_av.avcodec_free_context(&decoder);
        return nullptr;
    }
    decoder->pkt_timebase = context->streams[stream]->time_base;
    return decoder;
}

int PixelFormatOfSurface(const DDPIXELFORMAT& f) {
    if (f.dwFlags & DDPF_FOURCC) {
        if (f.dwFourCC == MAKEFOURCC('U', 'Y', 'V', 'Y'))
            return AV_PIX_FMT_UYVY422;
        if (f.dwFourCC == MAKEFOURCC('Y', 'U', 'Y', '2'))
            return AV_PIX_FMT_YUYV422;
        return AV_PIX_FMT_NONE;
    }
    if (!(f.dwFlags & DDPF_RGB))
        return AV_PIX_FMT_NONE;
    if (f.dwRGBBitCount == 32 && f.dwRBitMask == 0xFF0000 && f.dwGBitMask == 0xFF00 && f.dwBBitMask == 0xFF)
        return AV_PIX_FMT_BGR0;  // bytes B, G, R, unused
    if (f.dwRGBBitCount == 24 && f.dwRBitMask == 0xFF0000 && f.dwGBitMask == 0xFF00 && f.dwBBitMask == 0xFF)
        return AV_PIX_FMT_BGR24;
    if (f.dwRGBBitCount == 16 && f.dwRBitMask == 0xF800 && f.dwGBitMask == 0x07E0 && f.dwBBitMask == 0x001F)
        return AV_PIX_FMT_RGB565LE;
    if (f.dwRGBBitCount == 16 && f.dwRBitMask == 0x7C00 && f.dwGBitMask == 0x03E0 && f.dwBBitMask == 0x001F)
        return AV_PIX_FMT_RGB555LE;
    return AV_PIX_FMT_NONE;
}

}  // namespace dshow
