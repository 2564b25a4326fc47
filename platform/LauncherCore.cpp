#include "platform/LauncherCore.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/CommandLineSplit.h"
#include "platform/FileSystem.h"
#include "platform/ProgramResolution.h"

namespace palomix {

namespace {

namespace fs = std::filesystem;

// The folder of a log folder where the temporary files of its launcher's host are noted.
constexpr std::string_view kTemporariesFolder = "temporaries";

fs::path PathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// 16 hexadecimal digits, different for every launcher: a launcher's folder and marks must not
// be taken for another's, even one of an earlier host with the same process id.
std::string NewLauncherId() {
    std::random_device device;
    const std::uint64_t value =
        (std::uint64_t{device()} << 32) ^ device() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    char text[17] = {};
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

bool IsLauncherId(std::string_view text) {
    return text.size() == 16 &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

LaunchResult NotLaunched(LaunchError error, std::string program, std::string reason,
                         int systemCode = 0, std::string meant = {}) {
    LaunchResult result;
    result.failure = LaunchFailure{error, std::move(program), systemCode, reason, std::move(meant)};
    result.reason = std::move(reason);
    return result;
}

}  // namespace

LauncherCore::LauncherCore(PostToHost post, std::unique_ptr<NativeLauncher> native)
    : post_(std::move(post)),
      native_(std::move(native)),
      grace_(native_->StopGrace()),
      id_(NewLauncherId()) {
    RemoveAbandonedLogFolders();
}

LauncherCore::~LauncherCore() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
        for (auto& [id, child] : children_) {
            const bool running = !child.ended && !child.process->HasEnded();
            // A stop still in its grace would kill what is left of the command: do it now.
            if (running || (child.stopped && !child.guardDone)) {
                child.process->Stop(true);
            }
        }
    }
    changed_.notify_all();
    JoinAll();
    if (lastId_ > 0) {
        native_->EndProcessesOf(id_);
    }
    children_.clear();
    logFolderHold_.reset();
    if (!logFolder_.empty()) {
        std::error_code ignored;
        fs::remove_all(PathFromUtf8(logFolder_), ignored);
    }
}

namespace {

// The temporary files a killed host noted (NoteTemporary), removed when each is still the file
// it noted: a file someone put at that name since stays.
void RemoveNotedTemporaries(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator notes(folder, error);
    for (; !error && notes != fs::directory_iterator(); notes.increment(error)) {
        std::optional<std::string> text;
        try {
            text = ReadFileBytes(Utf8FromPath(notes->path()));
        } catch (const std::exception&) {
            continue;
        }
        const std::size_t end = text ? text->find('\n') : std::string::npos;
        if (end == std::string::npos) {
            continue;
        }
        const std::string path = text->substr(0, end);
        const std::string identity = text->substr(end + 1, text->find('\n', end + 1) - end - 1);
        if (FileIdentityOf(path) == identity) {
            RemoveFile(path);
        }
    }
}

}  // namespace

// A log folder is abandoned when the launcher that made it has gone without removing it (its
// host was killed); its commands may have left processes behind, which go first.
void LauncherCore::RemoveAbandonedLogFolders() {
    const std::string temp = native_->TempFolder();
    if (temp.empty()) {
        return;
    }
    std::error_code error;
    fs::directory_iterator entries(PathFromUtf8(temp), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string name = Utf8FromPath(entries->path().filename());
        if (!name.starts_with(kLogFolderPrefix) ||
            !IsLauncherId(std::string_view(name).substr(kLogFolderPrefix.size()))) {
            continue;
        }
        const std::string path = Utf8FromPath(entries->path());
        if (native_->IsAbandonedFolder(path)) {
            native_->EndProcessesOf(std::string_view(name).substr(kLogFolderPrefix.size()));
            RemoveNotedTemporaries(entries->path() / kTemporariesFolder);
            std::error_code ignored;
            fs::remove_all(entries->path(), ignored);
        }
    }
}

const std::string& LauncherCore::LogFolder() {
    if (!logFolderTried_) {
        logFolderTried_ = true;
        const std::string temp = native_->TempFolder();
        // Another folder of that name would be another launcher's: try another id.
        for (int attempt = 0; attempt < 8 && !temp.empty() && !logFolderHold_; ++attempt) {
            if (attempt > 0) {
                id_ = NewLauncherId();
            }
            const std::string folder =
                Utf8FromPath(PathFromUtf8(temp) / (std::string(kLogFolderPrefix) + id_));
            logFolderHold_ = native_->HoldNewFolder(folder);
            if (logFolderHold_) {
                logFolder_ = folder;
            }
        }
    }
    return logFolder_;
}

// The log file of a command, in the launcher's log folder. Empty when there is no folder: the
// output is then thrown away.
std::string LauncherCore::LogPathFor(std::uint64_t id) {
    if (LogFolder().empty()) {
        return {};
    }
    return Utf8FromPath(PathFromUtf8(logFolder_) / ("command-" + std::to_string(id) + ".log"));
}

// Each noted temporary is a small file in the log folder's "temporaries" folder: its path,
// then what named its file when it was noted.
void LauncherCore::NoteTemporary(const std::string& path) {
    const std::optional<std::string> identity = FileIdentityOf(path);
    if (LogFolder().empty() || !identity || temporaries_.contains(path)) {
        return;
    }
    const fs::path folder = PathFromUtf8(logFolder_) / kTemporariesFolder;
    std::error_code ignored;
    fs::create_directory(folder, ignored);
    const std::string note =
        Utf8FromPath(folder / ("temporary-" + std::to_string(++lastTemporary_)));
    try {
        WriteFileAtomically(note, path + "\n" + *identity + "\n");
        temporaries_.emplace(path, note);
    } catch (const FileError&) {
        // Unnoted, it is still removed by this program; only a kill would leave it.
    }
}

void LauncherCore::ForgetTemporary(const std::string& path) {
    if (const auto found = temporaries_.find(path); found != temporaries_.end()) {
        RemoveFile(found->second);
        temporaries_.erase(found);
    }
}

LaunchResult LauncherCore::Launch(const std::string& commandLine, ProcessEndedHandler onEnded) {
    return Launch(commandLine, LaunchOptions{}, std::move(onEnded));
}

std::optional<LaunchResult> LauncherCore::FindProgramOf(std::string_view commandLine,
                                                        NativeCommand& command) {
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
    if (candidates.empty()) {
        return NotLaunched(LaunchError::EmptyLine, {}, "the command line is empty");
    }
    std::optional<ResolvedProgram> resolved = ResolveProgram(
        commandLine, [this](const std::string& name) { return native_->FindProgram(name); });
    if (!resolved) {
        std::string reason =
            "the program \"" + std::string(candidates.front().program) + "\" was not found";
        for (std::size_t i = 1; i < candidates.size(); ++i) {
            reason += (i == 1 ? " (nor \"" : ", \"") + std::string(candidates[i].program) + "\"";
        }
        return NotLaunched(LaunchError::ProgramNotFound, std::string(candidates.front().program),
                           candidates.size() > 1 ? reason + ")" : reason);
    }
    if (resolved->Ambiguous()) {
        return NotLaunched(LaunchError::AmbiguousProgram, resolved->program,
                           "the line names \"" + resolved->meant + "\" without quotes, and \"" +
                               resolved->program + "\" was found first",
                           0, resolved->meant);
    }
    command.program = std::move(resolved->program);
    command.arguments = resolved->rest;
    return std::nullopt;
}

void LauncherCore::Drain(NativeOutput* output, std::unique_ptr<LogFileWriter> log) {
    CappedLog capped(*log);
    std::vector<char> buffer(64 * 1024);
    while (const std::size_t read = output->Read(buffer.data(), buffer.size())) {
        capped.Take(std::string_view(buffer.data(), read));
    }
}

LaunchResult LauncherCore::Launch(const std::string& commandLine, const LaunchOptions& options,
                                  ProcessEndedHandler onEnded) {
    JoinFinished();

    NativeCommand command;
    if (std::optional<LaunchResult> failed = FindProgramOf(commandLine, command)) {
        return std::move(*failed);
    }

    const std::uint64_t id = ++lastId_;
    command.options = options;
    command.logPath = LogPathFor(id);
    command.marker = id_ + "." + std::to_string(id);
    NativeStart started = native_->Start(command);
    if (!started.process) {
        if (started.logOpened) {
            std::error_code ignored;
            fs::remove(PathFromUtf8(command.logPath), ignored);
        }
        return NotLaunched(LaunchError::SystemError, command.program, std::move(started.reason),
                           started.systemCode);
    }

    const ProcessHandle handle{id};
    const std::lock_guard lock(mutex_);
    Child& child = children_[id];
    child.process = std::move(started.process);
    child.logPath = started.logOpened ? command.logPath : std::string();
    if (options.timeLimit) {
        child.timeLimit = Clock::now() + *options.timeLimit;
    }
    try {
        if (started.output && started.log) {
            child.output = std::move(started.output);
            child.drain = std::thread(Drain, child.output.get(), std::move(started.log));
        }
        child.waiter = std::thread(
            [this, handle, &child, onEnded = std::move(onEnded)] { Wait(handle, child, onEnded); });
        if (child.timeLimit) {
            child.guard = std::thread([this, &child] { Guard(child); });
        }
    } catch (const std::system_error& error) {
        // Without its threads the command could never be reported, or timed: undo it. A
        // waiting thread that did start sees it end and forgets it, reporting nothing.
        child.process->Stop(true);
        if (!child.logPath.empty()) {
            std::error_code ignored;
            fs::remove(PathFromUtf8(child.logPath), ignored);
            child.logPath.clear();
        }
        if (child.waiter.joinable()) {
            child.unreported = true;
            child.logDiscarded = true;
        } else {
            child.process->WaitForEnd();
            EndOutput(child);
            child.process->Release();
            children_.erase(id);
        }
        return NotLaunched(
            LaunchError::SystemError, command.program,
            "the program \"" + command.program + "\" could not be watched: " + error.what(),
            error.code().value());
    }
    return LaunchResult{true, handle, child.logPath, {}};
}

bool LauncherCore::Terminate(ProcessHandle handle) {
    JoinFinished();
    const std::lock_guard lock(mutex_);
    const auto found = children_.find(handle.id);
    if (found == children_.end()) {
        return false;
    }
    Child& child = found->second;
    if (child.ended || child.process->HasEnded()) {
        return false;
    }
    if (child.stopped) {
        child.process->Stop(grace_.count() == 0);  // asked again: ask again
        return true;
    }
    BeginStop(child);
    if (grace_.count() > 0 && !child.guard.joinable()) {
        try {
            child.guard = std::thread([this, &child] { Guard(child); });
        } catch (const std::system_error&) {
            child.process->Stop(true);  // no grace without a thread to time it
        }
    }
    changed_.notify_all();
    return true;
}

void LauncherCore::DiscardLog(ProcessHandle handle) {
    JoinFinished();
    const std::lock_guard lock(mutex_);
    const auto found = children_.find(handle.id);
    if (found == children_.end() || !found->second.ended) {
        return;
    }
    Child& child = found->second;
    if (!child.logPath.empty()) {
        std::error_code ignored;
        fs::remove(PathFromUtf8(child.logPath), ignored);
        child.logPath.clear();
    }
    child.logDiscarded = true;
    // Its threads have been joined once it is finished; then nothing refers to it.
    if (child.finished && !child.waiter.joinable() && !child.guard.joinable()) {
        children_.erase(found);
    }
}

// With the lock held: the first step of a stop. With no grace on this system it is the last.
void LauncherCore::BeginStop(Child& child) {
    child.process->Stop(grace_.count() == 0);
    child.stopped = Clock::now();
}

// The waiting thread of one command.
void LauncherCore::Wait(ProcessHandle handle, Child& child, const ProcessEndedHandler& onEnded) {
    child.process->WaitForEnd();
    EndOutput(child);
    ProcessExit exit;
    bool post = false;
    {
        const std::lock_guard lock(mutex_);
        exit = child.process->Release();
        exit.timeLimitReached = child.timeLimitReached;
        child.ended = true;
        post = !closing_ && !child.unreported;
    }
    changed_.notify_all();
    if (post && post_ && onEnded) {
        post_([onEnded, handle, exit] { onEnded(handle, exit); });
    }
    const std::lock_guard lock(mutex_);
    child.finished = true;
}

void LauncherCore::EndOutput(Child& child) {
    if (child.drain.joinable()) {
        child.output->Finish();
        child.drain.join();
    }
}

// The guard thread of one command: stops it when its time limit is reached and, once it has
// been asked to end, kills what is left of it after the grace — whether or not the program
// itself has ended by then, since what it started may outlive it.
void LauncherCore::Guard(Child& child) {
    std::unique_lock lock(mutex_);
    while (!closing_ && !child.stopped && !child.ended) {
        if (!child.timeLimit) {
            changed_.wait(lock);
        } else if (Clock::now() < *child.timeLimit) {
            changed_.wait_until(lock, *child.timeLimit);
        } else if (child.process->HasEnded()) {
            break;
        } else {
            child.timeLimitReached = true;
            BeginStop(child);
        }
    }
    if (child.stopped && grace_.count() > 0) {
        const Clock::time_point kill = *child.stopped + grace_;
        changed_.wait_until(lock, kill, [&] { return closing_; });
        if (!closing_) {
            child.process->Stop(true);
        }
    }
    child.guardDone = true;
}

// Joins the threads that have nothing left to do, outside the lock (they take it on their way
// out), then forgets the finished commands whose log is discarded. A guard still counting its
// grace is left running: Launch and Terminate never wait for it.
void LauncherCore::JoinFinished() {
    std::vector<std::thread> threads;
    {
        const std::lock_guard lock(mutex_);
        for (auto& [id, child] : children_) {
            if (child.finished && child.waiter.joinable()) {
                threads.push_back(std::move(child.waiter));
            }
            if (child.guardDone && child.guard.joinable()) {
                threads.push_back(std::move(child.guard));
            }
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::lock_guard lock(mutex_);
    std::erase_if(children_, [](const auto& entry) {
        const Child& child = entry.second;
        return child.finished && child.logDiscarded && !child.waiter.joinable() &&
               !child.guard.joinable();
    });
}

void LauncherCore::JoinAll() {
    std::vector<std::thread> threads;
    {
        const std::lock_guard lock(mutex_);
        for (auto& [id, child] : children_) {
            for (std::thread* thread : {&child.waiter, &child.guard}) {
                if (thread->joinable()) {
                    threads.push_back(std::move(*thread));
                }
            }
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

std::unique_ptr<ProcessLauncher> SystemProcessLauncher(PostToHost post) {
    return std::make_unique<LauncherCore>(std::move(post), MakeNativeLauncher());
}

}  // namespace palomix
