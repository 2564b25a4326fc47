// The Windows launcher: CreateProcessW with the command line as it is (the system finds the
// program, the program's C runtime splits its arguments), no console window, hidden, with this
// program's current folder and environment. Standard input is the null device; standard output
// and error go to the command's log file. Only those two handles are inherited.
//
// The process handle is kept until the process's end has been recorded, so Terminate always
// acts on the process that was started, never on a later one that reuses its id.

#include <windows.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/CommandLineSplit.h"
#include "platform/ProcessLauncher.h"
#include "platform/win32/WideText.h"

namespace palomix::win32 {
namespace {

// The exit code of a process ended by Stop: not 0, so that it never reads as a success.
constexpr UINT kTerminatedExitCode = 1;

// A kernel handle, closed when it goes. Both "no handle" values of the API count as empty.
class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle = nullptr)
        : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() {
        if (handle_ != nullptr) {
            ::CloseHandle(handle_);
        }
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};

// The list of handles a child may inherit, as a process attribute list.
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles)) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (::InitializeProcThreadAttributeList(list, 1, 0, &size) == 0) {
            return;
        }
        list_ = list;
        if (::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                        handles_.data(), handles_.size() * sizeof(HANDLE), nullptr,
                                        nullptr) == 0) {
            ::DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    ~InheritedHandles() {
        if (list_ != nullptr) {
            ::DeleteProcThreadAttributeList(list_);
        }
    }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(ToWide(utf8));
}

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
    if (text != nullptr) {
        ::LocalFree(text);
    }
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : FromWide(message);
}

// A folder of its own under the user's temporary folder. Empty on failure.
std::string MakeLogFolder() {
    std::wstring base(MAX_PATH + 1, L'\0');
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(base.size()), base.data());
    if (length == 0 || length > base.size()) {
        return {};
    }
    base.resize(length);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring folder = base + L"palomix-" + std::to_wstring(::GetCurrentProcessId()) +
                                    L"-" + std::to_wstring(::GetTickCount64() + attempt);
        if (::CreateDirectoryW(folder.c_str(), nullptr) != 0) {
            return FromWide(folder);
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            return {};
        }
    }
    return {};
}

UniqueHandle OpenInheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return UniqueHandle(::CreateFileW(path.c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

class Win32ProcessLauncher final : public ProcessLauncher {
public:
    explicit Win32ProcessLauncher(PostToHost post) : post_(std::move(post)) {}

    Win32ProcessLauncher(const Win32ProcessLauncher&) = delete;
    Win32ProcessLauncher& operator=(const Win32ProcessLauncher&) = delete;

    ~Win32ProcessLauncher() override {
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
            for (auto& [id, child] : children_) {
                if (StillRunning(child)) {
                    ::TerminateProcess(child.process.get(), kTerminatedExitCode);
                }
            }
        }
        JoinThreads([](const Child&) { return true; });
        if (!logFolder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(PathFromUtf8(logFolder_), ignored);
        }
    }

    LaunchResult Launch(const std::string& commandLine, ProcessEndedHandler onEnded) override {
        JoinThreads([](const Child& child) { return child.finished; });

        const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
        if (candidates.empty()) {
            return NotLaunched("the command line is empty");
        }
        const std::string& program = candidates.front().program;

        std::unique_lock lock(mutex_);
        const ProcessHandle handle{++lastId_};
        if (logFolder_.empty()) {
            logFolder_ = MakeLogFolder();
        }
        std::string logPath;
        UniqueHandle output;
        if (!logFolder_.empty()) {
            logPath = logFolder_ + "\\command-" + std::to_string(handle.id) + ".log";
            output = OpenInheritable(ToWide(logPath), GENERIC_WRITE, CREATE_ALWAYS);
            if (!output) {
                logPath.clear();
            }
        }
        if (!output) {
            output = OpenInheritable(L"NUL", GENERIC_WRITE, OPEN_EXISTING);
        }
        const UniqueHandle input = OpenInheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);

        std::vector<HANDLE> inherited;
        for (const UniqueHandle* h : std::initializer_list<const UniqueHandle*>{&input, &output}) {
            if (*h) {
                inherited.push_back(h->get());
            }
        }
        const InheritedHandles inheritedList(inherited);

        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof(startup);
        startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
        startup.StartupInfo.wShowWindow = SW_HIDE;
        startup.StartupInfo.hStdInput = input.get();
        startup.StartupInfo.hStdOutput = output.get();
        startup.StartupInfo.hStdError = output.get();
        startup.lpAttributeList = inheritedList.get();
        DWORD flags = CREATE_NO_WINDOW;
        if (startup.lpAttributeList != nullptr) {
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        } else {
            startup.StartupInfo.cb = sizeof(STARTUPINFOW);
        }

        std::wstring line = ToWide(commandLine);  // CreateProcessW may write into it
        PROCESS_INFORMATION info{};
        if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, !inherited.empty(), flags,
                             nullptr, nullptr, &startup.StartupInfo, &info) == 0) {
            const DWORD error = ::GetLastError();
            lock.unlock();
            if (!logPath.empty()) {
                ::DeleteFileW(ToWide(logPath).c_str());
            }
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                return NotLaunched("the program \"" + program + "\" was not found");
            }
            return NotLaunched("the program \"" + program +
                               "\" could not be started: " + SystemMessage(error));
        }
        ::CloseHandle(info.hThread);

        Child& child = children_[handle.id];
        child.process = UniqueHandle(info.hProcess);
        child.logPath = logPath;
        try {
            child.waiter = std::thread([this, handle, &child, onEnded = std::move(onEnded)] {
                Wait(handle, child, onEnded);
            });
        } catch (const std::system_error& error) {
            // Without a thread to watch it, the process could never be reported: undo it.
            ::TerminateProcess(child.process.get(), kTerminatedExitCode);
            ::WaitForSingleObject(child.process.get(), INFINITE);
            children_.erase(handle.id);
            if (!logPath.empty()) {
                ::DeleteFileW(ToWide(logPath).c_str());
            }
            return NotLaunched("the program \"" + program +
                               "\" could not be watched: " + error.what());
        }
        return LaunchResult{true, handle, logPath, {}};
    }

    bool Terminate(ProcessHandle handle) override {
        JoinThreads([](const Child& child) { return child.finished; });
        const std::lock_guard lock(mutex_);
        const auto found = children_.find(handle.id);
        if (found == children_.end() || !StillRunning(found->second)) {
            return false;
        }
        return ::TerminateProcess(found->second.process.get(), kTerminatedExitCode) != 0;
    }

    void DiscardLog(ProcessHandle handle) override {
        JoinThreads([](const Child& child) { return child.finished; });
        const std::lock_guard lock(mutex_);
        const auto found = children_.find(handle.id);
        if (found == children_.end() || !found->second.ended) {
            return;
        }
        if (!found->second.logPath.empty()) {
            ::DeleteFileW(ToWide(found->second.logPath).c_str());
        }
        if (found->second.finished && !found->second.waiter.joinable()) {
            children_.erase(found);
        } else {
            found->second.logPath.clear();
            found->second.logDiscarded = true;
        }
    }

private:
    struct Child {
        UniqueHandle process;  // released once the end is recorded
        std::string logPath;
        bool ended = false;     // its end is recorded: it is never terminated again
        bool finished = false;  // its waiting thread has nothing left to do
        bool logDiscarded = false;
        std::thread waiter;
    };

    static LaunchResult NotLaunched(std::string reason) {
        return LaunchResult{false, {}, {}, std::move(reason)};
    }

    // With the lock held: true while the process runs. A process that has ended counts as ended
    // even before its waiting thread has recorded it.
    static bool StillRunning(Child& child) {
        if (!child.ended && ::WaitForSingleObject(child.process.get(), 0) != WAIT_TIMEOUT) {
            child.ended = true;
        }
        return !child.ended;
    }

    void Wait(ProcessHandle handle, Child& child, const ProcessEndedHandler& onEnded) {
        ::WaitForSingleObject(child.process.get(), INFINITE);
        DWORD code = 0;
        const bool known = ::GetExitCodeProcess(child.process.get(), &code) != 0;
        const ProcessExit exit{ProcessExit::Kind::Exited, known ? static_cast<int>(code) : -1};
        bool post = false;
        {
            const std::lock_guard lock(mutex_);
            child.ended = true;
            child.process = UniqueHandle();
            post = !closing_;
        }
        if (post && post_ && onEnded) {
            post_([onEnded, handle, exit] { onEnded(handle, exit); });
        }
        const std::lock_guard lock(mutex_);
        child.finished = true;
    }

    // Joins the waiting threads of the children that `select` picks, outside the lock (the
    // threads take it on their way out), then forgets finished children whose log is gone.
    template <typename Select>
    void JoinThreads(Select select) {
        std::vector<std::thread> threads;
        {
            const std::lock_guard lock(mutex_);
            for (auto& [id, child] : children_) {
                if (select(child) && child.waiter.joinable()) {
                    threads.push_back(std::move(child.waiter));
                }
            }
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        const std::lock_guard lock(mutex_);
        std::erase_if(children_, [](const auto& entry) {
            return entry.second.finished && entry.second.logDiscarded &&
                   !entry.second.waiter.joinable();
        });
    }

    const PostToHost post_;
    std::mutex mutex_;
    std::map<std::uint64_t, Child> children_;  // map: a child stays where its thread finds it
    std::uint64_t lastId_ = 0;
    std::string logFolder_;
    bool closing_ = false;
};

}  // namespace
}  // namespace palomix::win32

namespace palomix {

std::unique_ptr<ProcessLauncher> SystemProcessLauncher(PostToHost post) {
    return std::make_unique<win32::Win32ProcessLauncher>(std::move(post));
}

}  // namespace palomix
