#include "TestMedia.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "ChildProcess.h"

namespace palomix::e2e {
namespace {

bool Run(const std::vector<std::string>& arguments, std::string& error) {
    const ProcessOutput result = RunProcess(arguments);
    if (result.exitCode != 0) {
        error = arguments.back() + ": " + result.err;
        return false;
    }
    return true;
}

}  // namespace

std::string InputFileName(const std::string& kind) {
    if (kind == "video") {
        return "clip \xE5\x8B\x95\xE7\x94\xBB.mp4";
    }
    if (kind == "song") {
        return "song \xE6\x9B\xB2.mp3";
    }
    if (kind == "picture") {
        return "picture.jpg";
    }
    return {};
}

std::string MakeInput(const std::string& ffmpeg, const std::string& kind, const std::string& folder,
                      std::string& error) {
    const std::string name = InputFileName(kind);
    if (name.empty()) {
        error = "unknown input kind '" + kind + "'";
        return {};
    }
    const std::string path = folder + "/" + name;
    const std::vector<std::string> common = {ffmpeg,  "-hide_banner", "-loglevel",
                                             "error", "-nostdin",     "-y"};
    std::vector<std::string> arguments = common;
    if (kind == "video") {
        arguments.insert(
            arguments.end(),
            {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=3", "-f", "lavfi", "-i",
             "sine=frequency=440:duration=3:sample_rate=44100", "-c:v", "libx264", "-preset",
             "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest", path});
    } else if (kind == "song") {
        const std::string cover = folder + "/cover.png";
        std::vector<std::string> makeCover = common;
        makeCover.insert(makeCover.end(),
                         {"-f", "lavfi", "-i", "testsrc2=size=300x300", "-frames:v", "1", cover});
        if (!Run(makeCover, error)) {
            return {};
        }
        arguments.insert(arguments.end(), {"-f",
                                           "lavfi",
                                           "-i",
                                           "sine=frequency=330:duration=3:sample_rate=44100",
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
        std::remove(cover.c_str());
        return made ? path : std::string();
    } else {
        arguments.insert(arguments.end(), {"-f", "lavfi", "-i", "testsrc2=size=2400x1600",
                                           "-frames:v", "1", "-q:v", "2", path});
    }
    return Run(arguments, error) ? path : std::string();
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

}  // namespace palomix::e2e
