#include "cli/JobReport.h"

#include "engine/RunTimerText.h"

namespace palomix {

namespace {

// Keeps a converter's output from moving the cursor or changing the terminal: control
// characters other than a tab become '?'.
std::string Printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            c = '?';
        }
    }
    return shown;
}

}  // namespace

std::string JobReportText(const JobResult& result, int index, int total, std::int64_t seconds,
                          const std::string& commandLine, PathStyle style) {
    std::string text = "[" + std::to_string(index) + "/" + std::to_string(total) + "] " +
                       Printable(std::string(FileNameOf(result.path, style))) + ": ";
    switch (result.outcome) {
        case JobOutcome::Done:
            text += "done (" + ElapsedTimeText(seconds) + ")\n";
            break;
        case JobOutcome::Failed:
            text += "failed (" +
                    (result.failures.empty() ? std::string("?") : result.failures[0].Outcome()) +
                    ")\n";
            for (const FailedCommand& failure : result.failures) {
                text += "    command (" + failure.Outcome() +
                        "): " + Printable(failure.commandLine) + "\n";
                for (const std::string& line : failure.logLines) {
                    text += "    | " + Printable(line) + "\n";
                }
            }
            break;
        case JobOutcome::Stopped:
            text += "stopped\n";
            break;
        case JobOutcome::NotStarted:
            text += "could not start: " + Printable(result.launchFailure) + "\n";
            if (!commandLine.empty()) {
                text += "    command: " + Printable(commandLine) + "\n";
            }
            break;
    }
    return text;
}

std::string RunSummaryText(const RunTally& tally) {
    std::string text = std::to_string(tally.done) + " done";
    const auto add = [&text](int count, const char* what) {
        if (count > 0) {
            text += ", " + std::to_string(count) + " " + what;
        }
    };
    add(tally.failed, "failed");
    add(tally.stopped, "stopped");
    add(tally.notRun, "not run");
    return text + "\n";
}

}  // namespace palomix
