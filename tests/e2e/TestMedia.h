// The short inputs of the end-to-end tests, made with ffmpeg from its built-in sources, each
// with the one property the conversions must handle (see kinds in TestMedia.cpp):
//   video     2 s of 1280x720 at 25 fps, H.264 with a 440 Hz tone in AAC (44.1 kHz);
//   dvd       1 s of interlaced 16:9 DVD video (720x480, pixels 32:27, MPEG-2, top field
//             first, fields from different moments) with MPEG audio;
//   pal       1 s of interlaced 4:3 PAL video (720x576, pixels 16:15), no sound;
//   burst     1.5 s of 320x240 phone-like variable frame rate: 30 fps, then half a second at
//             120 fps, then 30 fps again (90 frames), with 1 s of AAC sound;
//   hdr       1 s of 320x180 10-bit HDR video (BT.2020, PQ), the SDR test pictures at 100 nits;
//   hlg       the same pictures in HLG, with 1 s of AAC sound;
//   grain     1 s of 640x360 noise, which costs a lot of bits;
//   portrait  1 s of 540x960 at 10 fps;
//   speck     a 1x1 video of five frames;
//   song      2 s of a 330 Hz tone in MP3 (44.1 kHz) with ID3v2.3 tags (title "Test Song") and
//             a 300x300 PNG cover as attached picture;
//   opus      1 s of Opus whose title "Opus Song" is kept on the stream, as Ogg does;
//   hires     1 s of 96 kHz FLAC titled "Hi-Res Song";
//   picture   a 2400x1600 JPEG of the test picture;
//   alpha     a 64x48 PNG whose left half is transparent;
//   pixel     a 1x1 PNG;
//   rotated   a 320x240 JPEG whose EXIF orientation turns it upright (240x320);
//   broken    a file named .mp4 that holds no media.
// Every input is made once per test program, in a temporary folder removed at its end. Some
// names have a blank and Japanese characters, so that they also prove the paths reach ffmpeg
// whole.
#pragma once

#include <map>
#include <string>

namespace palomix::e2e {

inline constexpr const char* kSongTitle = "Test Song";
// The SDR pictures (an ffmpeg lavfi source) that the hdr and hlg inputs hold as HDR: what a
// conversion that maps them back to SDR should look like.
inline constexpr const char* kHdrSourcePictures =
    "testsrc2=size=320x180:rate=25:duration=1,format=yuv420p";

// The file name an input kind is made under; empty for an unknown kind.
std::string InputFileName(const std::string& kind);

// Makes the input of that kind in `folder` with `ffmpeg` and gives its path; on failure,
// an empty path and the reason in `error`.
std::string MakeInput(const std::string& ffmpeg, const std::string& kind, const std::string& folder,
                      std::string& error);

// A checksum of the file's bytes (FNV-1a, 64 bits), to see that a file stayed as it was.
std::string FileChecksum(const std::string& path);

// The inputs of one test program: each made on first use into a temporary folder that goes
// with the object.
class InputLibrary {
public:
    explicit InputLibrary(std::string ffmpeg);
    ~InputLibrary();
    InputLibrary(const InputLibrary&) = delete;
    InputLibrary& operator=(const InputLibrary&) = delete;

    // The path of the input of that kind; empty with the reason in `error` when it cannot be
    // made.
    std::string Path(const std::string& kind, std::string& error);

    // Empty when every input made so far still has its bytes and the folder holds nothing
    // else; otherwise what changed.
    std::string ChangesSinceMade() const;

private:
    std::string ffmpeg_;
    std::string folder_;
    std::map<std::string, std::string> paths_;      // kind -> path
    std::map<std::string, std::string> checksums_;  // path -> checksum when made
};

}  // namespace palomix::e2e
