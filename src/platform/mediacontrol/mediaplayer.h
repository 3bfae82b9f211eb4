#pragma once

#include <memory>
#include <string>

#include "platform/mediacontrol/mediacontrol.h"

// The media player for files the MPEG decoder does not take, kept in a module
// of its own ("tcrate-mediaplayer.so", with FFmpeg and everything FFmpeg
// needs) that is loaded at the first file it is given: the program starts
// without loading any of it. `outputSetting` names the sound output module.
// When the module cannot be loaded, standard error says why once, and the
// player opens nothing.
std::unique_ptr<TMediaControl> MakeMediaPlayer(const std::string& outputSetting = "alsa");

// The module's one entry point: a TMPlayer for the output setting.
extern "C" TMediaControl* tcrate_new_media_player(const char* outputSetting);
