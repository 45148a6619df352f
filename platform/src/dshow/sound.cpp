// dshow/sound.cpp: the default sound renderer. It holds the sound device from its making
// (so it cannot be made without one) and, once a file is open, is one stream voice of the
// platform's mixer (dsound/mixer.h): while the stream clock runs, each mix decodes as much
// of the sound track as it needs, converts it with libswresample to the mixer's rate and
// channels in 16 bits, and adds it in; while the clock holds it adds nothing and keeps its
// place. A seek of the clock moves it to the same time, exact to the sample, at its next
// mix. It has its own open file, so it reads the sound track at its own pace.
// Threads: made and ended on the library's thread; mixed on the thread that mixes (under
// the mixer's lock, then its own).
#include <algorithm>
#include <vector>

#include "dshow/av.h"
#include "dshow/internal.h"
#include "dsound/mixer.h"

namespace dshow {

namespace {
constexpr AVRational kStreamTimeBase = {1, 10'000'000};

// What a sound track may claim and still be converted. A damaged or hostile file can claim
// billions of samples a second, and building a resampler for that would take seconds and
// gigabytes on the mixing thread: such a track is not played (the picture still is).
bool IsPlayableSound(int rate, int channels) {
    return rate >= 1'000 && rate <= 384'000 && channels >= 1 && channels <= 8;
}
}  // namespace

class SoundRenderer final : public dsound::StreamVoice {
public:
    explicit SoundRenderer(std::shared_ptr<Timeline> timeline) : timeline_(std::move(timeline)) { CountObject(1); }

    ~SoundRenderer() {
        if (registered_) {
            std::lock_guard<std::mutex> mix(dsound::MixLock());
            dsound::RemoveStreamVoice(this);
        }
        // Without an attached file nothing of FFmpeg's was made (nor perhaps loaded).
        if (container_ != nullptr) {
            g_av.av_frame_free(&frame_);
            g_av.av_packet_free(&packet_);
            g_av.swr_free(&resampler_);
            g_av.avcodec_free_context(&decoder_);
            CloseContainer(&container_);
        }
        dsound::CloseDevice();
        CountObject(-1);
    }

    bool Attach(const std::string& path, const AVInputFormat* format, AVFormatContext* container,
                AVCodecContext* decoder) {
        if (container_ != nullptr || (container == nullptr && FAILED(OpenContainer(path, &container, format)))) {
            g_av.avcodec_free_context(&decoder);
            CloseContainer(&container);
            return false;
        }
        container_ = container;
        stream_ = FindAudioStream(container_);
        // A decoder opened for the same track of the same file is the one this would open.
        decoder_ = decoder != nullptr ? decoder : OpenDecoder(container_, stream_);
        frame_ = g_av.av_frame_alloc();
        packet_ = g_av.av_packet_alloc();
        if (decoder_ == nullptr || frame_ == nullptr || packet_ == nullptr ||
            !IsPlayableSound(decoder_->sample_rate, decoder_->ch_layout.nb_channels)) {
            g_av.av_frame_free(&frame_);
            g_av.av_packet_free(&packet_);
            g_av.avcodec_free_context(&decoder_);
            CloseContainer(&container_);
            return false;
        }
        for (unsigned i = 0; i < container_->nb_streams; ++i)
            if (static_cast<int>(i) != stream_)
                container_->streams[i]->discard = AVDISCARD_ALL;
        const AVStream* s = container_->streams[stream_];
        if (s->start_time != AV_NOPTS_VALUE) {
            startPts_ = s->start_time;
            startKnown_ = true;
        }
        STREAM_TIME target;
        seeksSeen_ = timeline_->Seeks(&target);
        std::lock_guard<std::mutex> mix(dsound::MixLock());
        dsound::AddStreamVoice(this);
        registered_ = true;
        return true;
    }

    void MixInto(int32_t* acc, int frames, int channels, int rate) override {
        std::lock_guard<std::mutex> hold(lock_);
        STREAM_TIME target;
        uint64_t seeks = timeline_->Seeks(&target);
        if (seeks != seeksSeen_) {
            seeksSeen_ = seeks;
            Reposition(target);
        }
        if (!timeline_->Running() || channels < 1 || rate < 1)
            return;
        if (channels != outChannels_ || rate != outRate_) {
            outChannels_ = channels;
            outRate_ = rate;
            g_av.swr_free(&resampler_);  // made again for the next frame
            buffer_.clear();
            used_ = 0;
        }
        int done = 0;
        while (done < frames) {
            size_t available = buffer_.size() / static_cast<size_t>(outChannels_) - used_;
            if (available == 0) {
                buffer_.clear();
                used_ = 0;
                if (!Refill())
                    break;
                continue;
            }
            size_t n = std::min(available, static_cast<size_t>(frames - done));
            const int16_t* from = buffer_.data() + used_ * outChannels_;
            int32_t* to = acc + static_cast<size_t>(done) * outChannels_;
            for (size_t i = 0; i < n * static_cast<size_t>(outChannels_); ++i)
                to[i] += from[i];
            used_ += n;
            done += static_cast<int>(n);
        }
    }

private:
    // Moves the decoder to the time; the samples before it are cut at the next frame.
    void Reposition(STREAM_TIME time) {
        const AVStream* s = container_->streams[stream_];
        int64_t target = g_av.av_rescale_q_rnd(time, kStreamTimeBase, s->time_base, AV_ROUND_DOWN) + (startKnown_ ? startPts_ : 0);
        if (g_av.avformat_seek_file(container_, stream_, INT64_MIN, target, target, 0) < 0 &&
            g_av.av_seek_frame(container_, stream_, target, AVSEEK_FLAG_BACKWARD) < 0)
            g_av.av_seek_frame(container_, -1, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE);
        g_av.avcodec_flush_buffers(decoder_);
        g_av.swr_free(&resampler_);
        buffer_.clear();
        used_ = 0;
        draining_ = false;
        ended_ = false;
        skipUntil_ = time;
    }

    // The next decoded frame, or false at the end.
    bool DecodeFrame() { return DecodeNextFrame(container_, decoder_, stream_, packet_, frame_, &draining_); }

    bool MakeResampler() {
        AVChannelLayout in = {};
        if (frame_->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && frame_->ch_layout.nb_channels > 0)
            g_av.av_channel_layout_copy(&in, &frame_->ch_layout);
        else
            g_av.av_channel_layout_default(&in, std::max(1, frame_->ch_layout.nb_channels));
        AVChannelLayout out = {};
        g_av.av_channel_layout_default(&out, outChannels_);
        int made = g_av.swr_alloc_set_opts2(&resampler_, &out, AV_SAMPLE_FMT_S16, outRate_, &in,
                                       static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0, nullptr);
        // A mono track goes to both channels at full level, as the mixer's own voices do.
        if (made >= 0 && in.nb_channels == 1 && outChannels_ == 2) {
            const double both[2] = {1.0, 1.0};
            g_av.swr_set_matrix(resampler_, both, 1);
        }
        g_av.av_channel_layout_uninit(&in);
        g_av.av_channel_layout_uninit(&out);
        if (made < 0 || g_av.swr_init(resampler_) < 0) {
            g_av.swr_free(&resampler_);
            return false;
        }
        inFormat_ = frame_->format;
        inRate_ = frame_->sample_rate;
        inChannels_ = frame_->ch_layout.nb_channels;
        return true;
    }

    // Converts one more frame (or the resampler's tail at the end) into the buffer.
    bool Refill() {
        while (!ended_) {
            if (!DecodeFrame()) {
                ended_ = true;
                // What the resampler still holds.
                if (resampler_ != nullptr)
                    Convert(nullptr, 0, 0);
                return !buffer_.empty();
            }
            if (frame_->nb_samples < 1)
                continue;
            // A frame that changes to a format beyond playing ends the sound.
            if (!IsPlayableSound(frame_->sample_rate, frame_->ch_layout.nb_channels)) {
                ended_ = true;
                return false;
            }
            int64_t drop = 0;
            if (skipUntil_ >= 0 && frame_->best_effort_timestamp != AV_NOPTS_VALUE) {
                const AVStream* s = container_->streams[stream_];
                STREAM_TIME start = g_av.av_rescale_q(frame_->best_effort_timestamp - (startKnown_ ? startPts_ : 0),
                                                 s->time_base, kStreamTimeBase);
                STREAM_TIME length = static_cast<STREAM_TIME>(frame_->nb_samples) * 10'000'000 / frame_->sample_rate;
                if (start + length <= skipUntil_)
                    continue;  // wholly before the seek's time
                if (start < skipUntil_)
                    drop = (skipUntil_ - start) * outRate_ / 10'000'000;
            }
            skipUntil_ = -1;
            if (resampler_ != nullptr && (frame_->format != inFormat_ || frame_->sample_rate != inRate_ ||
                                          frame_->ch_layout.nb_channels != inChannels_))
                g_av.swr_free(&resampler_);
            if (resampler_ == nullptr && !MakeResampler())
                return false;
            Convert(const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples, drop);
            if (!buffer_.empty())
                return true;
        }
        return false;
    }

    // Appends the conversion of `samples` input samples (none: the tail), less the first
    // `drop` output frames.
    void Convert(const uint8_t** input, int samples, int64_t drop) {
        int room = g_av.swr_get_out_samples(resampler_, samples);
        if (room <= 0)
            return;
        size_t at = buffer_.size();
        buffer_.resize(at + static_cast<size_t>(room) * outChannels_);
        uint8_t* out = reinterpret_cast<uint8_t*>(buffer_.data() + at);
        int made = g_av.swr_convert(resampler_, &out, room, input, samples);
        if (made < 0)
            made = 0;
        int64_t kept = std::max<int64_t>(0, made - drop);
        if (drop > 0 && kept > 0)
            std::copy(buffer_.begin() + static_cast<ptrdiff_t>(at + drop * outChannels_),
                      buffer_.begin() + static_cast<ptrdiff_t>(at + made * outChannels_),
                      buffer_.begin() + static_cast<ptrdiff_t>(at));
        buffer_.resize(at + static_cast<size_t>(kept) * outChannels_);
    }

    std::mutex lock_;
    std::shared_ptr<Timeline> timeline_;
    bool registered_ = false;
    AVFormatContext* container_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int stream_ = -1;
    int64_t startPts_ = 0;
    bool startKnown_ = false;
    int inFormat_ = -1, inRate_ = 0, inChannels_ = 0;
    int outRate_ = 0, outChannels_ = 0;
    std::vector<int16_t> buffer_;  // converted frames, interleaved
    size_t used_ = 0;              // frames of the buffer already mixed
    uint64_t seeksSeen_ = 0;
    STREAM_TIME skipUntil_ = -1;   // after a seek: the time the sound resumes at
    bool draining_ = false;
    bool ended_ = false;
};

HRESULT MakeSoundRenderer(std::shared_ptr<Timeline> timeline, SoundRendererPtr* out) {
    HRESULT hr = dsound::OpenDevice();
    if (FAILED(hr))
        return hr;
    out->reset(new SoundRenderer(std::move(timeline)));
    return S_OK;
}

bool AttachSoundTrack(SoundRenderer* renderer, const std::string& linuxPath, const AVInputFormat* format,
                      AVFormatContext* container, AVCodecContext* decoder) {
    return renderer->Attach(linuxPath, format, container, decoder);
}

void DestroySoundRenderer(SoundRenderer* renderer) {
    delete renderer;
}

}  // namespace dshow
