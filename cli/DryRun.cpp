#include "cli/DryRun.h"

#include <optional>
#include <string>

#include "engine/CommandLine.h"

namespace palomix {

void PrintDryRun(const BatchPlan& plan, const JobQueue& jobs, IniReader& reader,
                 DeviceAccess& devices, std::ostream& out) {
    for (std::int32_t job = 0; job < jobs.JobCount(); ++job) {
        const CommandValues values{jobs.JobPath(job), plan.outputFolder, plan.appFolder};
        for (int i = 0; i < kCommandTemplateCount; ++i) {
            const std::string commandTemplate = ReadCommandTemplate(reader, plan.command, i);
            if (const std::optional<std::string> line =
                    PrepareCommandLine(commandTemplate, values, devices)) {
                out << *line << '\n';
            }
        }
    }
}

}  // namespace palomix
