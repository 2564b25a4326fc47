// The system calls of the launcher on Windows: the program found as CreateProcessW finds it
// (SearchPathW, ".exe" added to a name without an extension), then started with that path as
// lpApplicationName and the command line `"path" arguments`, so that its C runtime sees
// exactly the arguments after the program, even when the line named a path with blanks
// without quotes. No console window, hidden, with this program's current folder and
// environment; standard input is the null device, standard output and error go to a pipe that
// the launcher reads into the command's log file, and only those two handles are inherited.
//
// Every command runs in a job object of its own, assigned while the process is still
// suspended, so that everything it starts is in the job too: a stop terminates the job, and
// the job's kill-on-close limit ends the command's processes when this program ends, however
// it ends. The process handle is kept until the end has been recorded, so the program is
// never confused with a later process that reuses its id.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/LauncherCore.h"
#include "platform/win32/WideText.h"

namespace palomix::win32 {
namespace {

// The exit code of a process ended by a stop: not 0, so that it never reads as a success.
constexpr UINT kStoppedExitCode = 1;
constexpr const wchar_t* kLockName = L"owner.lock";
// A log folder without its lock file is being made, or its maker was killed while making it;
// only one that old is taken for abandoned.
constexpr auto kUnlockedFolderAge = std::chrono::minutes(10);

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

UniqueHandle OpenInheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return UniqueHandle(::CreateFileW(path.c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The reading end of a command's output pipe: a named pipe of the launcher's own, read with
// overlapped reads, so that a wait for output also ends when Finish is called. From then on
// only what is in the pipe is read, and no more than the program itself can have left there.
class PipeOutput final : public NativeOutput {
public:
    PipeOutput(UniqueHandle pipe, UniqueHandle readDone, UniqueHandle finished)
        : pipe_(std::move(pipe)), readDone_(std::move(readDone)), finished_(std::move(finished)) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        if (!finishing_) {
            const std::optional<DWORD> read = ReadOrFinish(buffer, size);
            if (read) {
                return *read;
            }
        }
        DWORD available = 0;
        if (leftAfterEnd_ == 0 ||
            ::PeekNamedPipe(pipe_.get(), nullptr, 0, nullptr, &available, nullptr) == 0 ||
            available == 0) {
            return 0;
        }
        const DWORD want =
            static_cast<DWORD>(std::min<std::size_t>({size, available, leftAfterEnd_}));
        OVERLAPPED overlapped{};
        overlapped.hEvent = readDone_.get();
        DWORD read = 0;
        if ((::ReadFile(pipe_.get(), buffer, want, nullptr, &overlapped) == 0 &&
             ::GetLastError() != ERROR_IO_PENDING) ||
            ::GetOverlappedResult(pipe_.get(), &overlapped, &read, TRUE) == 0) {
            return 0;
        }
        leftAfterEnd_ -= std::min<std::size_t>(leftAfterEnd_, read);
        return read;
    }

    void Finish() override { ::SetEvent(finished_.get()); }

private:
    // Waits for output or for Finish: the bytes read (0: every writer has gone), or nullopt once
    // Finish was called.
    std::optional<DWORD> ReadOrFinish(char* buffer, std::size_t size) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = readDone_.get();
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
        if (::ReadFile(pipe_.get(), buffer, want, nullptr, &overlapped) == 0 &&
            ::GetLastError() != ERROR_IO_PENDING) {
            return 0;  // the pipe is broken: every writer has gone
        }
        const HANDLE waits[2] = {readDone_.get(), finished_.get()};
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            finishing_ = true;
            ::CancelIoEx(pipe_.get(), &overlapped);
        }
        DWORD read = 0;
        if (::GetOverlappedResult(pipe_.get(), &overlapped, &read, TRUE) != 0 && read > 0) {
            return read;
        }
        return finishing_ ? std::nullopt : std::optional<DWORD>(0);
    }

    // After the end, no more than this is read: what the program wrote is in the pipe by then,
    // and something it left running may write on without end.
    static constexpr std::size_t kAfterEnd = 4 * 1024 * 1024;

    UniqueHandle pipe_;
    UniqueHandle readDone_;
    UniqueHandle finished_;
    bool finishing_ = false;
    std::size_t leftAfterEnd_ = kAfterEnd;
};

// A command's log file, written by the launcher alone; others may read it, and remove it.
class HandleLogFile final : public LogFileWriter {
public:
    explicit HandleLogFile(UniqueHandle file) : file_(std::move(file)) {}

    bool Append(std::string_view bytes) override {
        while (!bytes.empty()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
            if (::WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr) == 0 ||
                written == 0) {
                return false;
            }
            bytes.remove_prefix(written);
        }
        return true;
    }

    bool Rewrite(std::uint64_t offset, std::string_view bytes) override {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        return ::SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN) != 0 && Append(bytes) &&
               ::SetEndOfFile(file_.get()) != 0;
    }

private:
    UniqueHandle file_;
};

// A pipe for a command's output: its reading end (overlapped, not inherited) and its writing
// end (inheritable, for the command). Both empty on failure.
std::pair<UniqueHandle, UniqueHandle> NewOutputPipe() {
    std::random_device random;
    const std::wstring name = L"\\\\.\\pipe\\palomix-output-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(random()) + L"-" + std::to_wstring(random());
    UniqueHandle reading(::CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
        64 * 1024, 0, nullptr));
    if (!reading) {
        return {UniqueHandle(), UniqueHandle()};
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    UniqueHandle writing(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!writing) {
        return {UniqueHandle(), UniqueHandle()};
    }
    return {std::move(reading), std::move(writing)};
}

// Processes of the job still running.
DWORD ActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                    sizeof accounting, nullptr) == 0) {
        return 0;
    }
    return accounting.ActiveProcesses;
}

// A job whose processes all end when its last handle is closed. Empty on failure.
UniqueHandle NewJob() {
    UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                         sizeof limits) == 0) {
        return UniqueHandle();
    }
    return job;
}

// The jobs of commands that ended while processes they started still ran: kept, so that those
// run on until the launcher closes, and then end with the last handle of their job.
class LeftoverJobs {
public:
    void Keep(UniqueHandle job) {
        const std::lock_guard lock(mutex_);
        std::erase_if(jobs_,
                      [](const UniqueHandle& kept) { return ActiveProcesses(kept.get()) == 0; });
        jobs_.push_back(std::move(job));
    }

private:
    std::mutex mutex_;
    std::vector<UniqueHandle> jobs_;
};

class Win32Process final : public NativeProcess {
public:
    Win32Process(UniqueHandle process, UniqueHandle job, LeftoverJobs& leftovers)
        : process_(std::move(process)), job_(std::move(job)), leftovers_(leftovers) {}

    Win32Process(const Win32Process&) = delete;
    Win32Process& operator=(const Win32Process&) = delete;

    ~Win32Process() override {
        if (job_ && ActiveProcesses(job_.get()) > 0) {
            leftovers_.Keep(std::move(job_));
        }
    }

    void WaitForEnd() override { ::WaitForSingleObject(process_.get(), INFINITE); }

    bool HasEnded() override {
        return !process_ || ::WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT;
    }

    ProcessExit Release() override {
        DWORD code = 0;
        const bool known = ::GetExitCodeProcess(process_.get(), &code) != 0;
        process_ = UniqueHandle();
        return ProcessExit{ProcessExit::Kind::Exited, known ? static_cast<int>(code) : -1};
    }

    // The job holds the program and everything it started, also after the program itself
    // has ended; a program that could not be put into a job is terminated alone.
    void Stop(bool /*force*/) override {
        if (job_) {
            ::TerminateJobObject(job_.get(), kStoppedExitCode);
        } else if (process_) {
            ::TerminateProcess(process_.get(), kStoppedExitCode);
        }
    }

private:
    UniqueHandle process_;  // released once the end is recorded
    UniqueHandle job_;
    LeftoverJobs& leftovers_;
};

class FileHold final : public FolderHold {
public:
    explicit FileHold(UniqueHandle file) : file_(std::move(file)) {}

private:
    UniqueHandle file_;
};

class Win32Launcher final : public NativeLauncher {
public:
    // As CreateProcessW finds the program of a command line: ".exe" added to a name without
    // an extension (and only then looked for), searched where the system searches.
    std::string FindProgram(const std::string& name) override {
        std::wstring wide = ToWide(name);
        const std::size_t nameStart = wide.find_last_of(L"\\/:");
        const std::wstring_view fileName =
            std::wstring_view(wide).substr(nameStart == std::wstring::npos ? 0 : nameStart + 1);
        if (fileName.find(L'.') == std::wstring_view::npos) {
            wide += L".exe";
        }
        std::wstring found(MAX_PATH, L'\0');
        DWORD length = ::SearchPathW(nullptr, wide.c_str(), nullptr,
                                     static_cast<DWORD>(found.size()), found.data(), nullptr);
        if (length >= found.size()) {
            found.resize(length);
            length = ::SearchPathW(nullptr, wide.c_str(), nullptr, static_cast<DWORD>(found.size()),
                                   found.data(), nullptr);
        }
        if (length == 0 || length >= found.size()) {
            return {};
        }
        found.resize(length);
        const DWORD attributes = ::GetFileAttributesW(found.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return {};
        }
        return FromWide(found);
    }

    NativeStart Start(const NativeCommand& command) override {
        NativeStart result;
        UniqueHandle log;
        UniqueHandle pipe;
        UniqueHandle output;
        UniqueHandle readDone(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        UniqueHandle finished(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!command.logPath.empty()) {
            log =
                UniqueHandle(::CreateFileW(ToWide(command.logPath).c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            result.logOpened = static_cast<bool>(log);
            if (log && readDone && finished) {
                std::tie(pipe, output) = NewOutputPipe();
            }
        }
        const bool piped = static_cast<bool>(output);
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
        DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED;
        if (startup.lpAttributeList != nullptr) {
            flags |= EXTENDED_STARTUPINFO_PRESENT;
        } else {
            startup.StartupInfo.cb = sizeof(STARTUPINFOW);
        }
        if (command.options.lowPriority) {
            flags |= BELOW_NORMAL_PRIORITY_CLASS;
        }

        const std::wstring application = ToWide(command.program);
        // Argument 0 is the program as found, in quotes (a Windows path holds none), so the
        // arguments are exactly those of the text after it.
        std::wstring line = L"\"" + application + L"\"" + ToWide(command.arguments);
        PROCESS_INFORMATION info{};
        if (::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, !inherited.empty(),
                             flags, nullptr, nullptr, &startup.StartupInfo, &info) == 0) {
            result.systemCode = static_cast<int>(::GetLastError());
            result.reason = "the program \"" + command.program + "\" could not be started: " +
                            SystemMessage(static_cast<DWORD>(result.systemCode));
            return result;
        }
        UniqueHandle process(info.hProcess);
        const UniqueHandle thread(info.hThread);
        if (command.options.lowPriority) {
            ::SetPriorityClass(process.get(), BELOW_NORMAL_PRIORITY_CLASS);  // as asked, surely
        }
        // In its job before it runs, so that nothing it starts escapes the job. Where the
        // system refuses a job (an old Windows inside another job), it runs without one.
        UniqueHandle job = NewJob();
        if (job && ::AssignProcessToJobObject(job.get(), process.get()) == 0) {
            job = UniqueHandle();
        }
        if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
            const DWORD error = ::GetLastError();
            ::TerminateProcess(process.get(), kStoppedExitCode);
            ::WaitForSingleObject(process.get(), INFINITE);
            result.systemCode = static_cast<int>(error);
            result.reason = "the program \"" + command.program +
                            "\" could not be started: " + SystemMessage(error);
            return result;
        }
        result.process =
            std::make_unique<Win32Process>(std::move(process), std::move(job), leftovers_);
        if (piped) {
            result.output = std::make_unique<PipeOutput>(std::move(pipe), std::move(readDone),
                                                         std::move(finished));
            result.log = std::make_unique<HandleLogFile>(std::move(log));
        }
        return result;
    }

    // A terminated job is gone at once: no grace.
    std::chrono::milliseconds StopGrace() const override { return std::chrono::milliseconds(0); }

    std::string TempFolder() override {
        std::wstring base(MAX_PATH + 1, L'\0');
        const DWORD length = ::GetTempPathW(static_cast<DWORD>(base.size()), base.data());
        if (length == 0 || length > base.size()) {
            return {};
        }
        base.resize(length);
        return FromWide(base);
    }

    // The folder (in the user's own temporary folder) with its lock file, open without
    // sharing: no one else can open it while this program runs.
    std::unique_ptr<FolderHold> HoldNewFolder(const std::string& path) override {
        const std::wstring folder = ToWide(path);
        if (::CreateDirectoryW(folder.c_str(), nullptr) == 0) {
            return nullptr;
        }
        UniqueHandle lock(::CreateFileW((folder + L"\\" + kLockName).c_str(),
                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!lock) {
            ::RemoveDirectoryW(folder.c_str());
            return nullptr;
        }
        return std::make_unique<FileHold>(std::move(lock));
    }

    // Its lock file can be opened, so no live owner holds it open.
    bool IsAbandonedFolder(const std::string& path) override {
        const std::wstring folder = ToWide(path);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (::GetFileAttributesExW(folder.c_str(), GetFileExInfoStandard, &data) == 0 ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return false;
        }
        const UniqueHandle lock(::CreateFileW((folder + L"\\" + kLockName).c_str(), GENERIC_READ, 0,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
        if (lock) {
            return true;
        }
        if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
            return false;  // held by its live owner (a sharing violation), or unreadable
        }
        ULARGE_INTEGER written{};
        written.LowPart = data.ftLastWriteTime.dwLowDateTime;
        written.HighPart = data.ftLastWriteTime.dwHighDateTime;
        FILETIME nowTime{};
        ::GetSystemTimeAsFileTime(&nowTime);
        ULARGE_INTEGER now{};
        now.LowPart = nowTime.dwLowDateTime;
        now.HighPart = nowTime.dwHighDateTime;
        return now.QuadPart > written.QuadPart &&
               std::chrono::microseconds((now.QuadPart - written.QuadPart) / 10) >
                   kUnlockedFolderAge;
    }

    // Nothing to do: a command's processes are in its job, which the system ended with the
    // launcher's last handle to it.
    void EndProcessesOf(std::string_view /*launcherId*/) override {}

private:
    LeftoverJobs leftovers_;
};

}  // namespace
}  // namespace palomix::win32

namespace palomix {

std::unique_ptr<NativeLauncher> MakeNativeLauncher() {
    return std::make_unique<win32::Win32Launcher>();
}

}  // namespace palomix
