// The text of a run log (frontend/RunLog.h): each fact of a run as the lines a person reads in
// a report, in English. Paths, command lines, versions and the converter's own output, nothing
// else of the user's.
#pragma once

#include <string>
#include <string_view>

#include "engine/EngineTypes.h"

namespace palomix {

// What the heading of a run log says of the program and the run's choices.
struct RunLogHeading {
    std::string started;  // "2024-05-01 12:00:00 UTC"
    std::string program;  // "palomix-batch"
    std::string programFolder;
    ConverterFacts converter;
    std::optional<ChosenCommand> command;
    std::string commandTitle;  // empty when the settings file names none
    std::string outputFolder;
    std::size_t simultaneousJobs = 1;
    ExistingOutputs existing = ExistingOutputs::Overwrite;
    bool keepDates = false;
    bool keepTree = false;
};

std::string HeadingText(const RunLogHeading& heading);
// "ffmpeg 6.0 (GPL 3)", "no ffmpeg in cores", ...: what is known of the converter.
std::string ConverterText(const ConverterFacts& converter);
// A job that began converting: "[3] /in/a.mp4 started".
std::string JobStartText(int number, const JobStart& start);
// A job that is over: its outcome, each of its command lines with how it ended and the ends of
// its output, and its problem.
std::string JobEndText(int number, const JobResult& result);
std::string RunEndText(const RunEnd& end);

// The date and time now, in UTC: "2024-05-01 12:00:00 UTC"; with `forName` "20240501-120000".
std::string TimeNowText(bool forName);

}  // namespace palomix
