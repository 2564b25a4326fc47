// The command line of palomix-batch: what the user asked for, checked for form only. Whether
// the settings file, the command row or the paths exist is decided later, against the
// program folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineTypes.h"

namespace palomix {

// What --list and --dry-run print: text for a person, or one JSON object a line for scripts.
enum class OutputFormat { Text, Json };

// The argument that stands for the paths listed on standard input.
inline constexpr std::string_view kStandardInputPath = "-";

struct BatchOptions {
    std::optional<std::string> settingsFile;   // --settings, as written
    int commandRow = 0;                        // --command
    std::optional<std::string> outputFolder;   // --output, as written
    std::optional<Language> language;          // --language
    std::vector<std::string> driveFolders;     // --drive, in the order given
    bool list = false;                         // --list
    bool dryRun = false;                       // --dry-run
    OutputFormat format = OutputFormat::Text;  // --format
    bool nullSeparated = false;                // --null: standard input lists NUL-ended paths
    ExistingOutputs existing = ExistingOutputs::Overwrite;  // --existing
    int jobs = 1;                        // --jobs: conversions at once; 0 for one per core
    bool progress = false;               // --progress: machine-readable progress lines on stdout
    bool keepDates = false;              // --keep-dates
    bool keepTree = false;               // --keep-tree
    std::optional<std::string> logFile;  // --log: the run's log also goes there, as written
    bool help = false;                   // --help
    bool version = false;                // --version
    std::vector<std::string> paths;      // PATH..., as written ("-" included)
    // Watched folders instead of paths: --watch DIR, in the order given.
    std::vector<std::string> watchFolders;
    bool once = false;         // --once: what is there, then end
    bool subfolders = false;   // --subfolders: the files of the folders below count too
    bool retryFailed = false;  // --retry-failed: the files remembered as failed are tried again
    std::optional<double> settleSeconds;  // --settle
    std::optional<double> rescanSeconds;  // --rescan
};

// Either the options or the one-line reason why the command line is not usable.
struct ParsedBatchOptions {
    BatchOptions options;
    std::string error;  // empty when the command line is usable

    bool Ok() const { return error.empty(); }
};

// Parses the arguments after the program name. Options take their value as the next
// argument or after '=' (--output=DIR); "--" ends the options, so later arguments are paths
// even when they begin with '-'. A lone "-", before or after "--", stands for the paths listed
// on standard input and may be given once (a file named "-" is "./-"). A repeated option other
// than --drive and --watch takes its last value. At least one PATH is needed unless --list,
// --help, --version or --watch is given; --format json needs --dry-run or --list. --watch takes
// no PATH and goes with neither --list, --dry-run nor --progress; --once, --subfolders,
// --retry-failed, --settle and --rescan need --watch.
ParsedBatchOptions ParseBatchOptions(const std::vector<std::string>& arguments);

// The text printed by --help.
std::string_view BatchUsageText();

}  // namespace palomix
