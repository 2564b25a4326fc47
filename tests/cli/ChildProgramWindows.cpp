#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "ChildProgram.h"
#include "platform/CommandLineSplit.h"
#include "platform/win32/WideText.h"

namespace palomix::testing {
namespace {

// A file opened for a child's standard stream, inheritable, closed when it goes.
class InheritableFile {
public:
    InheritableFile(const std::string& path, DWORD access, DWORD disposition) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        handle_ =
            ::CreateFileW(win32::ToWide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~InheritableFile() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle_);
        }
    }
    InheritableFile(const InheritableFile&) = delete;
    InheritableFile& operator=(const InheritableFile&) = delete;

    HANDLE get() const { return handle_; }
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::string FromTextMode(std::string text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lines += text[i];
        }
    }
    return lines;
}

// Process handles by process id, kept open until waited for or until the tests's end.
struct ChildPrograms::Processes {
    std::map<long, HANDLE> handles;
    ~Processes() {
        for (const auto& [id, handle] : handles) {
            ::CloseHandle(handle);
        }
    }
};

ChildPrograms::ChildPrograms() : processes_(std::make_unique<Processes>()) {}
ChildPrograms::~ChildPrograms() = default;

long ChildPrograms::Start(const std::vector<std::string>& arguments, const std::string& folder,
                          const std::string& inFile, const std::string& outFile,
                          const std::string& errFile) {
    const InheritableFile input(inFile.empty() ? "NUL" : inFile, GENERIC_READ, OPEN_EXISTING);
    const InheritableFile output(outFile, GENERIC_WRITE, CREATE_ALWAYS);
    const InheritableFile error(errFile, GENERIC_WRITE, CREATE_ALWAYS);
    if (!input.ok() || !output.ok() || !error.ok()) {
        return -1;
    }
    // The command line as the child's C runtime splits it back into the arguments.
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) {
            line += ' ';
        }
        line += QuoteArgument(argument);
    }
    std::wstring wideLine = win32::ToWide(line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output.get();
    startup.hStdError = error.get();
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(win32::ToWide(arguments[0]).c_str(), wideLine.data(), nullptr, nullptr,
                          TRUE, CREATE_NO_WINDOW, nullptr, win32::ToWide(folder).c_str(), &startup,
                          &process)) {
        return -1;
    }
    ::CloseHandle(process.hThread);
    const long id = static_cast<long>(process.dwProcessId);
    processes_->handles[id] = process.hProcess;
    return id;
}

ChildEnd ChildPrograms::Wait(long id) {
    ChildEnd end;
    const auto found = processes_->handles.find(id);
    if (found == processes_->handles.end()) {
        return end;
    }
    const HANDLE handle = found->second;
    processes_->handles.erase(found);
    DWORD code = 0;
    if (::WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0 &&
        ::GetExitCodeProcess(handle, &code)) {
        end.exitCode = static_cast<int>(code);
    }
    ::CloseHandle(handle);
    return end;
}

}  // namespace palomix::testing
