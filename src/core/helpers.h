#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TPlugIns;

// Texts shown for sizes, durations, sampling frequencies and bitrates.
std::string SizeText(int32_t bytes);       // "1023 B", "1.50 KB", "3.25 MB"
std::string DurationText(int32_t seconds); // "01:05", "100:00"
std::string FrequencyText(int32_t hz);     // "44.100 kHz"; empty for 0 or less
std::string BitrateText(int32_t kbps);     // "128 kbps"; empty for 0 or less

// Percent-encodes space, "*", "#", "%", "<", ">" and every byte from 128 up.
std::string UrlEncode(const std::string& text);

// Appends the audio files below a folder (name ending with "/") to the list:
// per folder its files of each FilterList extension in turn (matched without
// regard to letter case, hidden files included), then its subfolders one
// after another. Names are taken in name order. Hidden folders (names
// starting with ".") and links to folders are not entered. Returns the
// list's length afterwards.
int ScanFolder(std::vector<std::string>& list, const std::string& folder, const TPlugIns& registry);
