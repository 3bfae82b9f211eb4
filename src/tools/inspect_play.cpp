#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "core/paths.h"
#include "platform/decoder/xaudio.h"
#include "platform/mediacontrol/mplayer.h"
#include "tools/inspect.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kPlayHelp =
    "usage: tcrate-inspect play [--output MODULE] [--seconds S] FILE\n"
    "\n"
    "Plays an audio file the way Tunecrate does, to its end or for S seconds,\n"
    "and prints what the player reports, one notice a line. MP3 and MP2 files\n"
    "go to the MPEG decoder (its notices are printed as they come); other files\n"
    "to the media player, whose state and position are printed once a second.\n"
    "\n"
    "  --output MODULE  alsa       the default sound device (the default; when it\n"
    "                              cannot be opened, nothing is heard; the MPEG\n"
    "                              decoder says so in an error line)\n"
    "                   null       plays nothing, in real time\n"
    "                   wav:FILE   writes the sound to a WAV file, at full speed\n"
    "                   null and wav:FILE take options after a \"?\", joined by \"&\":\n"
    "                   speed=N, end=MS, stall=MS, refuse=N\n"
    "  --seconds S      stop after S seconds\n"
    "\n"
    "Exit status: 0 when the file played, 1 when it could not be played, 2 for\n"
    "bad arguments.\n";

const char* StateName(int state) {
    switch (state) {
    case XA_PLAYER_STATE_STOPPED: return "stopped";
    case XA_PLAYER_STATE_PLAYING: return "playing";
    case XA_PLAYER_STATE_PAUSED: return "paused";
    case XA_PLAYER_STATE_EOS: return "end";
    default: return "?";
    }
}

const char* SourceName(int source) {
    switch (source) {
    case XA_SOURCE_INPUT: return "input";
    case XA_SOURCE_OUTPUT: return "output";
    case XA_SOURCE_CODEC: return "codec";
    default: return "player";
    }
}

std::string Text(const char* text) { return text ? text : ""; }

// One line for a notice: its code, a name and its values.
std::string NoticeLine(const XA_Message& m) {
    std::ostringstream line;
    line << m.code << ' ';
    const auto& d = m.data;
    switch (m.code) {
    case XA_MSG_NOTIFY_READY: line << "ready"; break;
    case XA_MSG_NOTIFY_ACK: line << "ack " << int(d.command); break;
    case XA_MSG_NOTIFY_NACK:
        line << "nack " << int(d.nack.command) << ' ' << d.nack.code << " (" << xaudio_error_string(d.nack.code) << ')';
        break;
    case XA_MSG_NOTIFY_EXITED: line << "exited"; break;
    case XA_MSG_NOTIFY_PLAYER_STATE: line << "player-state " << int(d.state) << ' ' << StateName(d.state); break;
    case XA_MSG_NOTIFY_INPUT_STATE: line << "input-state " << (d.state ? "open" : "closed"); break;
    case XA_MSG_NOTIFY_INPUT_NAME: line << "input-name " << Text(d.name); break;
    case XA_MSG_NOTIFY_INPUT_POSITION: line << "input-position " << d.position.offset << '/' << d.position.range; break;
    case XA_MSG_NOTIFY_INPUT_TIMECODE: {
        char text[32];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%02d", d.timecode.h, d.timecode.m, d.timecode.s,
                      d.timecode.f);
        line << "input-timecode " << text;
        break;
    }
    case XA_MSG_NOTIFY_INPUT_DURATION: line << "input-duration " << d.duration << " s"; break;
    case XA_MSG_NOTIFY_INPUT_STREAM_INFO:
        line << "input-stream-info MPEG-" << (d.stream_info.level == 0 ? "1" : d.stream_info.level == 1 ? "2" : "2.5")
             << " layer " << int(d.stream_info.layer) << ", " << d.stream_info.bitrate << " kbit/s, "
             << d.stream_info.frequency << " Hz, mode " << int(d.stream_info.mode);
        break;
    case XA_MSG_NOTIFY_OUTPUT_STATE: line << "output-state " << (d.state ? "open" : "closed"); break;
    case XA_MSG_NOTIFY_OUTPUT_NAME: line << "output-name " << Text(d.name); break;
    case XA_MSG_NOTIFY_DEBUG: line << "debug " << Text(d.debug.message); break;
    case XA_MSG_NOTIFY_ERROR:
        line << "error " << SourceName(d.error.source) << ' ' << d.error.code << ": " << Text(d.error.message);
        break;
    default: line << "notice"; break;
    }
    return line.str();
}

// Notices as the decoder's thread hands them over, lines for this thread.
class TNoticeQueue {
public:
    static void Receive(void* context, XA_Notice* notice) {
        auto* self = static_cast<TNoticeQueue*>(context);
        XA_Message message{};
        control_notice_to_message(nullptr, &message, notice);
        std::pair<int, std::string> entry{message.code, NoticeLine(message)};
        if (message.code == XA_MSG_NOTIFY_PLAYER_STATE) entry.first = -message.data.state - 1;
        xaudio_notice_free(notice);
        std::lock_guard lock(self->mutex_);
        self->lines_.push_back(std::move(entry));
        self->arrived_.notify_one();
    }
    // The next notice as (code, line), where a player state s has the code
    // -s-1; nothing when the deadline passed first.
    std::optional<std::pair<int, std::string>> Next(Clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_until(lock, deadline, [this] { return !lines_.empty(); })) return std::nullopt;
        auto entry = std::move(lines_.front());
        lines_.pop_front();
        return entry;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::pair<int, std::string>> lines_;
};

int PlayMpeg(const std::string& file, const std::string& output, Clock::time_point deadline, std::ostream& out) {
    TNoticeQueue notices;
    const XA_NotifyTarget target{&TNoticeQueue::Receive, &notices};
    XA_Player* player = nullptr;
    if (player_new(&player, &target) != XA_SUCCESS) return 1;
    control_message_send_S(player, XA_MSG_COMMAND_OUTPUT_OPEN, output.c_str());
    control_message_send_S(player, XA_MSG_COMMAND_INPUT_OPEN, file.c_str());
    control_message_send_N(player, XA_MSG_COMMAND_PLAY);
    int status = 0;
    bool played = false;
    for (;;) {
        const auto notice = notices.Next(deadline);
        if (!notice) break;
        out << notice->second << '\n' << std::flush;
        const int code = notice->first;
        if (code == -XA_PLAYER_STATE_PLAYING - 1) played = true;
        if (code == -XA_PLAYER_STATE_EOS - 1) break;
        // Play refused (nothing opened), or the sound stopped on its own.
        if (code == XA_MSG_NOTIFY_NACK || (played && code == -XA_PLAYER_STATE_STOPPED - 1)) {
            status = 1;
            break;
        }
    }
    player_delete(player);
    while (const auto notice = notices.Next(Clock::now())) out << notice->second << '\n';
    return status;
}

int PlayMedia(const std::string& file, const std::string& output, Clock::time_point deadline, std::ostream& out) {
    TMPlayer player(output);
    player.SetFileName(file);
    player.Open();
    if (!player.Opened()) {
        out << "error input " << player.LastError() << ": " << file << " cannot be opened\n";
        return 1;
    }
    player.Play();
    out << XA_MSG_NOTIFY_PLAYER_STATE << " player-state 1 playing\n" << std::flush;
    for (auto tick = Clock::now();; ) {
        tick += std::chrono::seconds(1);
        std::this_thread::sleep_until(std::min(tick, deadline));
        const uint32_t position = player.Position(), length = player.Length();
        out << XA_MSG_NOTIFY_INPUT_POSITION << " input-position " << position << '/' << length << " ms\n"
            << std::flush;
        if (player.LastError() != 0) {
            out << "error output " << player.LastError() << '\n';
            return 1;
        }
        if (player.Mode() != TMediaControl::Playing) break;
        if (Clock::now() >= deadline) {
            player.Stop();
            out << XA_MSG_NOTIFY_PLAYER_STATE << " player-state 0 stopped\n";
            return 0;
        }
    }
    out << XA_MSG_NOTIFY_PLAYER_STATE << " player-state 3 end\n";
    return 0;
}

} // namespace

int InspectPlay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string output = "alsa";
    std::string file;
    double seconds = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << kPlayHelp;
            return 0;
        }
        if (arg == "--output" && i + 1 < args.size()) {
            output = args[++i];
        } else if (arg == "--seconds" && i + 1 < args.size()) {
            std::istringstream value(args[++i]);
            if (!(value >> seconds) || seconds <= 0 || !value.eof()) {
                err << "tcrate-inspect play: '" << args[i] << "' is not a number of seconds\n" << kPlayHelp;
                return 2;
            }
        } else if (arg.rfind("--", 0) == 0 || !file.empty()) {
            err << "tcrate-inspect play: unexpected argument '" << arg << "'\n" << kPlayHelp;
            return 2;
        } else {
            file = arg;
        }
    }
    if (file.empty()) {
        err << kPlayHelp;
        return 2;
    }
    // Without --seconds, a year is as good as for ever.
    const auto deadline = Clock::now() + (seconds > 0 ? std::chrono::milliseconds(int64_t(seconds * 1000))
                                                      : std::chrono::hours(24 * 365));
    std::string extension = FileExtension(file);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == ".mp3" || extension == ".mp2") return PlayMpeg(file, output, deadline, out);
    return PlayMedia(file, output, deadline, out);
}
