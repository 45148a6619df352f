// MovieWriter.cpp: see MovieWriter.h. Video frames are drawn in RGB and converted with
// libswscale to the encoder's format; packets go out interleaved by time.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include "MovieWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qztest {
namespace {

struct Output {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Output() {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

bool Fail(std::string* error, const std::string& what, int code = 0) {
    if (error) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        if (code < 0)
            av_strerror(code, text, sizeof text);
        *error = what + (code < 0 ? std::string(": ") + text : std::string());
    }
    return false;
}

// Sends a frame (null: the end) and writes every packet the encoder gives back.
bool Drain(Output& o, AVCodecContext* encoder, AVStream* stream, AVFrame* frame, std::string* error) {
    int result = avcodec_send_frame(encoder, frame);
    if (result < 0)
        return Fail(error, "send frame", result);
    for (;;) {
        result = avcodec_receive_packet(encoder, o.packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return Fail(error, "receive packet", result);
        av_packet_rescale_ts(o.packet, encoder->time_base, stream->time_base);
        o.packet->stream_index = stream->index;
        result = av_interleaved_write_frame(o.format, o.packet);
        if (result < 0)
            return Fail(error, "write packet", result);
    }
}

}  // namespace

const std::vector<uint32_t>& MovieColours() {
    static const std::vector<uint32_t> colours = {
        0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF, 0x000000, 0xFF8000, 0x8000FF,
    };
    return colours;
}

int NearestMovieColour(uint32_t rgb, int* distance) {
    int best = -1, bestDistance = 1 << 30;
    const auto& colours = MovieColours();
    for (size_t i = 0; i < colours.size(); ++i) {
        int d = 0;
        for (int shift : {16, 8, 0})
            d = std::max(d, std::abs(static_cast<int>((rgb >> shift) & 0xFF) -
                                     static_cast<int>((colours[i] >> shift) & 0xFF)));
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    if (distance)
        *distance = bestDistance;
    return best;
}

double DominantFrequency(const std::vector<int16_t>& samples, int channels, int rate, double fromHz, double toHz) {
    size_t count = samples.size() / static_cast<size_t>(channels);
    count = std::min<size_t>(count, 16384);
    double bestHz = 0, bestPower = -1;
    for (double hz = fromHz; hz <= toHz; hz += 1.0) {
        // Goertzel over the first channel.
        double coefficient = 2 * std::cos(2 * M_PI * hz / rate);
        double s1 = 0, s2 = 0;
        for (size_t i = 0; i < count; ++i) {
            double s = samples[i * channels] + coefficient * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            bestHz = hz;
        }
    }
    return bestHz;
}

bool WriteMovie(const std::string& path, const MovieSpec& spec, std::string* error) {
    av_log_set_level(AV_LOG_QUIET);  // the muxers' advice on standards is no failure
    Output o;
    int result = avformat_alloc_output_context2(&o.format, nullptr, spec.container.c_str(), path.c_str());
    if (result < 0 || o.format == nullptr)
        return Fail(error, "no muxer " + spec.container, result);
    o.packet = av_packet_alloc();
    o.frame = av_frame_alloc();

    if (!spec.videoCodec.empty()) {
        const AVCodec* codec = avcodec_find_encoder_by_name(spec.videoCodec.c_str());
        if (codec == nullptr)
            return Fail(error, "no encoder " + spec.videoCodec);
        o.video = avcodec_alloc_context3(codec);
        o.video->width = spec.width;
        o.video->height = spec.height;
        o.video->time_base = AVRational{1, spec.fps};
        o.video->framerate = AVRational{spec.fps, 1};
        o.video->pix_fmt = codec->id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
        if (spec.bt709) {
            o.video->colorspace = AVCOL_SPC_BT709;
            o.video->color_primaries = AVCOL_PRI_BT709;
            o.video->color_trc = AVCOL_TRC_BT709;
        }
        o.video->gop_size = 3;
        o.video->max_b_frames = 0;
        o.video->bit_rate = 2'000'000;
        // Every frame in full quality, so flat colours stay exact within a few levels.
        o.video->flags |= AV_CODEC_FLAG_QSCALE;
        o.video->global_quality = FF_QP2LAMBDA * 2;
        o.video->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
        if (o.format->oformat->flags & AVFMT_GLOBALHEADER)
            o.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        result = avcodec_open2(o.video, codec, nullptr);
        if (result < 0)
            return Fail(error, "open " + spec.videoCodec, result);
        o.videoStream = avformat_new_stream(o.format, nullptr);
        avcodec_parameters_from_context(o.videoStream->codecpar, o.video);
        o.videoStream->time_base = o.video->time_base;
        o.videoStream->avg_frame_rate = o.video->framerate;
    }
    if (!spec.audioCodec.empty()) {
        const AVCodec* codec = avcodec_find_encoder_by_name(spec.audioCodec.c_str());
        if (codec == nullptr)
            return Fail(error, "no encoder " + spec.audioCodec);
        o.audio = avcodec_alloc_context3(codec);
        o.audio->sample_rate = spec.audioRate;
        av_channel_layout_default(&o.audio->ch_layout, spec.audioChannels);
        o.audio->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        o.audio->time_base = AVRational{1, spec.audioRate};
        o.audio->bit_rate = 128'000;
        if (o.format->oformat->flags & AVFMT_GLOBALHEADER)
            o.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        result = avcodec_open2(o.audio, codec, nullptr);
        if (result < 0)
            return Fail(error, "open " + spec.audioCodec, result);
        o.audioStream = avformat_new_stream(o.format, nullptr);
        avcodec_parameters_from_context(o.audioStream->codecpar, o.audio);
        o.audioStream->time_base = o.audio->time_base;
    }
    if (!(o.format->oformat->flags & AVFMT_NOFILE)) {
        result = avio_open(&o.format->pb, path.c_str(), AVIO_FLAG_WRITE);
        if (result < 0)
            return Fail(error, "open " + path, result);
    }
    result = avformat_write_header(o.format, nullptr);
    if (result < 0)
        return Fail(error, "write header", result);

    // Video and sound by time, so the muxer interleaves them.
    int videoFrames = o.video ? static_cast<int>(spec.frames.size()) * spec.repeat : 0;
    int64_t audioSamples = o.audio ? static_cast<int64_t>(spec.toneSeconds * spec.audioRate) : 0;
    int audioChunk = o.audio && o.audio->frame_size > 0 ? o.audio->frame_size : 1024;
    int nextVideo = 0;
    int64_t nextSample = 0;
    while (nextVideo < videoFrames || nextSample < audioSamples) {
        double videoTime = nextVideo < videoFrames ? static_cast<double>(nextVideo) / spec.fps : 1e30;
        double audioTime = nextSample < audioSamples ? static_cast<double>(nextSample) / spec.audioRate : 1e30;
        av_frame_unref(o.frame);
        if (videoTime <= audioTime) {
            uint32_t colour = spec.frames[static_cast<size_t>(nextVideo / spec.repeat)];
            std::vector<uint8_t> rgb(static_cast<size_t>(spec.width) * spec.height * 3);
            for (size_t i = 0; i < rgb.size(); i += 3) {
                rgb[i] = static_cast<uint8_t>(colour >> 16);
                rgb[i + 1] = static_cast<uint8_t>(colour >> 8);
                rgb[i + 2] = static_cast<uint8_t>(colour);
            }
            o.frame->format = o.video->pix_fmt;
            o.frame->width = spec.width;
            o.frame->height = spec.height;
            av_frame_get_buffer(o.frame, 0);
            o.scaler = sws_getCachedContext(o.scaler, spec.width, spec.height, AV_PIX_FMT_RGB24, spec.width,
                                            spec.height, o.video->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
            const uint8_t* planes[1] = {rgb.data()};
            int pitches[1] = {spec.width * 3};
            sws_scale(o.scaler, planes, pitches, 0, spec.height, o.frame->data, o.frame->linesize);
            o.frame->pts = nextVideo;
            o.frame->quality = o.video->global_quality;
            o.frame->pict_type = AV_PICTURE_TYPE_NONE;
            if (!Drain(o, o.video, o.videoStream, o.frame, error))
                return false;
            ++nextVideo;
        } else {
            int samples = static_cast<int>(std::min<int64_t>(audioChunk, audioSamples - nextSample));
            if (o.audio->frame_size > 0)
                samples = o.audio->frame_size;  // a fixed-size encoder takes whole frames
            o.frame->format = o.audio->sample_fmt;
            o.frame->sample_rate = spec.audioRate;
            o.frame->nb_samples = samples;
            av_channel_layout_copy(&o.frame->ch_layout, &o.audio->ch_layout);
            av_frame_get_buffer(o.frame, 0);
            for (int i = 0; i < samples; ++i) {
                double t = static_cast<double>(nextSample + i) / spec.audioRate;
                double value = nextSample + i < audioSamples ? 0.5 * std::sin(2 * M_PI * spec.toneHz * t) : 0.0;
                for (int c = 0; c < spec.audioChannels; ++c) {
                    if (o.audio->sample_fmt == AV_SAMPLE_FMT_S16)
                        reinterpret_cast<int16_t*>(o.frame->data[0])[i * spec.audioChannels + c] =
                            static_cast<int16_t>(std::lround(value * 32767));
                    else if (o.audio->sample_fmt == AV_SAMPLE_FMT_S16P)
                        reinterpret_cast<int16_t*>(o.frame->data[c])[i] = static_cast<int16_t>(std::lround(value * 32767));
                    else if (o.audio->sample_fmt == AV_SAMPLE_FMT_FLTP)
                        reinterpret_cast<float*>(o.frame->data[c])[i] = static_cast<float>(value);
                    else
                        return Fail(error, "sample format of " + spec.audioCodec);
                }
            }
            o.frame->pts = nextSample;
            if (!Drain(o, o.audio, o.audioStream, o.frame, error))
                return false;
            nextSample += samples;
        }
    }
    if (o.video && !Drain(o, o.video, o.videoStream, nullptr, error))
        return false;
    if (o.audio && !Drain(o, o.audio, o.audioStream, nullptr, error))
        return false;
    result = av_write_trailer(o.format);
    if (result < 0)
        return Fail(error, "write trailer", result);
    return true;
}

}  // namespace qztest
