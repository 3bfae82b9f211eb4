#include "platform/decoder/xaudio.h"

#include <new>

#include "platform/decoder/decoderplayer.h"
#include "platform/decoder/notice.h"

struct XA_Player {
    explicit XA_Player(const XA_NotifyTarget& target) : player(target) {}
    TDecoderPlayer player;
};

namespace {

int Send(XA_Player* player, TControlMessage message) {
    return player ? player->player.Send(std::move(message)) : XA_ERROR_INVALID_PARAMETERS;
}

std::string Text(const char* text) { return text ? text : ""; }

} // namespace

int xaudio_get_api_version(int interfaceNumber) { return interfaceNumber == 2 ? (3 << 16) | (2 << 8) : 0; }

const char* xaudio_error_string(int code) {
    switch (code) {
    case XA_SUCCESS: return "success";
    case XA_FAILURE: return "failure";
    case XA_ERROR_INVALID_PARAMETERS: return "invalid parameters";
    case XA_ERROR_PLAYER_EXITED: return "the player has exited";
    case XA_ERROR_NO_INPUT: return "no input is open";
    case XA_ERROR_OPEN_FAILED: return "the input cannot be opened";
    case XA_ERROR_NOT_MPEG_AUDIO: return "the input is not MPEG audio";
    case XA_ERROR_DECODE_FAILED: return "the input cannot be decoded";
    case XA_ERROR_OUTPUT_OPEN_FAILED: return "the output cannot be opened";
    case XA_ERROR_OUTPUT_FAILED: return "the output failed";
    case XA_ERROR_NO_SUCH_MODULE: return "no such module";
    case XA_ERROR_NOT_SUPPORTED: return "not supported";
    case XA_ERROR_NO_SUCH_VALUE: return "no such value";
    default: return "unknown error";
    }
}

int player_new(XA_Player** player, const XA_NotifyTarget* target) {
    if (!player || !target || !target->callback) return XA_ERROR_INVALID_PARAMETERS;
    *player = new (std::nothrow) XA_Player(*target);
    if (!*player) return XA_FAILURE;
    // The handle is in the caller's hands before the first notice can come.
    (*player)->player.Start();
    return XA_SUCCESS;
}

int player_delete(XA_Player* player) {
    if (!player) return XA_ERROR_INVALID_PARAMETERS;
    delete player;
    return XA_SUCCESS;
}

int player_set_priority(XA_Player* player, int priority) {
    return player ? player->player.SetPriority(priority) : XA_ERROR_INVALID_PARAMETERS;
}

int player_get_priority(XA_Player* player) {
    return player ? player->player.Priority() : XA_ERROR_INVALID_PARAMETERS;
}

int control_message_send_N(XA_Player* player, int code) { return Send(player, TControlMessage(code)); }

int control_message_send_I(XA_Player* player, int code, int32_t value) {
    return Send(player, TControlMessage(code, value));
}

int control_message_send_II(XA_Player* player, int code, int32_t value1, int32_t value2) {
    return Send(player, TControlMessage(code, value1, value2));
}

int control_message_send_III(XA_Player* player, int code, int32_t value1, int32_t value2, int32_t value3) {
    return Send(player, TControlMessage(code, value1, value2, value3));
}

// The data is not kept: no message that carries data is understood.
int control_message_send_IPI(XA_Player* player, int code, int32_t value1, const void*, int32_t value2) {
    return Send(player, TControlMessage(code, value1, value2));
}

int control_message_send_S(XA_Player* player, int code, const char* text) {
    return Send(player, TControlMessage(code, 0, 0, 0, Text(text)));
}

int control_message_send_SI(XA_Player* player, int code, const char* text, int32_t value) {
    return Send(player, TControlMessage(code, value, 0, 0, Text(text)));
}

int control_message_send_SS(XA_Player* player, int code, const char* text1, const char* text2) {
    return Send(player, TControlMessage(code, 0, 0, 0, Text(text1), Text(text2)));
}

// The pointed-to record is copied before the call returns.
int control_message_send_P(XA_Player* player, int code, const void* pointer) {
    TControlMessage message(code);
    if (code == XA_MSG_SET_CODEC_EQUALIZER && pointer) {
        message.equalizer = *static_cast<const XA_EqualizerInfo*>(pointer);
        message.hasEqualizer = true;
    }
    return Send(player, std::move(message));
}

int control_notice_to_message(XA_Player*, XA_Message* message, const XA_Notice* notice) {
    if (!message || !notice) return XA_ERROR_INVALID_PARAMETERS;
    *message = notice->message;
    return XA_SUCCESS;
}

void xaudio_notice_free(XA_Notice* notice) { delete notice; }

const XA_Library& xaudio_library() {
    static const XA_Library library = {
        xaudio_get_api_version,   xaudio_error_string,    player_new,
        player_delete,            player_set_priority,    player_get_priority,
        control_message_send_N,   control_message_send_I, control_message_send_II,
        control_message_send_III, control_message_send_IPI, control_message_send_S,
        control_message_send_SI,  control_message_send_SS, control_message_send_P,
        control_notice_to_message, xaudio_notice_free,
    };
    return library;
}
