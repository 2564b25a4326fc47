// tests/e2e/expectations.tsv: what each shipped conversion command makes from the test inputs,
// one row per output file. Columns are found by the names of the header line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace palomix::e2e {

struct ExpectedOutput {
    std::string settingsFile;  // file name in convert_settings/
    int item = 0;              // section ItemN
    std::string input;         // video, song or picture
    // Where the file is written: relative to the output folder, with {base} (the input's
    // name without extension), {psp} and {walkman} (the roots of the attached players).
    std::string output;
    std::vector<std::string> codecs;  // of every stream, in order
    std::optional<int> width;         // of the first video stream
    std::optional<int> height;
    std::optional<double> duration;  // seconds
    std::optional<std::string> titleTag;
    // Properties measured on the file, such as "shape=16:9" or "maxfps=60" (see
    // expectations.tsv).
    std::vector<std::string> checks;
};

struct ExpectationsFile {
    std::vector<ExpectedOutput> rows;
    std::string error;  // why the file could not be read; empty when it was
};

// Reads the file: lines starting with '#' and blank lines are skipped, the first other line
// names the columns, each later line is a row; '-' stands for "none".
ExpectationsFile LoadExpectations(const std::string& path);

// The output path of a row with the placeholders filled in.
std::string ExpandOutput(const std::string& output, const std::string& base, const std::string& psp,
                         const std::string& walkman);

}  // namespace palomix::e2e
