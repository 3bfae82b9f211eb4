#include "platform/audio/wavoutput.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

static_assert(std::endian::native == std::endian::little, "samples are written to WAV files as they are in memory");

namespace {

constexpr long kHeaderBytes = 44;

template <std::size_t N>
void PutLittleEndian(uint8_t* at, uint64_t value) {
    for (std::size_t i = 0; i < N; ++i) at[i] = uint8_t(value >> (8 * i));
}

class TWavOutput final : public TAudioOutput {
public:
    explicit TWavOutput(const std::string& path) : writer_(path) {}

    bool Open(const TAudioFormat& format) override {
        Close();
        format_ = format;
        if (!writer_.Open(format, error_)) return false;
        error_.clear();
        state_ = TOutputState::Playing;
        return true;
    }

    long Write(const int16_t* samples, long frames, int) override {
        if (state_ == TOutputState::Closed || state_ == TOutputState::Failed) return -1;
        if (frames <= 0) return 0;
        if (!writer_.Append(samples, frames, error_)) {
            state_ = TOutputState::Failed;
            return -1;
        }
        return frames;
    }

    void Pause(bool paused) override {
        if (paused && state_ == TOutputState::Playing) state_ = TOutputState::Paused;
        if (!paused && state_ == TOutputState::Paused) state_ = TOutputState::Playing;
    }

    // Nothing is ever held back.
    void Reset() override {}
    long TakeBack(long) override { return 0; }
    void Finish() override {}
    long Delay() const override { return 0; }
    void Interrupt() override {}

    void Close() override {
        writer_.Close();
        state_ = TOutputState::Closed;
    }

    TOutputState State() const override { return state_; }
    TAudioFormat Format() const override { return format_; }
    std::string Error() const override { return error_; }

private:
    TWavWriter writer_;
    TOutputState state_ = TOutputState::Closed;
    TAudioFormat format_;
    std::string error_;
};

} // namespace

TWavWriter::TWavWriter(std::string path) : path_(std::move(path)) {}

TWavWriter::~TWavWriter() {
    Close();
}

bool TWavWriter::Open(const TAudioFormat& format, std::string& error) {
    Close();
    if (format.rate <= 0 || format.channels <= 0 || format.channels > std::numeric_limits<int16_t>::max() / 2) {
        error = "unsupported sound format for a WAV file";
        return false;
    }
    if (written_ && format == format_) {
        file_ = std::fopen(path_.c_str(), "r+be");
        // Someone else may have changed the file meanwhile.
        if (file_ != nullptr && std::fseek(file_, 0, SEEK_END) == 0 &&
            std::ftell(file_) == long(kHeaderBytes + dataBytes_)) {
            return true;
        }
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
    }
    format_ = format;
    return StartAnew(error);
}

bool TWavWriter::StartAnew(std::string& error) {
    written_ = false;
    dataBytes_ = 0;
    file_ = std::fopen(path_.c_str(), "wbe");
    if (file_ == nullptr) {
        error = "cannot write the WAV file " + path_ + ": " + std::strerror(errno);
        return false;
    }
    if (!WriteHeader()) {
        error = "cannot write the WAV file " + path_;
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    written_ = true;
    return true;
}

bool TWavWriter::Append(const int16_t* samples, long frames, std::string& error) {
    const std::size_t count = std::size_t(frames) * std::size_t(format_.channels);
    if (std::fwrite(samples, sizeof(int16_t), count, file_) != count) {
        error = "cannot write to the WAV file " + path_;
        return false;
    }
    dataBytes_ += count * sizeof(int16_t);
    return true;
}

void TWavWriter::Close() {
    if (file_ == nullptr) return;
    WriteHeader();
    std::fclose(file_);
    file_ = nullptr;
}

// Writes the header for what the file holds now and returns to its end.
bool TWavWriter::WriteHeader() {
    const uint64_t data = std::min<uint64_t>(dataBytes_, std::numeric_limits<uint32_t>::max() - (kHeaderBytes - 8));
    const unsigned blockAlign = unsigned(format_.channels) * sizeof(int16_t);
    std::array<uint8_t, kHeaderBytes> header{};
    std::memcpy(&header[0], "RIFF", 4);
    PutLittleEndian<4>(&header[4], kHeaderBytes - 8 + data);
    std::memcpy(&header[8], "WAVEfmt ", 8);
    PutLittleEndian<4>(&header[16], 16);
    PutLittleEndian<2>(&header[20], 1);  // integer PCM
    PutLittleEndian<2>(&header[22], unsigned(format_.channels));
    PutLittleEndian<4>(&header[24], unsigned(format_.rate));
    PutLittleEndian<4>(&header[28], uint64_t(format_.rate) * blockAlign);
    PutLittleEndian<2>(&header[32], blockAlign);
    PutLittleEndian<2>(&header[34], 16);
    std::memcpy(&header[36], "data", 4);
    PutLittleEndian<4>(&header[40], data);
    return std::fseek(file_, 0, SEEK_SET) == 0 &&
           std::fwrite(header.data(), 1, header.size(), file_) == header.size() &&
           std::fseek(file_, 0, SEEK_END) == 0;
}

std::unique_ptr<TAudioOutput> MakeWavOutput(const std::string& path) {
    return std::make_unique<TWavOutput>(path);
}
