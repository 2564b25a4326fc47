#include "cli/BatchOptions.h"

#include <charconv>
#include <utility>

namespace palomix {

namespace {

constexpr std::string_view kUsage =
    "Usage: palomix-batch [OPTIONS] PATH...\n"
    "Converts the files given (folders with everything below them) with one command of a\n"
    "conversion settings file, as dropping them onto the Palomix window does. A PATH of \"-\"\n"
    "reads the paths from standard input, one per line (with --null: each ended by a NUL\n"
    "byte, as find -print0 writes them); name a file called \"-\" as \"./-\".\n"
    "\n"
    "  --settings FILE   settings file: a path, or a path relative to convert_settings\n"
    "                    (default: the first file of the catalogue)\n"
    "  --command N       the command at row N of that file's command list, from 0 (default 0)\n"
    "  --output DIR      output folder (default: the current folder)\n"
    "  --language ja|en  language of the titles (default: the language saved in Palomix.ini,\n"
    "                    else ja)\n"
    "  --drive DIR       treat DIR as an attached drive for device output (repeatable, in the\n"
    "                    order given); then the system's drives are not used\n"
    "  --list            print the catalogue and every file's command list on standard\n"
    "                    output, then exit\n"
    "  --dry-run         print each prepared command line on standard output, one per line,\n"
    "                    in run order; start nothing and create no folder\n"
    "  --format FORMAT   with --dry-run: text, the command lines (default), or json, one\n"
    "                    JSON object per job with its input, output folder and the\n"
    "                    argument lists of its command lines\n"
    "  --null            the paths on standard input end with a NUL byte, not a newline\n"
    "  --jobs N          convert N files at once (default 1; 0: one per processor core);\n"
    "                    lines that write to one player still run one at a time\n"
    "  --progress        print a line \"progress I N PERCENT SECONDS_LEFT\" on standard output\n"
    "                    every second for each converting job (\"-\" where not known)\n"
    "  --keep-dates      give each output the modification time of its source\n"
    "  --keep-tree       convert a file found inside a folder given into the same subfolder\n"
    "                    of the output folder\n"
    "  --existing WHAT   an output file that exists from before: overwrite it (default),\n"
    "                    keep both (the new one gets a numbered name), or skip the file\n"
    "  --help            print this help and exit\n"
    "  --version         print the version and exit\n"
    "\n"
    "On a terminal, a line below them shows the converting file, its percentage, speed and\n"
    "time left, redrawn in place.\n"
    "Each job's result goes to standard error as it ends: \"[i/n] NAME: done (HH:MM:SS)\"\n"
    "(with \"as NAME (2)\" when its outputs got a numbered name), \"failed (exit code N)\"\n"
    "with the failed command and the last lines of its output, \"skipped (...)\",\n"
    "\"stopped\", or \"could not start\"; then a summary line. The first Ctrl-C stops the\n"
    "running job and ends the run; a second one ends the program at once.\n"
    "\n"
    "Exit status: 0 when every job was converted or skipped as asked (--existing skip, a\n"
    "file type the command does not take); 1 when a job failed (a command failed, its\n"
    "outputs did not pass the check, or the local ffmpeg lacks what the command needs),\n"
    "a job was stopped, or a PATH given was missing or left out; 2 on bad usage, a\n"
    "missing convert_settings folder, or an unknown settings file or command row; 3 when\n"
    "a command line could not be started.\n";

// A command row: decimal digits only, within int.
std::optional<int> ParseRow(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.front() < '0' || text.front() > '9') {
        return std::nullopt;
    }
    return value;
}

enum class OptionKind {
    Settings,
    Command,
    Output,
    Language,
    Drive,
    List,
    DryRun,
    Format,
    Null,
    Existing,
    Jobs,
    Progress,
    KeepDates,
    KeepTree,
    Help,
    Version
};

struct OptionName {
    std::string_view name;
    OptionKind kind;
    bool takesValue;
};

constexpr OptionName kOptions[] = {
    {"--settings", OptionKind::Settings, true},
    {"--command", OptionKind::Command, true},
    {"--output", OptionKind::Output, true},
    {"--language", OptionKind::Language, true},
    {"--drive", OptionKind::Drive, true},
    {"--list", OptionKind::List, false},
    {"--dry-run", OptionKind::DryRun, false},
    {"--format", OptionKind::Format, true},
    {"--null", OptionKind::Null, false},
    {"--existing", OptionKind::Existing, true},
    {"--jobs", OptionKind::Jobs, true},
    {"--progress", OptionKind::Progress, false},
    {"--keep-dates", OptionKind::KeepDates, false},
    {"--keep-tree", OptionKind::KeepTree, false},
    {"--help", OptionKind::Help, false},
    {"--version", OptionKind::Version, false},
};

const OptionName* FindOption(std::string_view name) {
    for (const OptionName& option : kOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

// Stores one option; returns the reason when its value is not usable.
std::string Apply(BatchOptions& options, const OptionName& option, std::string value) {
    if (option.takesValue && value.empty()) {
        return "option " + std::string(option.name) + " needs a value";
    }
    switch (option.kind) {
        case OptionKind::Settings:
            options.settingsFile = std::move(value);
            break;
        case OptionKind::Command:
            if (const auto row = ParseRow(value)) {
                options.commandRow = *row;
            } else {
                return "invalid command row '" + value + "' (a number from 0 is expected)";
            }
            break;
        case OptionKind::Output:
            options.outputFolder = std::move(value);
            break;
        case OptionKind::Language:
            if (const auto language = LanguageFromCode(value)) {
                options.language = *language;
            } else {
                return "invalid language '" + value + "' (use ja or en)";
            }
            break;
        case OptionKind::Drive:
            options.driveFolders.push_back(std::move(value));
            break;
        case OptionKind::List:
            options.list = true;
            break;
        case OptionKind::DryRun:
            options.dryRun = true;
            break;
        case OptionKind::Format:
            if (value == "text") {
                options.format = DryRunFormat::Text;
            } else if (value == "json") {
                options.format = DryRunFormat::Json;
            } else {
                return "invalid format '" + value + "' (use text or json)";
            }
            break;
        case OptionKind::Null:
            options.nullSeparated = true;
            break;
        case OptionKind::Progress:
            options.progress = true;
            break;
        case OptionKind::KeepDates:
            options.keepDates = true;
            break;
        case OptionKind::KeepTree:
            options.keepTree = true;
            break;
        case OptionKind::Jobs:
            if (const auto count = ParseRow(value); count && *count <= 1024) {
                options.jobs = *count;
            } else {
                return "invalid number of jobs '" + value + "' (0 to 1024; 0 is one per core)";
            }
            break;
        case OptionKind::Existing:
            if (value == "overwrite") {
                options.existing = ExistingOutputs::Overwrite;
            } else if (value == "keep") {
                options.existing = ExistingOutputs::KeepBoth;
            } else if (value == "skip") {
                options.existing = ExistingOutputs::Skip;
            } else {
                return "invalid choice '" + value +
                       "' for --existing (use overwrite, keep or skip)";
            }
            break;
        case OptionKind::Help:
            options.help = true;
            break;
        case OptionKind::Version:
            options.version = true;
            break;
    }
    return {};
}

}  // namespace

std::string_view BatchUsageText() {
    return kUsage;
}

ParsedBatchOptions ParseBatchOptions(const std::vector<std::string>& arguments) {
    ParsedBatchOptions parsed;
    BatchOptions& options = parsed.options;
    bool optionsEnded = false;
    bool standardInputGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            if (argument.empty()) {
                parsed.error = "empty PATH";
                return parsed;
            }
            if (argument == kStandardInputPath) {
                // Standard input can be read through once only.
                if (standardInputGiven) {
                    parsed.error = "'-' (standard input) is given more than once";
                    return parsed;
                }
                standardInputGiven = true;
            }
            options.paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = std::string_view(argument).substr(0, equals);
        const OptionName* option = FindOption(name);
        if (option == nullptr) {
            parsed.error = "unknown option '" + std::string(name) + "'";
            return parsed;
        }
        std::string value;
        if (equals != std::string::npos) {
            if (!option->takesValue) {
                parsed.error = "option " + std::string(option->name) + " takes no value";
                return parsed;
            }
            value = argument.substr(equals + 1);
        } else if (option->takesValue) {
            if (i + 1 >= arguments.size()) {
                parsed.error = "option " + std::string(option->name) + " needs a value";
                return parsed;
            }
            value = arguments[++i];
        }
        if (std::string error = Apply(options, *option, std::move(value)); !error.empty()) {
            parsed.error = std::move(error);
            return parsed;
        }
    }
    if (options.help || options.version) {
        return parsed;
    }
    if (options.format == DryRunFormat::Json && !options.dryRun && !options.list) {
        parsed.error = "--format json needs --dry-run";
    } else if (options.paths.empty() && !options.list) {
        parsed.error = "no PATH given";
    }
    return parsed;
}

}  // namespace palomix
