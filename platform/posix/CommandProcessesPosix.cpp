#include "platform/posix/CommandProcessesPosix.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <system_error>
#include <utility>

namespace palomix::posix {

namespace {

// waitid's id type for a pidfd (Linux 5.4), spelled out for C libraries that predate it.
constexpr auto kByPidFd = static_cast<idtype_t>(3);

// The whole of a small /proc file; empty when it cannot be read.
std::string ReadProcFile(const std::string& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

std::optional<ProcessEntry> ReadEntry(pid_t pid) {
    const std::string stat = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
    // "pid (name) state parent group session ..."; the name may hold anything, even ')'.
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::vector<std::string_view> fields;  // from the state on: field 3 is fields[0]
    std::string_view rest = std::string_view(stat).substr(nameEnd + 1);
    while (!rest.empty() && fields.size() < 20) {
        const std::size_t start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(start);
        const std::size_t end = rest.find(' ');
        fields.push_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    if (fields.size() < 20) {
        return std::nullopt;
    }
    ProcessEntry entry;
    entry.pid = pid;
    entry.parent = static_cast<pid_t>(std::strtol(std::string(fields[1]).c_str(), nullptr, 10));
    entry.group = static_cast<pid_t>(std::strtol(std::string(fields[2]).c_str(), nullptr, 10));
    entry.startTime = std::strtoull(std::string(fields[19]).c_str(), nullptr, 10);
    return entry;
}

// The value of the mark in a process's environment, if it has one.
std::optional<std::string> MarkOf(pid_t pid) {
    const std::string environment = ReadProcFile("/proc/" + std::to_string(pid) + "/environ");
    const std::string key = std::string(kMarkVariable) + "=";
    std::size_t start = 0;
    while (start < environment.size()) {
        std::size_t end = environment.find('\0', start);
        if (end == std::string::npos) {
            end = environment.size();
        }
        const std::string_view variable(environment.data() + start, end - start);
        if (variable.starts_with(key)) {
            return std::string(variable.substr(key.size()));
        }
        start = end + 1;
    }
    return std::nullopt;
}

bool SameProcess(const ProcessEntry& entry) {
    const std::optional<ProcessEntry> now = ReadEntry(entry.pid);
    return now && now->startTime == entry.startTime;
}

}  // namespace

std::shared_ptr<PinnedProcess> PinnedProcess::Pin(const ProcessEntry& entry) {
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, entry.pid, 0));
    if (fd < 0 && errno != ENOSYS) {
        return nullptr;  // gone
    }
    // Opened after the entry was read: check that it is still the same process.
    if (!SameProcess(entry)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return nullptr;
    }
    return std::shared_ptr<PinnedProcess>(new PinnedProcess(entry, fd));
}

PinnedProcess::~PinnedProcess() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool PinnedProcess::Signal(int signal) {
    if (fd_ >= 0) {
        return ::syscall(SYS_pidfd_send_signal, fd_, signal, nullptr, 0) == 0;
    }
    return SameProcess(entry_) && ::kill(entry_.pid, signal) == 0;
}

std::optional<pid_t> PinnedProcess::Group() const {
    const std::optional<ProcessEntry> now = ReadEntry(entry_.pid);
    if (!now || now->startTime != entry_.startTime) {
        return std::nullopt;
    }
    return now->group;
}

PinnedProcess::State PinnedProcess::TryReap() {
    if (fd_ < 0) {
        // Without a pidfd no reaping is safe; watch it only while it runs.
        return SameProcess(entry_) ? State::Running : State::Gone;
    }
    siginfo_t info{};
    if (::waitid(kByPidFd, static_cast<id_t>(fd_), &info, WEXITED | WNOHANG) == 0) {
        return info.si_pid != 0 ? State::Reaped : State::Running;
    }
    // Not this program's child: it is there until its parent reaps it.
    if (::syscall(SYS_pidfd_send_signal, fd_, 0, nullptr, 0) != 0 && errno == ESRCH) {
        return State::Gone;
    }
    return State::SomeoneElses;
}

std::vector<ProcessEntry> FindCommandProcesses(std::string_view mark, bool markPrefix,
                                               std::optional<pid_t> root) {
    std::vector<ProcessEntry> all;
    std::vector<ProcessEntry> found;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return found;
    }
    const uid_t user = ::geteuid();
    const pid_t self = ::getpid();
    while (const dirent* item = ::readdir(proc)) {
        char* end = nullptr;
        const long number = std::strtol(item->d_name, &end, 10);
        if (end == item->d_name || *end != '\0' || number <= 0 || number == self) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(number);
        const std::optional<ProcessEntry> entry = ReadEntry(pid);
        if (!entry) {
            continue;
        }
        all.push_back(*entry);
        struct stat owner {};
        if (::stat(("/proc/" + std::to_string(pid)).c_str(), &owner) != 0 || owner.st_uid != user) {
            continue;
        }
        const std::optional<std::string> value = MarkOf(pid);
        if (value && (markPrefix ? std::string_view(*value).starts_with(mark) : *value == mark)) {
            found.push_back(*entry);
        }
    }
    ::closedir(proc);

    if (root) {
        std::multimap<pid_t, const ProcessEntry*> children;
        for (const ProcessEntry& entry : all) {
            children.emplace(entry.parent, &entry);
        }
        std::vector<pid_t> parents = {*root};
        while (!parents.empty()) {
            const pid_t parent = parents.back();
            parents.pop_back();
            const auto [first, last] = children.equal_range(parent);
            for (auto it = first; it != last; ++it) {
                const ProcessEntry& child = *it->second;
                if (child.pid == *root) {
                    continue;
                }
                bool known = false;
                for (const ProcessEntry& entry : found) {
                    known = known || entry.pid == child.pid;
                }
                if (!known) {
                    found.push_back(child);
                }
                parents.push_back(child.pid);
            }
        }
    }
    std::erase_if(found, [&](const ProcessEntry& entry) { return root && entry.pid == *root; });
    return found;
}

Leftovers::~Leftovers() {
    {
        std::unique_lock lock(mutex_);
        closing_ = true;
        // They have been killed: give them a moment to end and be reaped.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!Sweep() && std::chrono::steady_clock::now() < deadline) {
            changed_.wait_for(lock, std::chrono::milliseconds(10));
        }
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Leftovers::Watch(std::shared_ptr<PinnedProcess> process) {
    const std::lock_guard lock(mutex_);
    for (const std::shared_ptr<PinnedProcess>& watched : watched_) {
        if (watched->Entry().pid == process->Entry().pid &&
            watched->Entry().startTime == process->Entry().startTime) {
            return;
        }
    }
    watched_.push_back(std::move(process));
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // Without the thread they are reaped when the launcher closes.
        }
    }
    changed_.notify_all();
}

bool Leftovers::Sweep() {
    std::erase_if(watched_, [](const std::shared_ptr<PinnedProcess>& process) {
        const PinnedProcess::State state = process->TryReap();
        return state == PinnedProcess::State::Reaped || state == PinnedProcess::State::Gone;
    });
    return watched_.empty();
}

// Looks at the watched processes a few times a second while there are any.
void Leftovers::Run() {
    std::unique_lock lock(mutex_);
    while (!closing_) {
        if (Sweep()) {
            changed_.wait(lock, [&] { return closing_ || !watched_.empty(); });
        } else {
            changed_.wait_for(lock, std::chrono::milliseconds(100));
        }
    }
}

}  // namespace palomix::posix
