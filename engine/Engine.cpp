#include "engine/Engine.h"

#include <algorithm>
#include <iterator>
#include <thread>
#include <utility>

#include "engine/BatchRun.h"
#include "engine/ConverterFeatures.h"
#include "engine/DropIntake.h"
#include "engine/JobPlanner.h"
#include "engine/JobQueue.h"
#include "engine/MediaProbe.h"
#include "engine/RunPolicy.h"
#include "engine/watch/WatchBoard.h"
#include "platform/FileSystem.h"
#include "platform/LauncherCore.h"
#include "platform/UserFolders.h"
#include "settings/IniFile.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {

namespace {

// The program finder of the system's launcher, made once for the engine.
std::function<std::string(const std::string&)> SystemProgramFinder() {
    std::shared_ptr<NativeLauncher> native = MakeNativeLauncher();
    return [native](const std::string& name) { return native->FindProgram(name); };
}

}  // namespace

struct Engine::Impl {
    Impl(EngineSetup setup, PostToHost post);
    // The way media is probed: the helper or the probe program asked for, else the helper of
    // the program folder, else its cores/ffprobe, else none.
    void MakeProber(std::string helper, std::string probe, std::chrono::milliseconds timeLimit,
                    const PostToHost& post);

    // A path by the rule for incoming paths; an engine of another system's paths (a test's)
    // takes them as they are.
    std::string Incoming(const std::string& path) const {
        return style == NativePathStyle() ? IncomingPath(path) : path;
    }
    PlanChoices Choices() const { return PlanChoices{outputFolder, existing, keepTree}; }
    // The choices of job `index`: its own output folder when it was queued with one.
    PlanChoices ChoicesOf(std::int32_t index) const {
        PlanChoices choices = Choices();
        if (const std::string& own = jobs.OutputFolder(index); !own.empty()) {
            choices.outputFolder = own;
        }
        return choices;
    }
    std::optional<ChosenCommand> CommandFor(const ChosenCommand* own) const {
        if (own != nullptr) {
            return *own;
        }
        return fixedCommand ? fixedCommand : catalogue.SelectedCommand();
    }
    JobPlan PlanIndex(std::int32_t index, OutputBook& book) {
        const std::optional<ChosenCommand> command = CommandFor(jobs.Command(index));
        if (!command || index < 0 || index >= jobs.JobCount()) {
            return {};
        }
        PlannedJob planned = planner.PlanJob(jobs.JobPath(index), jobs.Subfolder(index), *command,
                                             ChoicesOf(index), book);
        return std::move(planned.plan);
    }

    std::string programFolder;
    PathStyle style;
    std::shared_ptr<IniReader> reader;
    std::unique_ptr<DeviceAccess> devices;
    std::unique_ptr<ProcessLauncher> launcher;
    std::unique_ptr<ConverterFeatureReader> converter;  // cores/ffmpeg
    std::unique_ptr<MediaProber> prober;                // none without a probe program
    bool noteUncheckedOutputs = false;
    EngineObservers observers;
    JobQueue jobs;
    DropIntake intake;
    SettingsCatalogue catalogue;
    RunPolicy policy;
    JobPlanner planner;
    std::optional<ChosenCommand> fixedCommand;
    std::string outputFolder;
    ExistingOutputs existing = ExistingOutputs::Overwrite;
    bool keepTree = false;
    bool keepDates = false;
    PostToHost hostPost;
    std::string watchRecordFolder;
    std::function<std::unique_ptr<FolderEvents>(PostToHost, FolderEvents::Deliver)>
        makeFolderEvents;
    WatchTiming watchTiming;
    // The run's facts go to the watches first (how their jobs ended), then to the observers.
    WatchedRunFacts runFacts{observers, [this] { return watches.get(); }};
    std::unique_ptr<BatchRun> run;        // after everything it uses
    std::unique_ptr<WatchBoard> watches;  // made at the first watch; goes first

    WatchBoard& Watches();
};

Engine::Impl::Impl(EngineSetup setup, PostToHost post)
    : programFolder(std::move(setup.programFolder)),
      style(setup.style),
      reader(setup.reader ? std::move(setup.reader) : std::make_shared<IniReader>()),
      devices(setup.devices ? std::move(setup.devices) : SystemDeviceAccess()),
      launcher(setup.makeLauncher ? setup.makeLauncher(post) : SystemProcessLauncher(post)),
      converter(std::make_unique<ConverterFeatureReader>(
          *launcher, CoresProgram(programFolder, "ffmpeg", style),
          [this] {
              run->ConverterRead();
              observers.ConverterChecked();
          })),
      jobs(style),
      intake(jobs),
      catalogue(programFolder, reader),
      policy(programFolder, style),
      planner(policy, *reader, *devices, converter.get(),
              setup.findProgram ? std::move(setup.findProgram) : SystemProgramFinder()) {
    catalogue.SetUserSettingsFolder(std::move(setup.userSettingsFolder));
    hostPost = post;
    watchRecordFolder = std::move(setup.watchRecordFolder);
    makeFolderEvents = std::move(setup.makeFolderEvents);
    jobs.SetObserver(&observers);
    MakeProber(std::move(setup.probeHelper), std::move(setup.probeProgram), setup.probeTimeLimit,
               post);
    RunInputs inputs;
    inputs.chosenCommand = [this] {
        return fixedCommand ? fixedCommand : catalogue.SelectedCommand();
    };
    inputs.choices = [this] { return Choices(); };
    inputs.keepDates = [this] { return keepDates; };
    inputs.noteUncheckedOutputs = noteUncheckedOutputs;
    run = std::make_unique<BatchRun>(jobs, *launcher, planner, prober.get(), std::move(inputs));
    run->SetObserver(&runFacts);
}

WatchBoard& Engine::Impl::Watches() {
    if (!watches) {
        std::string records = watchRecordFolder;
        if (records.empty()) {
            const std::optional<std::string> state = ProgramStateFolder();
            records = state ? JoinPath(*state, "watches", style) : std::string();
        }
        MakeFolderEvents make = [this](FolderEvents::Deliver deliver) {
            return makeFolderEvents ? makeFolderEvents(hostPost, std::move(deliver))
                                    : SystemFolderEvents(hostPost, std::move(deliver));
        };
        watches = std::make_unique<WatchBoard>(jobs, observers, std::move(make), std::move(records),
                                               style);
        watches->SetTiming(watchTiming);
    }
    return *watches;
}

void Engine::Impl::MakeProber(std::string helper, std::string probe,
                              std::chrono::milliseconds timeLimit, const PostToHost& post) {
    MediaProber::Answered answered = [this](ProbeTicket ticket, const ProbeAnswer& answer) {
        run->ProbeAnswered(ticket, answer);
    };
    if (helper.empty() && probe.empty()) {
        helper =
            JoinPath(programFolder,
                     style == PathStyle::Windows ? "palomix-probe.exe" : "palomix-probe", style);
        helper = PathExists(helper) ? helper : std::string();
    }
    if (!helper.empty()) {
        prober = HelperProber(std::move(helper), post, timeLimit, std::move(answered));
        return;
    }
    if (probe.empty()) {
        if (std::string beside = CoresProgram(programFolder, "ffprobe", style);
            PathExists(beside)) {
            probe = std::move(beside);
        } else {
            // ffmpeg without a probe beside it: done jobs say their outputs were not checked.
            noteUncheckedOutputs = PathExists(converter->Program());
            return;
        }
    }
    prober = ProgramProber(*launcher, std::move(probe), timeLimit, std::move(answered));
}

Engine::Engine(EngineSetup setup, PostToHost post)
    : impl_(std::make_unique<Impl>(std::move(setup), std::move(post))) {}

Engine::~Engine() {
    impl_->observers.Clear();
    impl_->watches.reset();  // its records kept, its events' thread ended
    // However the program ends (a close, Ctrl-C, a terminate or hang-up signal), what the jobs
    // were writing goes: once the converters and the probes have ended, as only then are the
    // files let go of.
    const std::vector<MadeFile> temporaries = impl_->run->Temporaries();
    impl_->run.reset();
    impl_->prober.reset();
    impl_->launcher.reset();  // kills and waits for what still runs
    for (const MadeFile& file : temporaries) {
        file.RemoveIfStillMade();
    }
}

void Engine::AddObserver(EngineObserver* observer) {
    impl_->observers.Add(observer);
}

void Engine::RemoveObserver(EngineObserver* observer) {
    impl_->observers.Remove(observer);
}

void Engine::SetObserver(EngineObserver* observer) {
    impl_->observers.Clear();
    impl_->observers.Add(observer);
}

// --- The settings files ---------------------------------------------------------------------

CatalogueLoadResult Engine::LoadCatalogue(Language language) {
    return impl_->catalogue.LoadSettingsCatalogue(language);
}

std::vector<CatalogueEntry> Engine::SettingsFiles() const {
    return impl_->catalogue.Entries();
}

std::string Engine::SettingsFolder() const {
    return impl_->catalogue.SettingsFolder();
}

std::string Engine::UserSettingsFolder() const {
    return impl_->catalogue.UserSettingsFolder();
}

std::vector<CatalogueListing> Engine::Listing(Language language) {
    std::vector<CatalogueListing> listing;
    for (const CatalogueEntry& entry : impl_->catalogue.Entries()) {
        listing.push_back(CatalogueListing{entry, CommandsOf(entry.path, language)});
    }
    return listing;
}

std::vector<CommandRow> Engine::CommandsOf(const std::string& settingsFile, Language language) {
    return ReadCommandList(*impl_->reader, settingsFile, language);
}

int Engine::SelectedSettingsRow() const {
    return impl_->catalogue.SelectedSettingsRow();
}

void Engine::SelectSettingsRow(int row) {
    impl_->catalogue.SelectSettingsRow(row);
}

bool Engine::SelectSettingsFile(const std::string& path) {
    return impl_->catalogue.SelectSettingsFile(path);
}

void Engine::RefreshCommandList(std::optional<Language> language) {
    impl_->catalogue.MultiComboBox1Change(language);
}

std::vector<CommandRow> Engine::CommandRows() const {
    return impl_->catalogue.CommandRows();
}

int Engine::SelectedCommandRow() const {
    return impl_->catalogue.SelectedCommandRow();
}

void Engine::SelectCommandRow(int row) {
    impl_->catalogue.SelectCommandRow(row);
}

bool Engine::SelectCommandItem(int itemNumber) {
    return impl_->catalogue.SelectCommandItem(itemNumber);
}

std::optional<std::string> Engine::SelectedSettingsPath() const {
    return impl_->catalogue.SelectedSettingsPath();
}

std::optional<ChosenCommand> Engine::SelectedCommand() const {
    return impl_->catalogue.SelectedCommand();
}

void Engine::OpenSelectedSettingsFile(const std::function<void(const std::string&)>& open) const {
    impl_->catalogue.S1Click(open);
}

// --- What to convert with ------------------------------------------------------------------

void Engine::UseCommand(std::optional<ChosenCommand> command) {
    impl_->fixedCommand = std::move(command);
}

std::optional<ChosenCommand> Engine::CurrentCommand() const {
    return impl_->CommandFor(nullptr);
}

CommandCheck Engine::CommandNeeds(const ChosenCommand& command) {
    return impl_->planner.Needs(command, impl_->outputFolder);
}

ConverterFacts Engine::Converter() {
    ConverterFacts facts;
    switch (impl_->converter->Look()) {
        case ConverterFeatureReader::State::Absent:
            facts.state = ConverterFacts::State::Absent;
            break;
        case ConverterFeatureReader::State::Reading:
            facts.state = ConverterFacts::State::Reading;
            break;
        case ConverterFeatureReader::State::Known:
            facts.state = ConverterFacts::State::Known;
            break;
        case ConverterFeatureReader::State::Unreadable:
            facts.state = ConverterFacts::State::Unreadable;
            break;
    }
    facts.version = impl_->converter->Version();
    if (impl_->prober) {
        facts.probeWay = std::string(impl_->prober->Way());
    }
    return facts;
}

void Engine::SetOutputFolder(std::string folder) {
    impl_->outputFolder = std::move(folder);
}

const std::string& Engine::OutputFolder() const {
    return impl_->outputFolder;
}

void Engine::SetExistingOutputs(ExistingOutputs existing) {
    impl_->existing = existing;
}

ExistingOutputs Engine::ExistingOutputsChoice() const {
    return impl_->existing;
}

void Engine::SetKeepTree(bool on) {
    impl_->keepTree = on;
}

bool Engine::KeepTree() const {
    return impl_->keepTree;
}

void Engine::SetKeepDates(bool on) {
    impl_->keepDates = on;
}

bool Engine::KeepDates() const {
    return impl_->keepDates;
}

void Engine::SetSimultaneousJobs(std::size_t count) {
    if (count == 0) {
        count = std::max(1u, std::thread::hardware_concurrency());
    }
    impl_->run->SetSimultaneousJobs(count);
}

std::size_t Engine::SimultaneousJobs() const {
    return impl_->run->SimultaneousJobs();
}

void Engine::SetFollowProgress(bool on) {
    impl_->run->SetFollowProgress(on);
}

// --- The job list -----------------------------------------------------------------------------

IntakeResult Engine::AddPaths(std::span<const std::string> paths) {
    return impl_->intake.TakeDrop(paths);
}

IntakeResult Engine::WalkPaths(std::span<const std::string> paths, const FoundFile& found) {
    DropIntake walk;
    return walk.Walk(paths, found);
}

void Engine::AddFiles(std::span<const std::string> paths) {
    impl_->jobs.BeginAppend();
    for (const std::string& path : paths) {
        impl_->jobs.AddJob(impl_->Incoming(path));
    }
    impl_->jobs.EndAppend();
}

void Engine::AddFiles(std::span<const JobEntry> files) {
    impl_->jobs.BeginAppend();
    for (const JobEntry& file : files) {
        impl_->jobs.AddJob(impl_->Incoming(file.path), file.subfolder, file.command,
                           file.outputFolder);
    }
    impl_->jobs.EndAppend();
}

int Engine::RemoveWaiting(std::span<const JobId> ids) {
    std::vector<JobId> waiting;
    waiting.reserve(ids.size());
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(waiting),
                 [this](JobId id) { return !impl_->run->IsActive(id); });
    const int removed = impl_->jobs.Remove(waiting);
    if (impl_->watches) {
        impl_->watches->TakenOut(waiting);
    }
    return removed;
}

void Engine::MoveToTop(std::span<const JobId> ids) {
    // The converting jobs stand at the top; the moved ones come right below them.
    std::int32_t keep = 0;
    while (keep < impl_->jobs.JobCount() && impl_->run->IsActive(impl_->jobs.Id(keep))) {
        ++keep;
    }
    impl_->jobs.MoveUp(ids, keep);
}

bool Engine::IsConverting(JobId id) const {
    return impl_->run->IsActive(id);
}

std::int32_t Engine::JobCount() const {
    return impl_->jobs.JobCount();
}

JobView Engine::Job(std::int32_t index) const {
    return impl_->jobs.View(index);
}

JobStatus Engine::Status(std::int32_t index) const {
    return impl_->jobs.Status(index);
}

std::optional<std::int32_t> Engine::IndexOf(JobId id) const {
    return impl_->jobs.IndexOf(id);
}

void Engine::VisitJobs(const std::function<void(const JobView&)>& visit) const {
    for (std::int32_t index = 0; index < impl_->jobs.JobCount(); ++index) {
        visit(impl_->jobs.View(index));
    }
}

// --- The run ------------------------------------------------------------------------------------

void Engine::StartRun() {
    impl_->run->StartRun();
}

void Engine::StopHead() {
    impl_->run->StopHead();
}

void Engine::StopAll() {
    impl_->run->StopAll();
}

void Engine::FinishAfterCurrent() {
    impl_->run->FinishAfterCurrent();
}

bool Engine::StopJob(JobId id) {
    return impl_->run->StopJob(id);
}

void Engine::Tick() {
    impl_->run->Tick();
}

// --- Plans ------------------------------------------------------------------------------------

JobPlan Engine::Plan(std::int32_t index) {
    OutputBook none(impl_->style);
    impl_->planner.BeginPass();
    return impl_->PlanIndex(index, none);
}

void Engine::PlanEach(const std::function<void(const JobView&, const JobPlan&)>& each) {
    OutputBook book(impl_->style);
    impl_->planner.BeginPass(/*listFolders=*/true);
    for (std::int32_t index = 0; index < impl_->jobs.JobCount(); ++index) {
        const JobPlan plan = impl_->PlanIndex(index, book);
        if (plan.problem == JobProblem::None) {
            plan.EachOutput([&](const LineOutput& output) { book.Add(output.path); });
        }
        each(impl_->jobs.View(index), plan);
    }
}

IntakeResult Engine::PlanPaths(std::span<const std::string> paths,
                               const std::function<void(const JobView&, const JobPlan&)>& each) {
    OutputBook book(impl_->style);
    impl_->planner.BeginPass(/*listFolders=*/true);
    const std::optional<ChosenCommand> command = CurrentCommand();
    const PlanChoices choices = impl_->Choices();
    return impl_->intake.Walk(paths, [&](const std::string& path, std::string_view subfolder) {
        JobPlan plan;
        if (command) {
            plan = std::move(impl_->planner.PlanJob(path, subfolder, *command, choices, book).plan);
            if (plan.problem == JobProblem::None) {
                plan.EachOutput([&](const LineOutput& output) { book.Add(output.path); });
            }
        }
        each(JobView{0, path, FileNameOf(path, impl_->style), subfolder, nullptr}, plan);
        return true;
    });
}

// --- Watched folders ---------------------------------------------------------------------------

WatchId Engine::AddWatch(WatchSettings settings, bool paused) {
    settings.folder = impl_->Incoming(settings.folder);
    settings.outputFolder = impl_->Incoming(settings.outputFolder);
    return impl_->Watches().Add(std::move(settings), paused);
}

bool Engine::PauseWatch(WatchId id) {
    return impl_->watches && impl_->watches->Pause(id);
}

bool Engine::ResumeWatch(WatchId id) {
    return impl_->watches && impl_->watches->Resume(id);
}

bool Engine::RemoveWatch(WatchId id) {
    return impl_->watches && impl_->watches->Remove(id);
}

bool Engine::RetryWatchFailures(WatchId id, std::span<const std::string> paths) {
    return impl_->watches && impl_->watches->Retry(id, paths);
}

std::vector<WatchView> Engine::Watches() const {
    return impl_->watches ? impl_->watches->Views() : std::vector<WatchView>{};
}

std::optional<WatchView> Engine::Watch(WatchId id) const {
    return impl_->watches ? impl_->watches->View(id) : std::nullopt;
}

void Engine::SetWatchTiming(const WatchTiming& timing) {
    impl_->watchTiming = timing;
    if (impl_->watches) {
        impl_->watches->SetTiming(timing);
    }
}

// --- Progress and state -----------------------------------------------------------------------

std::optional<JobProgress> Engine::ProgressOf(JobId id) const {
    return impl_->run->ProgressOf(id);
}

const QueueProgress& Engine::Queue() const {
    return impl_->run->Queue();
}

const RunTally& Engine::Tally() const {
    return impl_->run->Tally();
}

bool Engine::RunActive() const {
    return impl_->run->RunActive();
}

std::int32_t Engine::ElapsedSeconds() const {
    return impl_->run->ElapsedSeconds();
}

bool Engine::StopRequested() const {
    return impl_->run->StopRequested();
}

ProcessHandle Engine::CurrentProcess() const {
    return impl_->run->CurrentProcess();
}

bool Engine::StopEnabled() const {
    return impl_->run->StopEnabled();
}

bool Engine::WaitingForProcess() const {
    return impl_->run->WaitingForProcess();
}

const std::string& Engine::ProgramFolder() const {
    return impl_->programFolder;
}

PathStyle Engine::Style() const {
    return impl_->style;
}

}  // namespace palomix
