// The entry point of the media player's loadable module.
#include "platform/mediacontrol/mediaplayer.h"
#include "platform/mediacontrol/mplayer.h"

extern "C" __attribute__((visibility("default"))) TMediaControl* tcrate_new_media_player(const char* outputSetting) {
    return new TMPlayer(outputSetting);
}
