// dshow/av.h: FFmpeg as the movie layer reaches it: one table of the functions it calls,
// filled with dlopen/dlsym on the first movie open, so a process that plays no movie never
// loads FFmpeg's libraries (about 140 of them with their dependencies) nor pays for their
// relocation at start. The headers stay included for the types, constants and inline
// helpers. Any thread.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// Every FFmpeg function the movie layer calls, with the library that has it.
#define QZ_AV_FUNCTIONS(X)                \
    X(Format, avformat_open_input)        \
    X(Format, avformat_find_stream_info)  \
    X(Format, avformat_close_input)       \
    X(Format, avformat_seek_file)         \
    X(Format, av_read_frame)              \
    X(Format, av_find_best_stream)        \
    X(Format, av_seek_frame)              \
    X(Codec, avcodec_find_decoder)        \
    X(Codec, avcodec_alloc_context3)      \
    X(Codec, avcodec_parameters_to_context) \
    X(Codec, avcodec_open2)               \
    X(Codec, avcodec_free_context)        \
    X(Codec, avcodec_send_packet)         \
    X(Codec, avcodec_receive_frame)       \
    X(Codec, avcodec_flush_buffers)       \
    X(Codec, av_packet_alloc)             \
    X(Codec, av_packet_free)              \
    X(Codec, av_packet_unref)             \
    X(Util, av_log_set_level)             \
    X(Util, av_dict_set)                  \
    X(Util, av_dict_free)                 \
    X(Util, av_frame_alloc)               \
    X(Util, av_frame_free)                \
    X(Util, av_rescale_q)                 \
    X(Util, av_rescale_q_rnd)             \
    X(Util, av_pix_fmt_desc_get)          \
    X(Util, av_channel_layout_copy)       \
    X(Util, av_channel_layout_default)    \
    X(Util, av_channel_layout_uninit)     \
    X(Scale, sws_getCachedContext)        \
    X(Scale, sws_freeContext)             \
    X(Scale, sws_setColorspaceDetails)    \
    X(Scale, sws_getCoefficients)         \
    X(Scale, sws_scale)                   \
    X(Resample, swr_alloc_set_opts2)      \
    X(Resample, swr_set_matrix)           \
    X(Resample, swr_init)                 \
    X(Resample, swr_free)                 \
    X(Resample, swr_get_out_samples)      \
    X(Resample, swr_convert)

namespace dshow {

struct AvFunctions {
#define QZ_AV_MEMBER(library, name) decltype(&::name) name = nullptr;
    QZ_AV_FUNCTIONS(QZ_AV_MEMBER)
#undef QZ_AV_MEMBER
};

// The table. Filled once LoadAv has returned true, and never emptied: everything that
// holds an FFmpeg object was made after a successful load.
extern AvFunctions g_av;

// Loads FFmpeg's libraries and fills the table at the first call; false when a library
// or a function is missing, then and at every later call, with one line on standard
// error. Fault "MovieLibraries": the first load finds no library.
bool LoadAv();

}  // namespace dshow
