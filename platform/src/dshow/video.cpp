// dshow/video.cpp: the video track of an open file. Frames are decoded in order on the
// calling thread and timed on the stream clock: a frame's time is its timestamp less the
// stream's start (a frame without one follows the previous by one frame's duration, and
// times never go back). Delivery keeps one frame in hand, and the next when it had to look
// at it: the latest frame whose time has come is written, earlier ones are dropped. A frame
// is converted with libswscale straight into the locked surface, top row first.
// Under the Movie's lock.
#include <algorithm>
#include <mutex>

#include "ddraw/internal.h"
#include "dshow/av.h"
#include "dshow/internal.h"

namespace dshow {
namespace {

constexpr AVRational kStreamTimeBase = {1, 10'000'000};

// The YUV formats FFmpeg marks as full range by name, as their plain twins.
AVPixelFormat PlainTwin(AVPixelFormat format, bool* fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: *fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: *fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: *fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: *fullRange = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: *fullRange = true; return AV_PIX_FMT_YUV411P;
    default: return format;
    }
}

// The scaler of the last track that ended on an RGB surface, kept for the next one: a
// movie opened again, or another of the same size and format, skips building one. The
// colour details are set again for every frame and fully decide a conversion to RGB, so a
// kept scaler writes the same bytes as a new one. A scaler to packed YUV is not kept: once
// it has met a second colour space it converts through an extra stage.
std::mutex g_spareLock;
SwsContext* g_spareScaler = nullptr;
VideoTrack::ScalerShape g_spareShape;

void TakeSpareScaler(SwsContext** scaler, VideoTrack::ScalerShape* shape) {
    std::lock_guard<std::mutex> hold(g_spareLock);
    *scaler = g_spareScaler;
    *shape = g_spareShape;
    g_spareScaler = nullptr;
}

void KeepSpareScaler(SwsContext* scaler, const VideoTrack::ScalerShape& shape) {
    std::lock_guard<std::mutex> hold(g_spareLock);
    std::swap(scaler, g_spareScaler);
    g_spareShape = shape;
    g_av.sws_freeContext(scaler);  // the one kept before, if any
}

bool IsRgb(AVPixelFormat format) {
    const AVPixFmtDescriptor* desc = g_av.av_pix_fmt_desc_get(format);
    return desc && (desc->flags & AV_PIX_FMT_FLAG_RGB);
}

}  // namespace

std::unique_ptr<VideoTrack> VideoTrack::Create(AVFormatContext* container, int stream, AVCodecContext* decoder) {
    std::unique_ptr<VideoTrack> track(new VideoTrack());
    track->container_ = container;
    track->decoder_ = decoder;
    track->stream_ = stream;
    if (container == nullptr || decoder == nullptr || stream < 0)
        return nullptr;
    track->pending_ = g_av.av_frame_alloc();
    track->ahead_ = g_av.av_frame_alloc();
    if (track->pending_ == nullptr || track->ahead_ == nullptr)
        return nullptr;
    // Only the video stream's packets are read.
    for (unsigned i = 0; i < container->nb_streams; ++i)
        if (static_cast<int>(i) != stream)
            container->streams[i]->discard = AVDISCARD_ALL;
    const AVStream* s = container->streams[stream];
    if (s->start_time != AV_NOPTS_VALUE) {
        track->startPts_ = s->start_time;
        track->startKnown_ = true;
    }
    AVRational rate = s->avg_frame_rate.num > 0 && s->avg_frame_rate.den > 0 ? s->avg_frame_rate : s->r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        track->frameDuration_ = g_av.av_rescale_q(1, av_inv_q(rate), kStreamTimeBase);
    if (track->frameDuration_ <= 0)
        track->frameDuration_ = 400'000;  // 25 frames a second
    // The first frame now: a file whose video does not decode has no video.
    if (!track->Decode(track->pending_, &track->pendingTime_))
        return nullptr;
    track->havePending_ = true;
    track->width_ = track->pending_->width;
    track->height_ = track->pending_->height;
    if (track->width_ < 1 || track->height_ < 1 || track->width_ > 16384 || track->height_ > 16384)
        return nullptr;
    track->counted_ = true;
    CountObject(1);
    return track;
}

VideoTrack::~VideoTrack() {
    if (counted_)
        CountObject(-1);
    g_av.av_frame_free(&pending_);
    g_av.av_frame_free(&ahead_);
    if (scaler_ != nullptr && IsRgb(static_cast<AVPixelFormat>(scalerShape_.format)))
        KeepSpareScaler(scaler_, scalerShape_);
    else
        g_av.sws_freeContext(scaler_);
    g_av.avcodec_free_context(&decoder_);
    CloseContainer(&container_);
}

bool VideoTrack::Decode(AVFrame* frame, STREAM_TIME* time) {
    if (ended_)
        return false;
    AVPacket* packet = g_av.av_packet_alloc();
    if (packet == nullptr)
        return false;
    const bool got = DecodeNextFrame(container_, decoder_, stream_, packet, frame, &draining_);
    g_av.av_packet_free(&packet);
    if (!got) {
        ended_ = true;
        return false;
    }

    int64_t pts = frame->best_effort_timestamp;
    STREAM_TIME t;
    if (pts == AV_NOPTS_VALUE) {
        t = lastTime_ < 0 ? 0 : lastTime_ + frameDuration_;
    } else {
        if (!startKnown_) {
            startPts_ = pts;
            startKnown_ = true;
        }
        t = g_av.av_rescale_q(pts - startPts_, container_->streams[stream_]->time_base, kStreamTimeBase);
        if (t < 0)
            t = 0;
    }
    if (lastTime_ >= 0 && t < lastTime_)
        t = lastTime_;
    lastTime_ = t;
    *time = t;
    return true;
}

HRESULT VideoTrack::Deliver(ddraw::Surface* surface, STREAM_TIME now) {
    if (!havePending_) {
        if (!Decode(pending_, &pendingTime_))
            return MS_S_ENDOFSTREAM;
        havePending_ = true;
    }
    if (pendingTime_ > now)
        return MS_S_PENDING;
    // Late frames are dropped: the latest frame due wins.
    for (;;) {
        if (!haveAhead_) {
            if (!Decode(ahead_, &aheadTime_))
                break;
            haveAhead_ = true;
        }
        if (aheadTime_ > now)
            break;
        std::swap(pending_, ahead_);
        pendingTime_ = aheadTime_;
        haveAhead_ = false;
    }
    HRESULT hr = Write(pending_, surface);
    if (FAILED(hr))
        return hr;
    std::swap(pending_, ahead_);
    pendingTime_ = aheadTime_;
    havePending_ = haveAhead_;
    haveAhead_ = false;
    return S_OK;
}

void VideoTrack::Seek(STREAM_TIME time) {
    const AVStream* s = container_->streams[stream_];
    int64_t target = g_av.av_rescale_q_rnd(time, kStreamTimeBase, s->time_base, AV_ROUND_DOWN) + (startKnown_ ? startPts_ : 0);
    // The key frame at or before the time; else the start, decoding forward from there.
    if (g_av.avformat_seek_file(container_, stream_, INT64_MIN, target, target, 0) < 0 &&
        g_av.av_seek_frame(container_, stream_, target, AVSEEK_FLAG_BACKWARD) < 0)
        g_av.av_seek_frame(container_, -1, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE);
    g_av.avcodec_flush_buffers(decoder_);
    draining_ = false;
    ended_ = false;
    havePending_ = false;
    haveAhead_ = false;
    lastTime_ = -1;
}

HRESULT VideoTrack::Write(AVFrame* frame, ddraw::Surface* surface) {
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (FAILED(hr))
        return hr;
    auto target = static_cast<AVPixelFormat>(PixelFormatOfSurface(desc.ddpfPixelFormat));
    bool fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    AVPixelFormat source = PlainTwin(static_cast<AVPixelFormat>(frame->format), &fullRange);
    if (target != AV_PIX_FMT_NONE && frame->width > 0 && frame->height > 0) {
        const ScalerShape shape = {frame->width, frame->height, source, width_, height_, target};
        if (scaler_ == nullptr)
            TakeSpareScaler(&scaler_, &scalerShape_);
        // Only a change of shape builds a new scaler. sws_getCachedContext alone would
        // build one for every frame to a 32-bit surface: the scaler records that format
        // under another name, which never matches the one asked for.
        if (scaler_ == nullptr || !(shape == scalerShape_)) {
            g_av.sws_freeContext(scaler_);
            scaler_ = g_av.sws_getCachedContext(nullptr, shape.srcWidth, shape.srcHeight, source, width_, height_,
                                                target, SWS_BILINEAR, nullptr, nullptr, nullptr);
            scalerShape_ = shape;
        }
    }
    if (target == AV_PIX_FMT_NONE || scaler_ == nullptr) {
        surface->Unlock(nullptr);
        return MS_E_INCOMPATIBLE;
    }
    // Ranges as the frame says: RGB targets take the full range, packed YUV the video one.
    bool targetRgb = IsRgb(target);
    int colorspace = frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    g_av.sws_setColorspaceDetails(scaler_, g_av.sws_getCoefficients(colorspace), fullRange ? 1 : 0,
                             g_av.sws_getCoefficients(SWS_CS_DEFAULT), targetRgb ? 1 : 0, 0, 1 << 16, 1 << 16);
    uint8_t* planes[4] = {static_cast<uint8_t*>(desc.lpSurface), nullptr, nullptr, nullptr};
    int pitches[4] = {desc.lPitch, 0, 0, 0};
    g_av.sws_scale(scaler_, frame->data, frame->linesize, 0, frame->height, planes, pitches);
    surface->Unlock(nullptr);
    return S_OK;
}

}  // namespace dshow
