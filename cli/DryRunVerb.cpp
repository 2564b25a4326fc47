#include "cli/DryRunVerb.h"

#include <string>

#include "cli/BatchEngine.h"
#include "cli/BatchExit.h"
#include "cli/JobReport.h"
#include "cli/JsonText.h"

namespace palomix {

namespace {

// The job as one line of JSON.
std::string JobJson(const JobView& job, const JobPlan& plan) {
    std::string json = "{\"input\":" + JsonString(job.path) +
                       ",\"output_folder\":" + JsonString(plan.outputFolder) + ",\"commands\":[";
    std::string notRun;
    bool first = true;
    for (const PlannedLine& line : plan.lines) {
        if (line.Runs()) {
            std::vector<std::string> arguments{line.program};
            arguments.insert(arguments.end(), line.arguments.begin(), line.arguments.end());
            json += first ? "" : ",";
            json += JsonStringArray(arguments);
            first = false;
        } else {
            notRun += notRun.empty() ? "" : ",";
            notRun += "{\"command\":" + std::to_string(line.templateNumber) +
                      ",\"reason\":" + JsonString(NotRunText(*line.notRun)) + "}";
        }
    }
    json += "]";
    if (!notRun.empty()) {
        json += ",\"not_run\":[" + notRun + "]";
    }
    if (plan.problem != JobProblem::None) {
        json += ",\"problem\":" + JsonString(JobProblemText(plan.problem, plan.problemSubject));
    }
    return json + "}";
}

}  // namespace

int PrintDryRun(Engine& engine, std::span<const std::string> paths, DryRunFormat format,
                std::ostream& out, std::ostream& err, int& skipped) {
    int status = kBatchExitConverted;
    const IntakeResult intake =
        engine.PlanPaths(paths, [&](const JobView& job, const JobPlan& plan) {
            const std::string name = PrintableText(job.fileName);
            if (format == DryRunFormat::Json) {
                out << JobJson(job, plan) << '\n';
            }
            for (const PlannedLine& line : plan.lines) {
                if (!line.Runs()) {
                    err << kProgramName << ": note: " << name << ": command " << line.templateNumber
                        << " would not run: " << NotRunText(*line.notRun) << '\n';
                    status = kBatchExitCommandFailed;
                } else if (format == DryRunFormat::Text) {
                    out << line.commandLine << '\n';
                }
            }
            if (plan.problem == JobProblem::NotConvertible ||
                plan.problem == JobProblem::OutputExists) {
                // Left out on purpose, as the run would: no error.
                err << kProgramName << ": note: " << name << ": would be skipped ("
                    << JobProblemText(plan.problem, plan.problemSubject) << ")\n";
            } else if (plan.problem != JobProblem::None) {
                err << kProgramName << ": note: " << name << ": "
                    << JobProblemText(plan.problem, plan.problemSubject) << '\n';
                status = kBatchExitCommandFailed;
            }
        });
    SaySkipped(intake, err);
    skipped = static_cast<int>(intake.skipped.size());
    return status;
}

}  // namespace palomix
