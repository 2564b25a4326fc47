// A launcher for the window's progress: a probe of an input's length (a line of ffprobe)
// answers with the length given; every other command runs until it is stopped, its log
// holding the statistics line that `statisticsFor` gives for its command line (none: a
// converter that says nothing). Nothing is started.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "platform/ProcessLauncher.h"

namespace palomix::testing {

class ProgressLauncher final : public ProcessLauncher {
public:
    using StatisticsFor = std::function<std::string(const std::string& commandLine)>;

    ProgressLauncher(PostToHost post, std::string logFolder, std::string length,
                     StatisticsFor statisticsFor)
        : post_(std::move(post)),
          logFolder_(std::move(logFolder)),
          length_(std::move(length)),
          statisticsFor_(std::move(statisticsFor)) {}

    LaunchResult Launch(const std::string& commandLine, ProcessEndedHandler onEnded) override {
        return Launch(commandLine, LaunchOptions{}, std::move(onEnded));
    }
    LaunchResult Launch(const std::string& commandLine, const LaunchOptions& /*options*/,
                        ProcessEndedHandler onEnded) override {
        LaunchResult result;
        result.launched = true;
        result.handle = ProcessHandle{++next_};
        result.logPath = logFolder_ + "/" + std::to_string(next_) + ".log";
        if (commandLine.find("ffprobe") != std::string::npos) {
            std::ofstream(result.logPath) << "format_name=avi\nduration=" << length_ << "\n";
            post_([onEnded = std::move(onEnded), handle = result.handle] {
                onEnded(handle, ProcessExit{});
            });
            return result;
        }
        std::ofstream(result.logPath) << statisticsFor_(commandLine);
        running_.emplace(result.handle.id, std::move(onEnded));
        return result;
    }
    bool Terminate(ProcessHandle handle) override {
        const auto found = running_.find(handle.id);
        if (found == running_.end()) {
            return false;
        }
        post_([onEnded = std::move(found->second), handle] {
            onEnded(handle, ProcessExit{ProcessExit::Kind::Signalled, 15});
        });
        running_.erase(found);
        return true;
    }
    void DiscardLog(ProcessHandle /*handle*/) override {}

private:
    PostToHost post_;
    std::string logFolder_;
    std::string length_;
    StatisticsFor statisticsFor_;
    std::uint64_t next_ = 0;
    std::map<std::uint64_t, ProcessEndedHandler> running_;
};

// ffmpeg's statistics line at `seconds` into the input, at `speed`.
inline std::string StatisticsLine(int seconds, double speed) {
    char line[128];
    std::snprintf(line, sizeof line,
                  "frame=  100 fps= 25 q=28.0 size=    1024kB time=%02d:%02d:%02d.00 "
                  "bitrate= 800.0kbits/s speed=%.1fx\r",
                  seconds / 3600, seconds / 60 % 60, seconds % 60, speed);
    return line;
}

}  // namespace palomix::testing
