#include "cli/DryRunVerb.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cli/BatchEngine.h"
#include "cli/BatchExit.h"
#include "cli/JobReport.h"
#include "cli/JsonText.h"
#include "cli/PrintableText.h"

namespace palomix {

namespace {

// True when the run would start the line. A job with a problem of its own (one skipped because
// its output exists, say) starts none: its lines are not listed, so that a script running the
// plan does not write over what the run would have kept.
bool Starts(const JobPlan& plan, const PlannedLine& line) {
    return line.Runs() && plan.problem == JobProblem::None;
}

// The files the lines that start write, each once, in order.
std::vector<std::string> OutputsOf(const JobPlan& plan) {
    std::vector<std::string> outputs;
    for (const PlannedLine& line : plan.lines) {
        for (const LineOutput& output : line.outputs) {
            if (Starts(plan, line) &&
                std::find(outputs.begin(), outputs.end(), output.path) == outputs.end()) {
                outputs.push_back(output.path);
            }
        }
    }
    return outputs;
}

// The job as one line of JSON.
std::string JobJson(const JobView& job, const JobPlan& plan) {
    std::string json = "{\"version\":" + std::to_string(kJsonPlanVersion) +
                       ",\"input\":" + JsonString(job.path) +
                       ",\"output_folder\":" + JsonString(plan.outputFolder) + ",\"commands\":[";
    std::string notRun;
    bool first = true;
    for (const PlannedLine& line : plan.lines) {
        if (Starts(plan, line)) {
            std::vector<std::string> arguments{line.program};
            arguments.insert(arguments.end(), line.arguments.begin(), line.arguments.end());
            json += first ? "" : ",";
            json += JsonStringArray(arguments);
            first = false;
        } else if (!line.Runs()) {
            notRun += notRun.empty() ? "" : ",";
            notRun += "{\"command\":" + std::to_string(line.templateNumber) +
                      ",\"reason\":" + JsonString(NotRunText(*line.notRun)) + "}";
        }
    }
    json += "],\"outputs\":" + JsonStringArray(OutputsOf(plan));
    if (!notRun.empty()) {
        json += ",\"not_run\":[" + notRun + "]";
    }
    if (plan.problem != JobProblem::None) {
        json += ",\"problem\":" + JsonString(JobProblemText(plan.problem, plan.problemSubject));
    }
    return json + "}";
}

}  // namespace

int PrintDryRun(Engine& engine, std::span<const std::string> paths, DryRunOutput output,
                std::ostream& out, std::ostream& err, int& skipped) {
    int status = kBatchExitConverted;
    const IntakeResult intake =
        engine.PlanPaths(paths, [&](const JobView& job, const JobPlan& plan) {
            const auto note = [&] {
                return std::string(kProgramName) + ": note: " + std::string(job.fileName) + ": ";
            };
            if (output.format == OutputFormat::Json) {
                out << JobJson(job, plan) << '\n';
            }
            for (const PlannedLine& line : plan.lines) {
                if (!line.Runs()) {
                    err << PrintableLine(note() + "command " + std::to_string(line.templateNumber) +
                                         " would not run: " + NotRunText(*line.notRun));
                    status = kBatchExitCommandFailed;
                } else if (output.format == OutputFormat::Text && Starts(plan, line)) {
                    // Byte for byte to a file or a pipe; cleaned for a person at a terminal.
                    if (output.terminal) {
                        out << PrintableLine(line.commandLine);
                    } else {
                        out << line.commandLine << '\n';
                    }
                }
            }
            if (plan.problem == JobProblem::None) {
                return;
            }
            const std::string problem = JobProblemText(plan.problem, plan.problemSubject);
            if (plan.problem == JobProblem::NotConvertible ||
                plan.problem == JobProblem::OutputExists) {
                // Left out on purpose, as the run would: no error.
                err << PrintableLine(note() + "would be skipped (" + problem + ")");
            } else {
                err << PrintableLine(note() + problem);
                status = kBatchExitCommandFailed;
            }
        });
    SaySkipped(intake, err);
    skipped = static_cast<int>(intake.skipped.size());
    return status;
}

}  // namespace palomix
