#include "frontend/RunLog.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "frontend/RunLogText.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/UserFolders.h"

namespace palomix {

namespace {

namespace fs = std::filesystem;

fs::path PathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The run logs of the folder, oldest first (their names start with the time, UTC).
std::vector<std::string> RunLogsIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator entries(PathFromUtf8(folder), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string name = Utf8FromPath(entries->path().filename());
        if (name.starts_with("run-") && name.ends_with(".log")) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The title of the command in either language; empty when its file names none.
std::string CommandTitle(Engine& engine, const ChosenCommand& command) {
    for (const Language language : {Language::English, Language::Japanese}) {
        for (const CommandRow& row : engine.CommandsOf(command.settingsFile, language)) {
            if (row.itemNumber == command.itemNumber) {
                return row.title;
            }
        }
    }
    return {};
}

}  // namespace

std::optional<std::string> RunLogFolder() {
    if (const std::optional<std::string> state = ProgramStateFolder()) {
        return JoinPath(*state, "logs");
    }
    return std::nullopt;
}

std::optional<std::string> NewestRunLog(const std::string& folder) {
    const std::vector<std::string> logs = RunLogsIn(folder);
    if (logs.empty()) {
        return std::nullopt;
    }
    return JoinPath(folder, logs.back());
}

RunLog::RunLog(Engine& engine, RunLogSetup setup) : engine_(engine), setup_(std::move(setup)) {}

RunLog::~RunLog() {
    if (logging_) {
        Write("\nThe log ends here: the program ended during the run.\n");
    }
}

std::optional<RunLog::Target> RunLog::NewFileInFolder() {
    if (const std::error_code error = MakeFolderTree(setup_.folder)) {
        failures_.push_back(setup_.folder + ": " + error.message());
        return std::nullopt;
    }
    const std::string base = JoinPath(setup_.folder, "run-" + TimeNowText(true));
    for (int attempt = 1; attempt <= 999; ++attempt) {
        // Numbered within the second, so that the names sort as the runs began.
        char number[8];
        std::snprintf(number, sizeof number, "-%03d", attempt);
        const std::string path = base + number + ".log";
        if (const std::error_code error = CreateNewFile(path)) {
            if (error == std::errc::file_exists) {
                continue;  // another run began in the same second
            }
            failures_.push_back(path + ": " + error.message());
            return std::nullopt;
        }
        return Target{path, std::ofstream(PathFromUtf8(path), std::ios::binary | std::ios::trunc)};
    }
    failures_.push_back(base + "-999.log: every name of that second is taken");
    return std::nullopt;
}

void RunLog::RemoveOldLogs() const {
    const std::vector<std::string> logs = RunLogsIn(setup_.folder);
    for (std::size_t index = 0; index + kRunLogsKept < logs.size(); ++index) {
        RemoveFile(JoinPath(setup_.folder, logs[index]));
    }
}

void RunLog::Begin() {
    if (logging_) {
        return;
    }
    logging_ = true;
    jobs_ = 0;
    numbers_.clear();
    targets_.clear();
    if (!setup_.folder.empty()) {
        if (std::optional<Target> target = NewFileInFolder()) {
            lastPath_ = target->path;
            targets_.push_back(std::move(*target));
            RemoveOldLogs();
        }
    }
    if (!setup_.copyTo.empty()) {
        targets_.push_back(
            Target{setup_.copyTo,
                   std::ofstream(PathFromUtf8(setup_.copyTo), std::ios::binary | std::ios::trunc)});
    }
    RunLogHeading heading;
    heading.started = TimeNowText(false);
    heading.program = setup_.program;
    heading.programFolder = engine_.ProgramFolder();
    heading.converter = engine_.Converter();
    heading.command = engine_.CurrentCommand();
    if (heading.command) {
        heading.commandTitle = CommandTitle(engine_, *heading.command);
    }
    heading.outputFolder = engine_.OutputFolder();
    heading.simultaneousJobs = engine_.SimultaneousJobs();
    heading.existing = engine_.ExistingOutputsChoice();
    heading.keepDates = engine_.KeepDates();
    heading.keepTree = engine_.KeepTree();
    converterKnown_ = heading.converter.state != ConverterFacts::State::Reading;
    Write(HeadingText(heading));
}

void RunLog::Write(const std::string& text) {
    for (Target& target : targets_) {
        if (!target.file) {
            continue;  // noted once, when it failed
        }
        target.file << text;
        target.file.flush();
        if (!target.file) {
            failures_.push_back(target.path + ": cannot be written");
        }
    }
}

void RunLog::JobStarted(const JobStart& start) {
    Begin();
    const int number = ++jobs_;
    numbers_[start.id] = number;
    Write(JobStartText(number, start));
}

void RunLog::JobEnded(const JobResult& result) {
    Begin();
    int number = 0;
    if (const auto found = numbers_.find(result.id); found != numbers_.end()) {
        number = found->second;
        numbers_.erase(found);
    } else {
        number = ++jobs_;  // ended before it began converting: skipped, or not started
    }
    Write(JobEndText(number, result));
}

void RunLog::ConverterChecked() {
    if (!logging_ || converterKnown_) {
        return;
    }
    const ConverterFacts facts = engine_.Converter();
    if (facts.state != ConverterFacts::State::Reading) {
        converterKnown_ = true;
        Write("Converter, as it answered during the run: " + ConverterText(facts) + "\n");
    }
}

void RunLog::RunEnded(const RunEnd& end) {
    Begin();
    Write(RunEndText(end));
    targets_.clear();
    logging_ = false;
}

}  // namespace palomix
