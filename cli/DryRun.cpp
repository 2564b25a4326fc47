#include "cli/DryRun.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/CommandLine.h"

namespace palomix {

void PrintDryRun(const BatchPlan& plan, const JobQueue& jobs, IniReader& reader,
                 DeviceAccess& devices, std::ostream& out) {
    // Nothing runs, so the settings file cannot change between jobs: its command lines are
    // read once, then prepared for every job.
    std::vector<std::string> templates;
    for (int i = 0; i < kCommandTemplateCount; ++i) {
        std::string commandTemplate = ReadCommandTemplate(reader, plan.command, i);
        if (!commandTemplate.empty()) {
            templates.push_back(std::move(commandTemplate));
        }
    }
    for (std::int32_t job = 0; job < jobs.JobCount(); ++job) {
        const CommandValues values{jobs.JobPath(job), plan.outputFolder, plan.appFolder};
        for (const std::string& commandTemplate : templates) {
            if (const std::optional<std::string> line =
                    PrepareCommandLine(commandTemplate, values, devices)) {
                out << *line << '\n';
            }
        }
    }
}

}  // namespace palomix
