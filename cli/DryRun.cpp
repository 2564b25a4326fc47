#include "cli/DryRun.h"

#include "cli/JobReport.h"
#include "cli/RunReporter.h"

namespace palomix {

int PrintDryRun(Engine& engine, std::ostream& out, std::ostream& err) {
    int status = kBatchExitConverted;
    const std::vector<JobPlan> plans = engine.PlanAll();
    for (std::int32_t index = 0; index < static_cast<std::int32_t>(plans.size()); ++index) {
        const JobPlan& plan = plans[static_cast<std::size_t>(index)];
        const std::string name = PrintableText(engine.Jobs().FileName(index));
        for (const PlannedLine& line : plan.lines) {
            if (line.Runs()) {
                out << line.commandLine << '\n';
            } else {
                err << "palomix-batch: note: " << name << ": command " << line.templateNumber
                    << " would not run: " << NotRunText(*line.notRun) << '\n';
                status = kBatchExitCommandFailed;
            }
        }
        if (plan.problem == JobProblem::NotConvertible ||
            plan.problem == JobProblem::OutputExists) {
            // Left out on purpose, as the run would: no error.
            err << "palomix-batch: note: " << name << ": would be skipped ("
                << JobProblemText(plan.problem, plan.problemSubject) << ")\n";
        } else if (plan.problem != JobProblem::None) {
            err << "palomix-batch: note: " << name << ": "
                << JobProblemText(plan.problem, plan.problemSubject) << '\n';
            status = kBatchExitCommandFailed;
        }
    }
    return status;
}

}  // namespace palomix
