// What the local ffmpeg (cores/ffmpeg) offers, so that a command that needs an encoder or an
// output format it lacks is refused before any of its jobs start, rather than failing on every
// file; and its version, for the About box. The lists come from `ffmpeg -hide_banner -encoders`,
// `ffmpeg -hide_banner -muxers` and `ffmpeg -version`,
// run through the launcher (never waited for) and read again only when the program file
// changes (its size or its modification time).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FfmpegArguments.h"
#include "engine/RunPolicy.h"
#include "platform/PathRules.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

using NameSet = std::set<std::string, std::less<>>;

struct ConverterFeatures {
    NameSet encoders;  // encoder names, and the codecs they write ("h264" for libx264)
    NameSet formats;   // output formats (muxers and output devices)
};

// The names in the list `ffmpeg -encoders` prints; nullopt when the text is no such list.
std::optional<NameSet> EncodersInList(std::string_view text);
// The output formats in the list `ffmpeg -muxers` prints; nullopt when the text is no such list.
std::optional<NameSet> FormatsInList(std::string_view text);

// The version of the first line "ffmpeg version X ..." and the licence of the line
// "configuration: ..." (--enable-nonfree, --enable-gpl, --enable-version3); nullopt when the
// output names no version.
std::optional<ConverterVersion> ParseConverterVersion(std::string_view output);

// The needs the features do not meet, in order.
std::vector<ConverterNeed> MissingNeeds(const std::vector<ConverterNeed>& needs,
                                        const ConverterFeatures& features);

// The needs of the prepared lines (those that could be prepared, run or not) whose program (as
// the planner read it: the one the launcher starts) is `ffmpeg`.
std::vector<ConverterNeed> NeedsOfLines(const std::vector<PlannedLine>& lines,
                                        const std::string& ffmpeg, PathStyle style);

// cores/ffmpeg, cores/ffprobe, ... of a program folder (with ".exe" in the Windows style).
std::string CoresProgram(const std::string& programFolder, std::string_view name, PathStyle style);

// Reads and keeps the features of one ffmpeg program file. Lives on the host's thread.
class ConverterFeatureReader {
public:
    enum class State {
        Absent,      // there is no such file
        Reading,     // its lists are being read; `onRead` is called when they are
        Known,       // Features() holds them
        Unreadable,  // it gave no lists that could be read (or could not be started)
    };

    // `onRead` is called on the host's thread each time a reading has ended.
    ConverterFeatureReader(ProcessLauncher& launcher, std::string program,
                           std::function<void()> onRead);
    ConverterFeatureReader(const ConverterFeatureReader&) = delete;
    ConverterFeatureReader& operator=(const ConverterFeatureReader&) = delete;

    // Looks at the file (its size and time); a file not read yet, or changed since, starts a
    // reading (a change made while one runs is seen at the next look after it). Never waits.
    State Look();
    const ConverterFeatures& Features() const { return features_; }
    // The version it named (asked with its lists); nullopt when it named none.
    const std::optional<ConverterVersion>& Version() const { return version_; }
    const std::string& Program() const { return program_; }

private:
    // The file as the cache knows it: its size and modification time.
    struct Stamp {
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    enum class List { Encoders, Formats, Version };
    // Starts the query of one list; false when it cannot.
    bool Query(List list);
    void OnEnded(ProcessHandle handle, ProcessExit exit);

    ProcessLauncher& launcher_;
    std::string program_;
    std::function<void()> onRead_;
    std::optional<Stamp> stamp_;
    State state_ = State::Absent;
    ConverterFeatures features_;
    std::optional<ConverterVersion> version_;
    // The lists and the version are asked for at once, each from a program start of its own.
    struct RunningQuery {
        ProcessHandle handle;
        std::string logPath;
        List list;
    };
    std::vector<RunningQuery> queries_;  // those running
    bool listMissing_ = false;           // a query of this reading gave no list
    // The launcher's end handlers hold a weak reference, so an end that arrives after the
    // reader is gone touches nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace palomix
