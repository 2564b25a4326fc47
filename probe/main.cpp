// palomix-probe: answers questions about media files for Palomix, one at a time, for as long as
// the program that started it lives. Each question comes on standard input as a line
// "length N" (how long an input lasts) or "output N" (what a finished output holds, read to its
// last packet), followed by the N bytes of the file's path and a newline; each answer goes to
// standard output as "key=value" lines ended by "end" (probe/MediaReading.h). It reads
// untrusted files with FFmpeg's libraries, so it runs as a process of its own: a file that
// crashes it takes down nothing but this helper, which Palomix starts again.
#include <cstdio>
#include <iostream>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/ParentWatch.h"
#include "probe/MediaReading.h"

namespace {

// One question: its kind and the path; false at the end of the input or on a line that is no
// question (the helper then ends: the program that asks has gone or is not speaking to it).
bool ReadQuestion(std::istream& in, std::string& kind, std::string& path) {
    std::string line;
    if (!std::getline(in, line)) {
        return false;
    }
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) {
        return false;
    }
    kind = line.substr(0, blank);
    std::size_t size = 0;
    try {
        size = std::stoul(line.substr(blank + 1));
    } catch (const std::exception&) {
        return false;
    }
    path.assign(size, '\0');
    if (!in.read(path.data(), static_cast<std::streamsize>(size))) {
        return false;
    }
    return in.get() == '\n' && (kind == "length" || kind == "output");
}

}  // namespace

int main() {
    palomix::EndWithParent();
    av_log_set_level(AV_LOG_QUIET);
    std::ios::sync_with_stdio(false);
    std::string kind;
    std::string path;
    while (ReadQuestion(std::cin, kind, path)) {
        const palomix::probe::MediaFacts facts =
            palomix::probe::ReadMediaFacts(path, /*everyPacket=*/kind == "output");
        std::cout << palomix::probe::AnswerText(facts);
        std::cout.flush();
    }
    return 0;
}
