// The short inputs of the end-to-end tests, made with ffmpeg from its built-in sources:
//   video:   3 s of 1280x720 test picture at 25 fps, H.264, with a 440 Hz tone in AAC;
//   song:    3 s of a 330 Hz tone in MP3 (44.1 kHz) with ID3v2.3 tags (title "Test Song") and
//            a 300x300 PNG cover as attached picture;
//   picture: a 2400x1600 JPEG of the test picture.
// The names have a blank and Japanese characters, so that they also prove the paths reach
// ffmpeg whole.
#pragma once

#include <string>

namespace palomix::e2e {

inline constexpr const char* kSongTitle = "Test Song";

// The file name an input kind ("video", "song", "picture") is made under; empty for others.
std::string InputFileName(const std::string& kind);

// Makes the input of that kind in `folder` with `ffmpeg` and gives its path; on failure,
// an empty path and the reason in `error`.
std::string MakeInput(const std::string& ffmpeg, const std::string& kind, const std::string& folder,
                      std::string& error);

// A checksum of the file's bytes (FNV-1a, 64 bits), to see that a file stayed as it was.
std::string FileChecksum(const std::string& path);

}  // namespace palomix::e2e
