// VorbisWriter.cpp: headers first, each on its own page, then the audio packets paged as
// libogg cuts them, the last page flushed. The same samples give the same bytes.
#include "VorbisWriter.h"

#include <vorbis/vorbisenc.h>

namespace vorbiswriter {

std::string Encode(int channels, int rate, int frames, int serial, const Fill& fill) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.3f) != 0) {
        vorbis_info_clear(&info);
        return "";
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);

    std::string out;
    ogg_page page;
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    auto appendPage = [&]() {
        out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
    };
    while (ogg_stream_flush(&stream, &page) != 0) appendPage();

    constexpr int kChunk = 1024;
    for (int done = 0; done <= frames;) {
        const int count = frames - done < kChunk ? frames - done : kChunk;
        if (count > 0) fill(vorbis_analysis_buffer(&dsp, count), done, count);
        vorbis_analysis_wrote(&dsp, count);  // 0: the end of the stream
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) appendPage();
            }
        }
        if (count == 0) break;
        done += count;
    }
    while (ogg_stream_flush(&stream, &page) != 0) appendPage();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

}  // namespace vorbiswriter
