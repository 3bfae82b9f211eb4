#pragma once

#include <string>
#include <string_view>

// The name of picture n of an audio file, relative to the data folder:
// "picture/" and the audio file's path with every "/" and ":" turned into
// ".", then "." n and the extension. A name longer than a file system allows
// (255 bytes) keeps its beginning and its end and puts a hash of the whole
// name in the middle, so that it stays unique.
std::string PictureFileName(const std::string& audioPath, int n, std::string_view extension);

inline constexpr std::size_t kMaxFileNameBytes = 255;

// The MIME type of a picture as a tag frame needs it. Items keep a MIME type
// as read ("image/jpeg"), or, after the tag editor replaced the pictures, a
// file extension (".jpg", ".png"); an ID3v2.2 tag names the format in three
// letters ("JPG", "PNG"). A text holding "/" is taken as it is.
std::string PictureMimeType(std::string_view type);
