#include "TestMedia.h"

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "ChildProcess.h"

namespace palomix::e2e {
namespace {

namespace fs = std::filesystem;

struct Kind {
    const char* name;
    const char* fileName;
    std::vector<std::string> arguments;  // ffmpeg's, between the common ones and the output
};

// Frames 0-14 at 30 fps, 15-74 at 120 fps from 0.5 s, 75-89 at 30 fps from 1 s.
constexpr const char* kBurstPictures =
    "testsrc2=size=320x240:rate=30,trim=end_frame=90,settb=1/1200,"
    "setpts='if(lt(N,15),N/30,if(lt(N,75),0.5+(N-15)/120,1+(N-75)/30))/TB'";

// The SDR test pictures as 10-bit BT.2020 video with the transfer `transfer` (zscale's name).
std::string HdrPictures(const std::string& transfer) {
    return std::string(kHdrSourcePictures) +
           ",zscale=tin=bt709:pin=bt709:min=bt709:rin=tv:npl=100:p=bt2020:m=bt2020nc:r=tv:t=" +
           transfer + ",format=yuv420p10le";
}

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds = {
        {"video",
         "clip \xE5\x8B\x95\xE7\x94\xBB.mp4",
         {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=2", "-f", "lavfi", "-i",
          "sine=frequency=440:duration=2:sample_rate=44100", "-c:v", "libx264", "-preset",
          "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest"}},
        // Fields from different moments (a 59.94 fps source woven into 29.97 frames), so that a
        // picture that is not deinterlaced shows combs; the white frame lets the picture's
        // edges be found again after scaling.
        {"dvd",
         "dvd 16x9.mpg",
         {"-f",
          "lavfi",
          "-i",
          "testsrc2=size=720x480:rate=60000/1001:duration=1,tinterlace=interleave_top,"
          "drawbox=c=white:t=2,setsar=32/27,setfield=tff",
          "-f",
          "lavfi",
          "-i",
          "sine=frequency=440:duration=1:sample_rate=48000",
          "-c:v",
          "mpeg2video",
          "-flags",
          "+ilme+ildct",
          "-top",
          "1",
          "-b:v",
          "4M",
          "-c:a",
          "mp2",
          "-shortest",
          "-f",
          "mpeg"}},
        {"pal",
         "pal 4x3.mpg",
         {"-f", "lavfi", "-i",
          "testsrc2=size=720x576:rate=50:duration=1,tinterlace=interleave_top,"
          "drawbox=c=white:t=2,setsar=16/15,setfield=tff",
          "-c:v", "mpeg2video", "-flags", "+ilme+ildct", "-top", "1", "-b:v", "4M", "-f", "mpeg"}},
        {"burst",
         "burst 120fps.mp4",
         {"-f",
          "lavfi",
          "-i",
          kBurstPictures,
          "-f",
          "lavfi",
          "-i",
          "sine=frequency=440:duration=1:sample_rate=44100",
          "-c:v",
          "libx264",
          "-preset",
          "ultrafast",
          "-pix_fmt",
          "yuv420p",
          "-fps_mode",
          "passthrough",
          "-video_track_timescale",
          "90000",
          "-c:a",
          "aac"}},
        // The SDR pictures turned into HDR as a mastering tool would: SDR white at 100 nits.
        {"hdr",
         "hdr pq.mp4",
         {"-f", "lavfi", "-i", HdrPictures("smpte2084"), "-c:v", "libx264", "-preset", "ultrafast",
          "-color_primaries", "bt2020", "-color_trc", "smpte2084", "-colorspace", "bt2020nc"}},
        {"hlg",
         "hdr hlg.mkv",
         {"-f",
          "lavfi",
          "-i",
          HdrPictures("arib-std-b67"),
          "-f",
          "lavfi",
          "-i",
          "sine=frequency=440:duration=1:sample_rate=44100",
          "-c:v",
          "libx264",
          "-preset",
          "ultrafast",
          "-color_primaries",
          "bt2020",
          "-color_trc",
          "arib-std-b67",
          "-colorspace",
          "bt2020nc",
          "-c:a",
          "aac"}},
        {"grain",
         "grain.mkv",
         {"-f", "lavfi", "-i", "color=gray:size=640x360:rate=25:duration=1,noise=alls=40:allf=t",
          "-c:v", "libx264", "-preset", "ultrafast", "-qp", "0"}},
        {"portrait",
         "portrait.mp4",
         {"-f", "lavfi", "-i", "testsrc2=size=540x960:rate=10:duration=1", "-c:v", "libx264",
          "-preset", "ultrafast", "-pix_fmt", "yuv420p"}},
        {"speck",
         "speck.mp4",
         {"-f", "lavfi", "-i", "color=red:size=4x4:rate=25:duration=0.2,format=yuv444p,crop=1:1",
          "-c:v", "libx264", "-preset", "ultrafast"}},
        {"song", "song \xE6\x9B\xB2.mp3", {}},
        {"opus",
         "tags.opus",
         {"-f", "lavfi", "-i", "sine=frequency=330:duration=1:sample_rate=48000", "-c:a", "libopus",
          "-metadata", "title=Opus Song"}},
        {"hires",
         "hires 96k.flac",
         {"-f", "lavfi", "-i", "sine=frequency=330:duration=1:sample_rate=96000", "-c:a", "flac",
          "-metadata", "title=Hi-Res Song"}},
        {"picture",
         "picture.jpg",
         {"-f", "lavfi", "-i", "testsrc2=size=2400x1600", "-frames:v", "1", "-q:v", "2"}},
        {"alpha",
         "alpha.png",
         {"-f", "lavfi", "-i",
          "color=blue:size=64x48,format=rgba,"
          "geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='if(lt(X,32),0,255)'",
          "-frames:v", "1"}},
        {"pixel",
         "pixel.png",
         {"-f", "lavfi", "-i", "color=red:size=4x4,format=rgb24,crop=1:1", "-frames:v", "1"}},
        {"rotated",
         "rotated.jpg",
         {"-f", "lavfi", "-i", "testsrc2=size=320x240", "-frames:v", "1", "-q:v", "2"}},
        {"broken", "broken.mp4", {}},
    };
    return kinds;
}

const Kind* FindKind(const std::string& name) {
    for (const Kind& kind : Kinds()) {
        if (name == kind.name) {
            return &kind;
        }
    }
    return nullptr;
}

bool Run(const std::vector<std::string>& arguments, std::string& error) {
    const ProcessOutput result = RunProcess(arguments);
    if (result.exitCode != 0) {
        error = arguments.back() + ": " + result.err;
        return false;
    }
    return true;
}

std::vector<std::string> Common(const std::string& ffmpeg) {
    return {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y"};
}

bool MakeSong(const std::string& ffmpeg, const std::string& folder, const std::string& path,
              std::string& error) {
    const std::string cover = folder + "/cover.png";
    std::vector<std::string> makeCover = Common(ffmpeg);
    makeCover.insert(makeCover.end(),
                     {"-f", "lavfi", "-i", "testsrc2=size=300x300", "-frames:v", "1", cover});
    if (!Run(makeCover, error)) {
        return false;
    }
    std::vector<std::string> arguments = Common(ffmpeg);
    arguments.insert(arguments.end(), {"-f",
                                       "lavfi",
                                       "-i",
                                       "sine=frequency=330:duration=2:sample_rate=44100",
                                       "-i",
                                       cover,
                                       "-map",
                                       "0:a",
                                       "-map",
                                       "1:v",
                                       "-c:a",
                                       "libmp3lame",
                                       "-b:a",
                                       "128k",
                                       "-c:v",
                                       "png",
                                       "-disposition:v",
                                       "attached_pic",
                                       "-id3v2_version",
                                       "3",
                                       "-metadata",
                                       std::string("title=") + kSongTitle,
                                       "-metadata",
                                       "artist=Palomix",
                                       path});
    const bool made = Run(arguments, error);
    std::error_code ignored;
    fs::remove(cover, ignored);
    return made;
}

// Puts an EXIF block with orientation 6 (turn 90 degrees clockwise to show) right after the
// JPEG's start marker and its JFIF block.
bool AddExifOrientation(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    in.close();
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        error = path + ": not a JPEG file";
        return false;
    }
    std::size_t at = 2;
    if (bytes[2] == 0xFF && bytes[3] == 0xE0 && bytes.size() > 6) {
        at = 4 + (static_cast<std::size_t>(bytes[4]) << 8 | bytes[5]);
    }
    const std::vector<unsigned char> exif = {
        'E',  'x',  'i', 'f', 0, 0,        // identifier
        'M',  'M',  0,   42,  0, 0, 0, 8,  // big-endian TIFF header, first directory at 8
        0,    1,                           // one entry:
        0x01, 0x12, 0,   3,   0, 0, 0, 1, 0, 6, 0, 0,  // orientation, SHORT, 1 value: 6
        0,    0,    0,   0};                           // no next directory
    const std::size_t length = exif.size() + 2;
    std::vector<unsigned char> segment = {0xFF, 0xE1, static_cast<unsigned char>(length >> 8),
                                          static_cast<unsigned char>(length & 0xFF)};
    segment.insert(segment.end(), exif.begin(), exif.end());
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), segment.begin(), segment.end());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        error = path + ": cannot write";
        return false;
    }
    return true;
}

}  // namespace

std::string InputFileName(const std::string& kind) {
    const Kind* found = FindKind(kind);
    return found != nullptr ? found->fileName : std::string();
}

std::string MakeInput(const std::string& ffmpeg, const std::string& kind, const std::string& folder,
                      std::string& error) {
    const Kind* found = FindKind(kind);
    if (found == nullptr) {
        error = "unknown input kind '" + kind + "'";
        return {};
    }
    const std::string path = folder + "/" + found->fileName;
    if (kind == "song") {
        return MakeSong(ffmpeg, folder, path, error) ? path : std::string();
    }
    if (kind == "broken") {
        std::ofstream(path, std::ios::binary) << "This file holds no media at all.\n";
        return path;
    }
    std::vector<std::string> arguments = Common(ffmpeg);
    arguments.insert(arguments.end(), found->arguments.begin(), found->arguments.end());
    arguments.push_back(path);
    if (!Run(arguments, error)) {
        return {};
    }
    if (kind == "rotated" && !AddExifOrientation(path, error)) {
        return {};
    }
    return path;
}

std::string FileChecksum(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "(unreadable)";
    }
    std::uint64_t hash = 14695981039346656037ULL;
    std::size_t size = 0;
    for (auto it = std::istreambuf_iterator<char>(in); it != std::istreambuf_iterator<char>();
         ++it) {
        hash ^= static_cast<unsigned char>(*it);
        hash *= 1099511628211ULL;
        ++size;
    }
    return std::to_string(size) + ":" + std::to_string(hash);
}

InputLibrary::InputLibrary(std::string ffmpeg) : ffmpeg_(std::move(ffmpeg)) {
    std::string pattern = (fs::temp_directory_path() / "palomix-e2e-inputs-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        folder_ = pattern;
    }
}

InputLibrary::~InputLibrary() {
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

std::string InputLibrary::Path(const std::string& kind, std::string& error) {
    if (const auto known = paths_.find(kind); known != paths_.end()) {
        return known->second;
    }
    if (folder_.empty()) {
        error = "no temporary folder for the inputs";
        return {};
    }
    std::string path = MakeInput(ffmpeg_, kind, folder_, error);
    if (!path.empty()) {
        paths_[kind] = path;
        checksums_[path] = FileChecksum(path);
    }
    return path;
}

std::string InputLibrary::ChangesSinceMade() const {
    std::string changes;
    for (const auto& [path, checksum] : checksums_) {
        if (FileChecksum(path) != checksum) {
            changes += path + " changed\n";
        }
    }
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        if (!checksums_.contains(it->path().string())) {
            changes += it->path().string() + " was written beside the inputs\n";
        }
    }
    return changes;
}

}  // namespace palomix::e2e
