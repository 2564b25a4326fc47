#include "cli/BatchOptions.h"

#include <charconv>
#include <optional>
#include <utility>

namespace palomix {

namespace {

constexpr std::string_view kUsage =
    "Usage: palomix-batch [OPTIONS] PATH...\n"
    "       palomix-batch [OPTIONS] --watch DIR...\n"
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
    "                    else ja on a Japanese system or where LC_ALL, LC_MESSAGES and LANG\n"
    "                    name no language, en on any other)\n"
    "  --drive DIR       treat DIR as an attached drive for device output (repeatable, in the\n"
    "                    order given); then the system's drives are not used\n"
    "  --list            print the catalogue and every file's command list on standard\n"
    "                    output, then exit (with --format json: one JSON object per\n"
    "                    settings file)\n"
    "  --dry-run         print each prepared command line on standard output, one per line,\n"
    "                    in run order; start nothing and create no folder\n"
    "  --format FORMAT   with --dry-run or --list: text (default), or json, one JSON\n"
    "                    object per line (--dry-run: per job, with its input, output\n"
    "                    folder, the argument lists of its command lines and its outputs)\n"
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
    "  --log FILE        write the run's log to FILE too (it is always kept in the run log\n"
    "                    folder, $XDG_STATE_HOME/palomix/logs, with the last 20 runs)\n"
    "  --watch DIR       watch DIR instead of converting PATHs (repeatable): each file that\n"
    "                    arrives is converted once it is complete, until Ctrl-C or a\n"
    "                    terminate signal; what was converted is remembered, so a restart\n"
    "                    converts nothing twice\n"
    "  --once            with --watch: convert what is complete in DIR now, then exit\n"
    "  --subfolders      with --watch: the files in the folders below DIR count too\n"
    "  --retry-failed    with --watch: try again the files remembered as failed\n"
    "  --settle SECONDS  with --watch: a file is complete when it has not changed for this\n"
    "                    long (default 2)\n"
    "  --rescan SECONDS  with --watch: look through the folders this often for what the\n"
    "                    system did not tell (default 60)\n"
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
    "missing convert_settings folder, an unknown settings file or command row, or paths\n"
    "on standard input that cannot be read; 3 when a command line could not be started.\n"
    "With --watch, 0 when Ctrl-C or a terminate signal ends it (the conversions it stops are\n"
    "done at the next start); with --once as for PATHs, a DIR that cannot be read counting as\n"
    "a PATH left out.\n";

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

// Stores an option's value; returns the reason when it is not usable.
using Setter = std::string (*)(BatchOptions& options, std::string value);

struct OptionName {
    std::string_view name;
    bool takesValue;
    Setter set;
};

// One of the words an option takes, as the value it stands for.
template <typename Value, std::size_t N>
std::optional<Value> Choice(std::string_view word,
                            const std::pair<std::string_view, Value> (&choices)[N]) {
    for (const auto& [name, value] : choices) {
        if (name == word) {
            return value;
        }
    }
    return std::nullopt;
}

std::string SetCommand(BatchOptions& options, std::string value) {
    const auto row = ParseRow(value);
    if (!row) {
        return "invalid command row '" + value + "' (a number from 0 is expected)";
    }
    options.commandRow = *row;
    return {};
}

std::string SetLanguage(BatchOptions& options, std::string value) {
    const auto language = LanguageFromCode(value);
    if (!language) {
        return "invalid language '" + value + "' (use ja or en)";
    }
    options.language = *language;
    return {};
}

std::string SetFormat(BatchOptions& options, std::string value) {
    constexpr std::pair<std::string_view, OutputFormat> kFormats[] = {{"text", OutputFormat::Text},
                                                                      {"json", OutputFormat::Json}};
    const auto format = Choice(value, kFormats);
    if (!format) {
        return "invalid format '" + value + "' (use text or json)";
    }
    options.format = *format;
    return {};
}

std::string SetJobs(BatchOptions& options, std::string value) {
    const auto count = ParseRow(value);
    if (!count || *count > 1024) {
        return "invalid number of jobs '" + value + "' (0 to 1024; 0 is one per core)";
    }
    options.jobs = *count;
    return {};
}

std::string SetExisting(BatchOptions& options, std::string value) {
    constexpr std::pair<std::string_view, ExistingOutputs> kChoices[] = {
        {"overwrite", ExistingOutputs::Overwrite},
        {"keep", ExistingOutputs::KeepBoth},
        {"skip", ExistingOutputs::Skip}};
    const auto existing = Choice(value, kChoices);
    if (!existing) {
        return "invalid choice '" + value + "' for --existing (use overwrite, keep or skip)";
    }
    options.existing = *existing;
    return {};
}

// An option that only switches something on.
template <bool BatchOptions::*Flag>
std::string SetFlag(BatchOptions& options, std::string /*value*/) {
    options.*Flag = true;
    return {};
}

// An option whose value is kept as written.
template <auto Member>
std::string SetText(BatchOptions& options, std::string value) {
    options.*Member = std::move(value);
    return {};
}

std::string AddDrive(BatchOptions& options, std::string value) {
    options.driveFolders.push_back(std::move(value));
    return {};
}

std::string AddWatch(BatchOptions& options, std::string value) {
    options.watchFolders.push_back(std::move(value));
    return {};
}

// A number of seconds, above 0 and at most a day: "2", "0.5".
template <std::optional<double> BatchOptions::*Member>
std::string SetSeconds(BatchOptions& options, std::string value) {
    double seconds = 0;
    const char* end = value.data() + value.size();
    const auto [ptr, ec] = std::from_chars(value.data(), end, seconds);
    if (ec != std::errc() || ptr != end || !(seconds > 0) || seconds > 86400) {
        return "invalid number of seconds '" + value + "' (above 0, at most 86400)";
    }
    options.*Member = seconds;
    return {};
}

constexpr OptionName kOptions[] = {
    {"--settings", true, SetText<&BatchOptions::settingsFile>},
    {"--command", true, SetCommand},
    {"--output", true, SetText<&BatchOptions::outputFolder>},
    {"--language", true, SetLanguage},
    {"--drive", true, AddDrive},
    {"--list", false, SetFlag<&BatchOptions::list>},
    {"--dry-run", false, SetFlag<&BatchOptions::dryRun>},
    {"--format", true, SetFormat},
    {"--null", false, SetFlag<&BatchOptions::nullSeparated>},
    {"--existing", true, SetExisting},
    {"--jobs", true, SetJobs},
    {"--progress", false, SetFlag<&BatchOptions::progress>},
    {"--keep-dates", false, SetFlag<&BatchOptions::keepDates>},
    {"--keep-tree", false, SetFlag<&BatchOptions::keepTree>},
    {"--log", true, SetText<&BatchOptions::logFile>},
    {"--watch", true, AddWatch},
    {"--once", false, SetFlag<&BatchOptions::once>},
    {"--subfolders", false, SetFlag<&BatchOptions::subfolders>},
    {"--retry-failed", false, SetFlag<&BatchOptions::retryFailed>},
    {"--settle", true, SetSeconds<&BatchOptions::settleSeconds>},
    {"--rescan", true, SetSeconds<&BatchOptions::rescanSeconds>},
    {"--help", false, SetFlag<&BatchOptions::help>},
    {"--version", false, SetFlag<&BatchOptions::version>},
};

const OptionName* FindOption(std::string_view name) {
    for (const OptionName& option : kOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

// Reads the option at arguments[i] (and its value, moving i past it); the reason when it is
// not usable.
std::string ReadOption(const std::vector<std::string>& arguments, std::size_t& i,
                       BatchOptions& options) {
    const std::string& argument = arguments[i];
    const std::size_t equals = argument.find('=');
    const std::string_view name = std::string_view(argument).substr(0, equals);
    const OptionName* option = FindOption(name);
    if (option == nullptr) {
        return "unknown option '" + std::string(name) + "'";
    }
    std::string value;
    if (equals != std::string::npos) {
        if (!option->takesValue) {
            return "option " + std::string(option->name) + " takes no value";
        }
        value = argument.substr(equals + 1);
    } else if (option->takesValue) {
        if (i + 1 >= arguments.size()) {
            return "option " + std::string(option->name) + " needs a value";
        }
        value = arguments[++i];
    }
    if (option->takesValue && value.empty()) {
        return "option " + std::string(option->name) + " needs a value";
    }
    return option->set(options, std::move(value));
}

// Takes a PATH; the reason when it is not usable.
std::string ReadPath(const std::string& argument, bool& standardInputGiven, BatchOptions& options) {
    if (argument.empty()) {
        return "empty PATH";
    }
    if (argument == kStandardInputPath) {
        // Standard input can be read through once only.
        if (standardInputGiven) {
            return "'-' (standard input) is given more than once";
        }
        standardInputGiven = true;
    }
    options.paths.push_back(argument);
    return {};
}

// What --watch asks for together with the other options.
std::string CheckWatch(const BatchOptions& options) {
    if (options.watchFolders.empty()) {
        const bool watchOnly = options.once || options.subfolders || options.retryFailed ||
                               options.settleSeconds || options.rescanSeconds;
        return watchOnly ? "--once, --subfolders, --retry-failed, --settle and --rescan need "
                           "--watch"
                         : std::string();
    }
    if (!options.paths.empty()) {
        return "--watch takes no PATH";
    }
    if (options.list || options.dryRun || options.progress) {
        return "--watch goes with neither --list, --dry-run nor --progress";
    }
    return {};
}

// What the options ask for together, once each is usable on its own.
std::string CheckTogether(const BatchOptions& options) {
    if (options.help || options.version) {
        return {};
    }
    if (options.format == OutputFormat::Json && !options.dryRun && !options.list) {
        return "--format json needs --dry-run or --list";
    }
    if (std::string watch = CheckWatch(options); !watch.empty()) {
        return watch;
    }
    if (options.paths.empty() && !options.list && options.watchFolders.empty()) {
        return "no PATH given";
    }
    return {};
}

}  // namespace

std::string_view BatchUsageText() {
    return kUsage;
}

ParsedBatchOptions ParseBatchOptions(const std::vector<std::string>& arguments) {
    ParsedBatchOptions parsed;
    bool optionsEnded = false;
    bool standardInputGiven = false;
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            parsed.error = ReadPath(argument, standardInputGiven, parsed.options);
        } else if (argument == "--") {
            optionsEnded = true;
        } else {
            parsed.error = ReadOption(arguments, i, parsed.options);
        }
    }
    if (parsed.error.empty()) {
        parsed.error = CheckTogether(parsed.options);
    }
    return parsed;
}

}  // namespace palomix
