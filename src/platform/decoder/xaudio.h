#pragma once

#include <cstdint>

// The MPEG audio decoder library: a player that decodes MPEG audio layers I,
// II and III on a thread of its own and plays them through a sound output
// module. It is driven only by numbered control messages, which return at
// once, and it reports back by notices, delivered to the callback given to
// player_new: one at a time, in order, always from the player's own thread.
//
// Positions are given as an offset within a range: the input's length is
// divided into `range` steps (XA_DEFAULT_POSITION_RANGE unless set with code
// 40). Position notices come about four times a second while playing.
//
// A player state notice comes only when the state changes. Pause, stop and
// seek fade the sound out over 10 ms, and it fades in when it resumes. A
// sound device that cannot be opened is stood in for by the null output
// (one error notice says so) and tried again at each new input.

// Control message codes.
enum : int {
    XA_MSG_COMMAND_EXIT = 1,
    XA_MSG_COMMAND_PING = 2,
    XA_MSG_COMMAND_PLAY = 3,
    XA_MSG_COMMAND_PAUSE = 4,
    XA_MSG_COMMAND_STOP = 5,
    XA_MSG_COMMAND_SEEK = 6,
    XA_MSG_COMMAND_INPUT_OPEN = 7,
    XA_MSG_COMMAND_INPUT_CLOSE = 8,
    XA_MSG_COMMAND_INPUT_SEND_MESSAGE = 9,
    XA_MSG_COMMAND_INPUT_ADD_FILTER = 10,
    XA_MSG_COMMAND_INPUT_REMOVE_FILTER = 11,
    XA_MSG_COMMAND_INPUT_FILTERS_LIST = 12,
    XA_MSG_COMMAND_INPUT_MODULE_REGISTER = 13,
    XA_MSG_COMMAND_INPUT_MODULE_QUERY = 14,
    XA_MSG_COMMAND_INPUT_MODULES_LIST = 15,
    XA_MSG_COMMAND_OUTPUT_OPEN = 16,
    XA_MSG_COMMAND_OUTPUT_CLOSE = 17,
    XA_MSG_COMMAND_OUTPUT_SEND_MESSAGE = 18,
    XA_MSG_COMMAND_OUTPUT_MUTE = 19,
    XA_MSG_COMMAND_OUTPUT_UNMUTE = 20,
    XA_MSG_COMMAND_OUTPUT_RESET = 21,
    XA_MSG_COMMAND_OUTPUT_DRAIN = 22,
    XA_MSG_COMMAND_OUTPUT_ADD_FILTER = 23,
    XA_MSG_COMMAND_OUTPUT_REMOVE_FILTER = 24,
    XA_MSG_COMMAND_OUTPUT_FILTERS_LIST = 25,
    XA_MSG_COMMAND_OUTPUT_MODULE_REGISTER = 26,
    XA_MSG_COMMAND_OUTPUT_MODULE_QUERY = 27,
    XA_MSG_COMMAND_OUTPUT_MODULES_LIST = 28,
    XA_MSG_SET_PLAYER_MODE = 29,
    XA_MSG_GET_PLAYER_MODE = 30,
    XA_MSG_SET_PLAYER_ENVIRONMENT_INTEGER = 31,
    XA_MSG_GET_PLAYER_ENVIRONMENT_INTEGER = 32,
    XA_MSG_SET_PLAYER_ENVIRONMENT_STRING = 33,
    XA_MSG_GET_PLAYER_ENVIRONMENT_STRING = 34,
    XA_MSG_UNSET_PLAYER_ENVIRONMENT = 35,
    XA_MSG_SET_INPUT_NAME = 36,
    XA_MSG_GET_INPUT_NAME = 37,
    XA_MSG_SET_INPUT_MODULE = 38,
    XA_MSG_GET_INPUT_MODULE = 39,
    XA_MSG_SET_INPUT_POSITION_RANGE = 40,
    XA_MSG_GET_INPUT_POSITION_RANGE = 41,
    XA_MSG_SET_INPUT_TIMECODE_GRANULARITY = 42,
    XA_MSG_GET_INPUT_TIMECODE_GRANULARITY = 43,
    XA_MSG_SET_OUTPUT_NAME = 44,
    XA_MSG_GET_OUTPUT_NAME = 45,
    XA_MSG_SET_OUTPUT_MODULE = 46,
    XA_MSG_GET_OUTPUT_MODULE = 47,
    XA_MSG_SET_OUTPUT_VOLUME = 48,
    XA_MSG_GET_OUTPUT_VOLUME = 49,
    XA_MSG_SET_OUTPUT_CHANNELS = 50,
    XA_MSG_GET_OUTPUT_CHANNELS = 51,
    XA_MSG_SET_OUTPUT_PORTS = 52,
    XA_MSG_GET_OUTPUT_PORTS = 53,
    XA_MSG_SET_CODEC_QUALITY = 54,
    XA_MSG_GET_CODEC_QUALITY = 55,
    XA_MSG_SET_CODEC_EQUALIZER = 58,
    XA_MSG_GET_CODEC_EQUALIZER = 59,
    XA_MSG_SET_NOTIFICATION_MASK = 60,
    XA_MSG_GET_NOTIFICATION_MASK = 61,
    XA_MSG_SET_DEBUG_LEVEL = 62,
    XA_MSG_GET_DEBUG_LEVEL = 63,
};

// Notice codes.
enum : int {
    XA_MSG_NOTIFY_READY = 64,
    XA_MSG_NOTIFY_ACK = 65,
    XA_MSG_NOTIFY_NACK = 66,
    XA_MSG_NOTIFY_PONG = 67,
    XA_MSG_NOTIFY_EXITED = 68,
    XA_MSG_NOTIFY_PLAYER_STATE = 69,
    XA_MSG_NOTIFY_PLAYER_MODE = 70,
    XA_MSG_NOTIFY_PLAYER_ENVIRONMENT_INTEGER = 71,
    XA_MSG_NOTIFY_PLAYER_ENVIRONMENT_STRING = 72,
    XA_MSG_NOTIFY_INPUT_STATE = 73,
    XA_MSG_NOTIFY_INPUT_NAME = 74,
    XA_MSG_NOTIFY_INPUT_CAPS = 75,
    XA_MSG_NOTIFY_INPUT_POSITION = 76,
    XA_MSG_NOTIFY_INPUT_POSITION_RANGE = 77,
    XA_MSG_NOTIFY_INPUT_TIMECODE = 78,
    XA_MSG_NOTIFY_INPUT_TIMECODE_GRANULARITY = 79,
    XA_MSG_NOTIFY_INPUT_DURATION = 80,
    XA_MSG_NOTIFY_INPUT_STREAM_INFO = 81,
    XA_MSG_NOTIFY_INPUT_MODULE = 82,
    XA_MSG_NOTIFY_INPUT_MODULE_INFO = 83,
    XA_MSG_NOTIFY_INPUT_DEVICE_INFO = 84,
    XA_MSG_NOTIFY_INPUT_FILTER_INFO = 85,
    XA_MSG_NOTIFY_OUTPUT_STATE = 86,
    XA_MSG_NOTIFY_OUTPUT_NAME = 87,
    XA_MSG_NOTIFY_OUTPUT_CAPS = 88,
    XA_MSG_NOTIFY_OUTPUT_VOLUME = 89,
    XA_MSG_NOTIFY_OUTPUT_BALANCE = 90,
    XA_MSG_NOTIFY_OUTPUT_PCM_LEVEL = 91,
    XA_MSG_NOTIFY_OUTPUT_MASTER_LEVEL = 92,
    XA_MSG_NOTIFY_OUTPUT_CHANNELS = 93,
    XA_MSG_NOTIFY_OUTPUT_PORTS = 94,
    XA_MSG_NOTIFY_OUTPUT_MODULE = 96,
    XA_MSG_NOTIFY_OUTPUT_MODULE_INFO = 97,
    XA_MSG_NOTIFY_OUTPUT_DEVICE_INFO = 98,
    XA_MSG_NOTIFY_OUTPUT_FILTER_INFO = 99,
    XA_MSG_NOTIFY_CODEC_QUALITY = 100,
    XA_MSG_NOTIFY_CODEC_EQUALIZER = 101,
    XA_MSG_NOTIFY_NOTIFICATION_MASK = 102,
    XA_MSG_NOTIFY_DEBUG_LEVEL = 103,
    XA_MSG_NOTIFY_PROGRESS = 104,
    XA_MSG_NOTIFY_DEBUG = 105,
    XA_MSG_NOTIFY_ERROR = 106,
};

// Player states (notice 69).
enum : int {
    XA_PLAYER_STATE_STOPPED = 0,
    XA_PLAYER_STATE_PLAYING = 1,
    XA_PLAYER_STATE_PAUSED = 2,
    XA_PLAYER_STATE_EOS = 3,
};

// Input and output states (notices 73 and 86).
enum : int { XA_INPUT_STATE_CLOSED = 0, XA_INPUT_STATE_OPEN = 1 };
enum : int { XA_OUTPUT_STATE_CLOSED = 0, XA_OUTPUT_STATE_OPEN = 1 };

// Output channel modes (code 50).
enum : int {
    XA_OUTPUT_CHANNELS_STEREO = 0,
    XA_OUTPUT_CHANNELS_MONO_LEFT = 1,   // the left channel on both sides
    XA_OUTPUT_CHANNELS_MONO_RIGHT = 2,  // the right channel on both sides
    XA_OUTPUT_CHANNELS_MONO_MIX = 3,    // both channels mixed, on both sides
};

// Sources of progress, debug and error notices.
enum : int { XA_SOURCE_PLAYER = 0, XA_SOURCE_INPUT = 1, XA_SOURCE_OUTPUT = 2, XA_SOURCE_CODEC = 3 };

// Unsolicited notices come only when their bit is in the notification mask
// (all bits by default); answers to requests always come.
enum : uint32_t {
    XA_NOTIFY_MASK_ERROR = 0x1,
    XA_NOTIFY_MASK_DEBUG = 0x2,
    XA_NOTIFY_MASK_PROGRESS = 0x4,
    XA_NOTIFY_MASK_ACK = 0x8,
    XA_NOTIFY_MASK_NACK = 0x10,
    XA_NOTIFY_MASK_PLAYER_STATE = 0x20,
    XA_NOTIFY_MASK_INPUT_STATE = 0x40,
    XA_NOTIFY_MASK_INPUT_NAME = 0x80,
    XA_NOTIFY_MASK_INPUT_CAPS = 0x100,
    XA_NOTIFY_MASK_INPUT_DURATION = 0x200,
    XA_NOTIFY_MASK_INPUT_POSITION = 0x400,
    XA_NOTIFY_MASK_INPUT_TIMECODE = 0x800,
    XA_NOTIFY_MASK_INPUT_STREAM_INFO = 0x1000,
    XA_NOTIFY_MASK_OUTPUT_STATE = 0x2000,
    XA_NOTIFY_MASK_OUTPUT_NAME = 0x4000,
    XA_NOTIFY_MASK_OUTPUT_CAPS = 0x8000,
};

// Status codes of the entry points and of nack and error notices.
enum : int {
    XA_SUCCESS = 0,
    XA_FAILURE = -1,
    XA_ERROR_INVALID_PARAMETERS = -2,
    XA_ERROR_PLAYER_EXITED = -3,
    XA_ERROR_NO_INPUT = -4,
    XA_ERROR_OPEN_FAILED = -5,
    XA_ERROR_NOT_MPEG_AUDIO = -6,
    XA_ERROR_DECODE_FAILED = -7,
    XA_ERROR_OUTPUT_OPEN_FAILED = -8,
    XA_ERROR_OUTPUT_FAILED = -9,
    XA_ERROR_NO_SUCH_MODULE = -10,
    XA_ERROR_NOT_SUPPORTED = -11,
    XA_ERROR_NO_SUCH_VALUE = -12,
};

constexpr uint32_t XA_DEFAULT_POSITION_RANGE = 10000;
constexpr uint32_t XA_DEFAULT_TIMECODE_GRANULARITY = 1000;  // milliseconds
constexpr int XA_EQUALIZER_BANDS = 32;

// Gain per band and channel, from -128 (silent) through 0 (unchanged) to 127
// (about twice as loud).
struct XA_EqualizerInfo {
    int8_t left[XA_EQUALIZER_BANDS];
    int8_t right[XA_EQUALIZER_BANDS];
};

// A notice as the receiver sees it. The texts and the equalizer belong to the
// notice they came from and live as long as it does.
struct XA_Message {
    int32_t code;
    union {
        uint8_t command;                                 // 65
        struct { uint8_t command; int16_t code; } nack;  // 66
        uint32_t tag;                                    // 67
        uint8_t state;                                   // 69, 73, 86
        int32_t mode;                                    // 70
        struct { const char* name; int32_t value; } environment_integer;       // 71
        struct { const char* name; const char* value; } environment_string;    // 72
        const char* name;                                // 74, 87
        uint32_t caps;                                   // 75, 88
        struct { uint32_t offset; uint32_t range; } position;                  // 76
        int32_t range;                                   // 77
        struct { uint8_t h; uint8_t m; uint8_t s; uint8_t f; } timecode;       // 78
        uint32_t granularity;                            // 79
        uint32_t duration;                               // 80, seconds
        struct {
            uint8_t level;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
            uint8_t layer;
            uint16_t bitrate;    // kbit/s
            uint16_t frequency;  // Hz
            uint8_t mode;        // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
        } stream_info;                                   // 81
        int16_t module_id;                               // 82, 96
        struct { uint8_t id; uint8_t nb_devices; const char* name; const char* description; } module_info;  // 83, 97
        struct {
            uint8_t module_id;
            uint8_t index;
            uint8_t flags;
            const char* name;
            const char* description;
        } device_info;                                   // 84, 98
        struct { uint8_t id; const char* name; } filter_info;                  // 85, 99
        struct { uint8_t master_level; uint8_t pcm_level; uint8_t balance; } volume;  // 89 to 92
        uint8_t channels;                                // 93
        uint8_t ports;                                   // 94
        uint8_t quality;                                 // 100
        const XA_EqualizerInfo* equalizer;               // 101
        uint32_t notification_mask;                      // 102
        uint8_t debug_level;                             // 103
        struct { uint8_t source; uint8_t code; int16_t value; const char* message; } progress;  // 104
        struct { uint8_t source; uint8_t level; const char* message; } debug;                  // 105
        struct { uint8_t source; int16_t code; const char* message; } error;                   // 106
    } data;
};

struct XA_Player;
struct XA_Notice;

// Receives each notice; the receiver owns it and frees it with
// xaudio_notice_free, from any thread, when it is done with it.
using XA_NotifyCallback = void (*)(void* context, XA_Notice* notice);
struct XA_NotifyTarget {
    XA_NotifyCallback callback;
    void* context;
};

// Version of a control interface: major in bits 16 to 23, minor in bits 8
// to 15. Interface 2 is at version 3.2.
int xaudio_get_api_version(int interfaceNumber);
const char* xaudio_error_string(int code);

int player_new(XA_Player** player, const XA_NotifyTarget* target);
// Ends the player's thread (as exit does, if it was not sent) and frees it;
// no notice comes after it returns.
int player_delete(XA_Player* player);
int player_set_priority(XA_Player* player, int priority);
int player_get_priority(XA_Player* player);

int control_message_send_N(XA_Player* player, int code);
int control_message_send_I(XA_Player* player, int code, int32_t value);
int control_message_send_II(XA_Player* player, int code, int32_t value1, int32_t value2);
int control_message_send_III(XA_Player* player, int code, int32_t value1, int32_t value2, int32_t value3);
int control_message_send_IPI(XA_Player* player, int code, int32_t value1, const void* pointer, int32_t value2);
int control_message_send_S(XA_Player* player, int code, const char* text);
int control_message_send_SI(XA_Player* player, int code, const char* text, int32_t value);
int control_message_send_SS(XA_Player* player, int code, const char* text1, const char* text2);
int control_message_send_P(XA_Player* player, int code, const void* pointer);

// Fills `message` from a delivered notice; its texts point into the notice.
int control_notice_to_message(XA_Player* player, XA_Message* message, const XA_Notice* notice);
void xaudio_notice_free(XA_Notice* notice);

// The entry points as one table, the way a program binds the library; tests
// put their own functions in place of some of them.
struct XA_Library {
    int (*get_api_version)(int interfaceNumber);
    const char* (*error_string)(int code);
    int (*player_new)(XA_Player** player, const XA_NotifyTarget* target);
    int (*player_delete)(XA_Player* player);
    int (*player_set_priority)(XA_Player* player, int priority);
    int (*player_get_priority)(XA_Player* player);
    int (*send_N)(XA_Player* player, int code);
    int (*send_I)(XA_Player* player, int code, int32_t value);
    int (*send_II)(XA_Player* player, int code, int32_t value1, int32_t value2);
    int (*send_III)(XA_Player* player, int code, int32_t value1, int32_t value2, int32_t value3);
    int (*send_IPI)(XA_Player* player, int code, int32_t value1, const void* pointer, int32_t value2);
    int (*send_S)(XA_Player* player, int code, const char* text);
    int (*send_SI)(XA_Player* player, int code, const char* text, int32_t value);
    int (*send_SS)(XA_Player* player, int code, const char* text1, const char* text2);
    int (*send_P)(XA_Player* player, int code, const void* pointer);
    int (*notice_to_message)(XA_Player* player, XA_Message* message, const XA_Notice* notice);
    void (*notice_free)(XA_Notice* notice);
};

const XA_Library& xaudio_library();
