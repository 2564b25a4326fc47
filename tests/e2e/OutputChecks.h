// Checks one converted file against its row of tests/e2e/expectations.tsv: streams, sizes,
// duration, title, the measured properties its row names and those every file of its kind must
// have. Failures are reported with gtest's EXPECT/ADD_FAILURE.
#pragma once

#include <string>

#include "Expectations.h"

namespace palomix::e2e {

struct MediaTools {
    std::string ffmpeg;
    std::string ffprobe;
};

// `path` is where the row's file should be.
void CheckOutput(const MediaTools& tools, const ExpectedOutput& row, const std::string& path);

// Only that the file is there and has the row's streams (for a run that differs from the
// checked one in the output names alone).
void CheckStreams(const MediaTools& tools, const ExpectedOutput& row, const std::string& path);

}  // namespace palomix::e2e
