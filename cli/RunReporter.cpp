#include "cli/RunReporter.h"

#include <cmath>
#include <string_view>

namespace palomix {

RunReporter::RunReporter(const Engine& engine, std::ostream& err)
    : RunReporter(engine, err, ProgressDisplay{}) {}

RunReporter::RunReporter(const Engine& engine, std::ostream& err, ProgressDisplay display)
    : engine_(engine), err_(err), total_(engine.JobCount()), display_(display) {}

void RunReporter::JobStarted(const JobStart& start) {
    jobStarts_[start.id] =
        Started{Clock::now(), ++started_, std::string(FileNameOf(start.path, engine_.Style()))};
}

namespace {

// "45", "45.2": a percentage with at most one decimal.
std::string Percent(double value) {
    std::string shown = OneDecimal(value);
    if (shown.ends_with(".0")) {
        shown.resize(shown.size() - 2);
    }
    return shown;
}

// A number of the progress as it may be shown: none when it is not finite.
std::optional<double> Shown(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? value : std::nullopt;
}

}  // namespace

void RunReporter::ShowProgress() {
    std::string live;
    for (const auto& [id, started] : jobStarts_) {
        std::optional<JobProgress> progress = engine_.ProgressOf(id);
        if (!progress) {
            continue;
        }
        progress->percent = Shown(progress->percent);
        progress->speed = Shown(progress->speed);
        if (display_.lines != nullptr) {
            *display_.lines << "progress " << started.number << ' ' << total_ << ' '
                            << (progress->percent ? Percent(*progress->percent) : "-") << ' '
                            << (progress->secondsLeft ? std::to_string(*progress->secondsLeft)
                                                      : "-")
                            << '\n';
        }
        if (display_.live && live.empty()) {
            live.append("[").append(std::to_string(started.number));
            live.append("/").append(std::to_string(total_)).append("] ");
            live.append(started.name).append(":");
            if (progress->lines > 1) {
                live.append(" ").append(std::to_string(progress->line));
                live.append("/").append(std::to_string(progress->lines));
            }
            if (progress->percent) {
                live.append(" ").append(Percent(*progress->percent)).append("%");
            }
            if (progress->speed) {
                live.append(" ").append(Percent(*progress->speed)).append("x");
            }
            if (progress->secondsLeft) {
                live.append(", ").append(ElapsedTimeText(*progress->secondsLeft)).append(" left");
            }
            if (!progress->percent) {
                // Without a length there is no percentage: the time it has taken so far.
                live.append(" ").append(ElapsedTimeText(
                    std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started.at)
                        .count()));
            }
        }
    }
    if (display_.lines != nullptr) {
        display_.lines->flush();
    }
    if (display_.live && !live.empty()) {
        live = PrintableText(live);
        const std::size_t width = live.size();
        if (width < liveWidth_) {
            live.append(liveWidth_ - width, ' ');
        }
        err_ << '\r' << live;
        err_.flush();
        liveWidth_ = width;
    }
}

void RunReporter::ClearLive() {
    if (liveWidth_ > 0) {
        err_ << '\r' << std::string(liveWidth_, ' ') << '\r';
        liveWidth_ = 0;
    }
}

void RunReporter::JobEnded(const JobResult& result) {
    const auto started = jobStarts_.find(result.id);
    const auto seconds =
        started == jobStarts_.end()
            ? 0
            : std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started->second.at)
                  .count();
    if (started != jobStarts_.end()) {
        jobStarts_.erase(started);
    }
    // A job that could not start stays in the list and is counted as not run at the end.
    launchFailed_ = launchFailed_ || result.outcome == JobOutcome::NotStarted;
    outputsNotChecked_ = outputsNotChecked_ || result.outputsNotChecked;
    ++finished_;
    Print(JobReportText(result, finished_, total_, seconds, engine_.Style()));
}

void RunReporter::RunEnded(const RunEnd& end) {
    ended_ = true;
    if (end.reason == RunEndReason::NothingSelected) {
        nothingSelected_ = true;
        Print(PrintableLine(std::string(kProgramName) + ": no conversion command is selected"));
    } else if (end.reason == RunEndReason::OutputFolderUnusable) {
        // Once, as the window says it: every job would fail the same way.
        Print(PrintableLine(std::string(kProgramName) + ": the output folder '" + end.folder +
                            "' cannot be made: " + end.error.message()));
    }
}

void RunReporter::Interrupt(Engine& engine) {
    interrupted_ = true;
    Print(PrintableLine(std::string(kProgramName) +
                        ": stopping the conversion (Ctrl-C again ends the program at once)"));
    engine.StopAll();
}

int RunReporter::Finish() {
    // The core's tally, with every job still in the list (one that could not start among
    // them) as not run.
    RunTally tally = engine_.Tally();
    tally.notRun = engine_.JobCount();
    if (outputsNotChecked_) {
        Print(PrintableLine(std::string(kProgramName) +
                            ": note: " + std::string(kOutputsNotCheckedText)));
    }
    Print(RunSummaryText(tally));
    if (launchFailed_) {
        return kBatchExitNotStarted;
    }
    if (nothingSelected_) {
        return kBatchExitNothingSelected;
    }
    if (interrupted_ || tally.failed > 0 || tally.stopped > 0 || tally.notRun > 0) {
        return kBatchExitCommandFailed;
    }
    return kBatchExitConverted;
}

void RunReporter::Print(const std::string& text) {
    ClearLive();
    err_ << text;
    err_.flush();
}

}  // namespace palomix
