#include "cli/BatchCommand.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "cli/BatchEngine.h"
#include "cli/BatchOptions.h"
#include "cli/BatchPlan.h"
#include "cli/DryRunVerb.h"
#include "cli/ListVerb.h"
#include "cli/PathList.h"
#include "cli/PrintableText.h"
#include "cli/RunVerb.h"
#include "cli/WatchVerb.h"
#include "palomix/BuildInfo.h"
#include "platform/Drives.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/SystemLocale.h"
#include "settings/IniFile.h"
#include "settings/ProgramPlaces.h"
#include "settings/StateFile.h"

namespace palomix {

namespace {

// Under the version, as GNU programs print it: the licence, and that there is no warranty.
std::string LicenceNotice() {
    return "Licence: " + std::string(kLicence) +
           " <https://www.gnu.org/licenses/gpl-3.0.html>\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

int Fail(std::ostream& err, std::string_view reason) {
    err << PrintableLine(std::string(kProgramName) + ": " + std::string(reason));
    return kBatchExitUsage;
}

bool IsFile(const std::string& path) {
    return PathExists(path) && !IsFolder(path);
}

bool HasRoot(const std::string& path) {
    const std::filesystem::path p(std::u8string(path.begin(), path.end()));
    return p.has_root_name() || p.has_root_directory();
}

// --settings: the path as given (relative to the current folder), else relative to
// convert_settings. nullopt when neither names a file.
std::optional<std::string> ResolveSettingsFile(const std::string& given,
                                               const std::string& settingsFolder) {
    if (std::string asGiven = IncomingPath(given); IsFile(asGiven)) {
        return asGiven;
    }
    if (!HasRoot(given)) {
        if (std::string inFolder = IncomingPath(JoinPath(settingsFolder, given));
            IsFile(inFolder)) {
            return inFolder;
        }
    }
    return std::nullopt;
}

// The settings file and command the options name, or the reason there is none.
std::optional<ChosenCommand> ChooseCommand(Engine& settings, const BatchOptions& options,
                                           const ProgramPlaces& places, Language language,
                                           std::string& reason) {
    std::string settingsFile;
    if (options.settingsFile) {
        std::optional<std::string> resolved =
            ResolveSettingsFile(*options.settingsFile, settings.SettingsFolder());
        if (!resolved && !places.userSettingsFolder.empty()) {
            resolved = ResolveSettingsFile(*options.settingsFile, places.userSettingsFolder);
        }
        if (!resolved) {
            reason = "unknown settings file '" + *options.settingsFile + "'";
            return std::nullopt;
        }
        settingsFile = std::move(*resolved);
    } else if (const auto first = settings.SelectedSettingsPath()) {
        settingsFile = *first;
    } else {
        reason = "no settings file in " + settings.SettingsFolder();
        return std::nullopt;
    }
    const std::vector<CommandRow> rows = settings.CommandsOf(settingsFile, language);
    if (static_cast<std::size_t>(options.commandRow) >= rows.size()) {
        reason = "'" + settingsFile + "' has no command row " + std::to_string(options.commandRow) +
                 " (it has " + std::to_string(rows.size()) + ")";
        return std::nullopt;
    }
    return ChosenCommand{settingsFile,
                         rows[static_cast<std::size_t>(options.commandRow)].itemNumber};
}

BatchPlan MakePlan(const BatchOptions& options, ChosenCommand command,
                   const std::string& programFolder, Language language, bool errIsTerminal) {
    BatchPlan plan;
    plan.command = std::move(command);
    plan.outputFolder = IncomingPath(options.outputFolder.value_or("."));
    plan.appFolder = programFolder;
    for (const std::string& drive : options.driveFolders) {
        plan.driveFolders.push_back(IncomingPath(drive));
    }
    plan.language = language;
    plan.existing = options.existing;
    plan.jobs = options.jobs;
    plan.progressLines = options.progress;
    plan.keepDates = options.keepDates;
    plan.keepTree = options.keepTree;
    plan.logFile = options.logFile ? IncomingPath(*options.logFile) : std::string();
    plan.liveProgress = errIsTerminal && !options.progress;
    return plan;
}

// The dry run: the plans of the paths given, printed.
int DryRun(const BatchPlan& plan, const BatchOptions& options,
           const std::vector<std::string>& given, std::ostream& out, std::ostream& err,
           bool outIsTerminal) {
    const std::unique_ptr<Engine> engine = MakeBatchEngine(
        plan, [](std::function<void()>) {}, [](PostToHost) { return RefusingLauncher(); });
    int skipped = 0;
    const int status =
        PrintDryRun(*engine, given, {options.format, outIsTerminal}, out, err, skipped);
    out.flush();
    return skipped > 0 && status == kBatchExitConverted ? kBatchExitCommandFailed : status;
}

}  // namespace

int RunPalomixBatch(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                    std::ostream& err, Terminals terminals) {
    const ParsedBatchOptions parsed = ParseBatchOptions(arguments);
    if (!parsed.Ok()) {
        return Fail(err, parsed.error + " (see --help)");
    }
    const BatchOptions& options = parsed.options;
    if (options.help || options.version) {
        if (options.help) {
            out << BatchUsageText();
        } else {
            out << kProgramName << ' ' << kVersion << '\n' << LicenceNotice();
        }
        return kBatchExitOk;
    }

    const std::string programFolder = ExecutableFolder();
    // An installed copy keeps the user's state file and own settings files in the user's folder.
    const ProgramPlaces places = FindProgramPlaces(programFolder);
    // The door for listing and choosing; it starts nothing.
    EngineSetup setup;
    setup.programFolder = programFolder;
    setup.makeLauncher = [](PostToHost) { return RefusingLauncher(); };
    setup.userSettingsFolder = places.userSettingsFolder;
    Engine settings(std::move(setup), [](std::function<void()>) {});
    IniReader reader;
    const Language language = options.language.value_or(
        LanguageAtStart(ReadApplicationState(reader, places.stateFile), SystemLocaleName())
            .value_or(Language::Japanese));
    if (const CatalogueLoadResult loaded = settings.LoadCatalogue(language); loaded.folderMissing) {
        return Fail(err, loaded.message);
    }
    if (options.list) {
        PrintCatalogue(settings, language, {options.format, terminals.out}, out);
        out.flush();
        return kBatchExitOk;
    }
    std::string reason;
    std::optional<ChosenCommand> command =
        ChooseCommand(settings, options, places, language, reason);
    if (!command) {
        return Fail(err, reason);
    }
    const BatchPlan plan =
        MakePlan(options, std::move(*command), programFolder, language, terminals.err);
    if (!options.watchFolders.empty()) {
        return RunWatches(plan, WatchRequestOf(options), err);
    }

    // The paths go through the intake of a drop, in the order given, those of standard input
    // where "-" stands. A list that cannot be read converts nothing: it is not an empty one.
    const ListedPaths given = WithListedPaths(
        options.paths, in,
        options.nullSeparated ? PathListSeparator::Null : PathListSeparator::Newline);
    if (!given.Ok()) {
        return Fail(err, "the paths cannot be read from standard input: " + given.error);
    }
    if (given.paths.empty()) {
        err << PrintableLine(std::string(kProgramName) +
                             ": warning: standard input listed no path");
    }
    return options.dryRun ? DryRun(plan, options, given.paths, out, err, terminals.out)
                          : RunBatch(plan, given.paths, out, err);
}

}  // namespace palomix
