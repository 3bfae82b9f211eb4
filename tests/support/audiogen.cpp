#include "audiogen.h"

#include <algorithm>
#include <cmath>
#include <numbers>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace audiogen {

std::vector<int16_t> Tone(int rate, double seconds, double leftHz, double rightHz) {
    const long frames = std::lround(rate * seconds);
    std::vector<int16_t> samples(frames * 2);
    for (long i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        samples[i * 2] = int16_t(std::lround(16384 * std::sin(2 * std::numbers::pi * leftHz * t)));
        samples[i * 2 + 1] = int16_t(std::lround(16384 * std::sin(2 * std::numbers::pi * rightHz * t)));
    }
    return samples;
}

std::vector<int16_t> MonoTone(int rate, double seconds, double hz) {
    std::vector<int16_t> stereo = Tone(rate, seconds, hz, 0);
    std::vector<int16_t> mono(stereo.size() / 2);
    for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = stereo[2 * i];
    return mono;
}

namespace {

std::string AvError(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return text;
}

// Everything one encoding holds, released on every way out.
struct TEncoding {
    AVFormatContext* muxer = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* swr = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVStream* stream = nullptr;

    ~TEncoding() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        swr_free(&swr);
        avcodec_free_context(&codec);
        if (muxer) {
            avio_closep(&muxer->pb);
            avformat_free_context(muxer);
        }
    }

    // Sends a frame (nullptr flushes) and writes every packet the encoder
    // has ready.
    int Send(const AVFrame* input) {
        int err = avcodec_send_frame(codec, input);
        while (err >= 0) {
            err = avcodec_receive_packet(codec, packet);
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return 0;
            if (err < 0) break;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            // The packet carries the encoder's end padding as side data,
            // which the MP3 muxer puts into the LAME header.
            err = av_interleaved_write_frame(muxer, packet);
        }
        return err;
    }
};

} // namespace

bool Encode(const std::string& path, const std::string& format, const std::vector<int16_t>& samples, int rate,
            int bitrate, std::string& error, int channels) {
    const char* encoderName = nullptr;
    const char* muxerName = nullptr;
    if (format == "mp3") {
        encoderName = "libmp3lame";
        muxerName = "mp3";
    } else if (format == "mp2") {
        encoderName = "mp2";
        muxerName = "mp2";
    } else if (format == "wma") {
        encoderName = "wmav2";
        muxerName = "asf";
    } else {
        error = "unknown format " + format;
        return false;
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName);
    if (!encoder || !encoder->sample_fmts) {
        error = std::string("no encoder ") + encoderName;
        return false;
    }

    TEncoding enc;
    int err = avformat_alloc_output_context2(&enc.muxer, nullptr, muxerName, path.c_str());
    if (err < 0) {
        error = "muxer: " + AvError(err);
        return false;
    }
    enc.codec = avcodec_alloc_context3(encoder);
    enc.frame = av_frame_alloc();
    enc.packet = av_packet_alloc();
    enc.stream = avformat_new_stream(enc.muxer, nullptr);
    if (!enc.codec || !enc.frame || !enc.packet || !enc.stream) {
        error = "out of memory";
        return false;
    }
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    enc.codec->sample_rate = rate;
    enc.codec->sample_fmt = encoder->sample_fmts[0];
    enc.codec->bit_rate = bitrate;
    enc.codec->time_base = {1, rate};
    av_channel_layout_copy(&enc.codec->ch_layout, &layout);
    if (enc.muxer->oformat->flags & AVFMT_GLOBALHEADER) enc.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((err = avcodec_open2(enc.codec, encoder, nullptr)) < 0) {
        error = std::string(encoderName) + ": " + AvError(err);
        return false;
    }
    enc.stream->time_base = enc.codec->time_base;
    if ((err = avcodec_parameters_from_context(enc.stream->codecpar, enc.codec)) < 0 ||
        (err = swr_alloc_set_opts2(&enc.swr, &layout, enc.codec->sample_fmt, rate, &layout, AV_SAMPLE_FMT_S16,
                                   rate, 0, nullptr)) < 0 ||
        (err = swr_init(enc.swr)) < 0) {
        error = "set-up: " + AvError(err);
        return false;
    }
    if ((err = avio_open(&enc.muxer->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0 ||
        (err = avformat_write_header(enc.muxer, nullptr)) < 0) {
        error = path + ": " + AvError(err);
        return false;
    }

    const int frameSize = enc.codec->frame_size > 0 ? enc.codec->frame_size : 1152;
    const bool takesShortFrame =
        encoder->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    enc.frame->format = enc.codec->sample_fmt;
    enc.frame->sample_rate = rate;
    enc.frame->nb_samples = frameSize;
    av_channel_layout_copy(&enc.frame->ch_layout, &layout);
    if ((err = av_frame_get_buffer(enc.frame, 0)) < 0) {
        error = "frame: " + AvError(err);
        return false;
    }

    // An encoder that cannot be flushed keeps its look-ahead: silence after
    // the sound pushes all of the sound out.
    const long flushFrames = (encoder->capabilities & AV_CODEC_CAP_DELAY) ? 0 : enc.codec->initial_padding;
    const long total = long(samples.size()) / channels;
    for (long done = 0; done < total + flushFrames; done += frameSize) {
        // The encoder may still hold a reference to the previous frame.
        if ((err = av_frame_make_writable(enc.frame)) < 0) break;
        const int wanted = int(std::min<long>(frameSize, total + flushFrames - done));
        const int count = int(std::clamp<long>(total - done, 0, wanted));
        const uint8_t* input = reinterpret_cast<const uint8_t*>(samples.data() + done * channels);
        if (count > 0 && (err = swr_convert(enc.swr, enc.frame->data, count, &input, count)) < 0) break;
        enc.frame->nb_samples = takesShortFrame ? wanted : frameSize;
        if (count < enc.frame->nb_samples) {
            av_samples_set_silence(enc.frame->data, count, enc.frame->nb_samples - count, channels,
                                   enc.codec->sample_fmt);
        }
        enc.frame->pts = done;
        if ((err = enc.Send(enc.frame)) < 0) break;
    }
    if (err >= 0) err = enc.Send(nullptr);
    if (err >= 0) err = av_write_trailer(enc.muxer);
    if (err < 0) {
        error = std::string(encoderName) + ": " + AvError(err);
        return false;
    }
    return true;
}

double DecodedSeconds(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return -1;
    const AVCodec* decoder = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    double seconds = -1;
    const int stream = avformat_find_stream_info(format, nullptr) < 0
                           ? -1
                           : av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream >= 0 && (codec = avcodec_alloc_context3(decoder)) != nullptr &&
        avcodec_parameters_to_context(codec, format->streams[stream]->codecpar) >= 0 &&
        avcodec_open2(codec, decoder, nullptr) >= 0) {
        seconds = 0;
        bool flushed = false;
        while (!flushed) {
            if (av_read_frame(format, packet) < 0) {
                avcodec_send_packet(codec, nullptr);
                flushed = true;
            } else {
                if (packet->stream_index == stream) avcodec_send_packet(codec, packet);
                av_packet_unref(packet);
            }
            while (avcodec_receive_frame(codec, frame) == 0) {
                seconds += double(frame->nb_samples) / frame->sample_rate;
                av_frame_unref(frame);
            }
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return seconds;
}

} // namespace audiogen
