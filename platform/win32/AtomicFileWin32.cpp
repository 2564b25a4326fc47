#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/win32/WideText.h"

namespace palomix {

namespace win32 {
namespace {

// A file handle, closed when it goes out of scope unless Close() was called.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (IsOpen()) {
            ::CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    bool Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

// The temporary file of a write, deleted when it goes out of scope unless it was moved over
// its target.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) {
            ::DeleteFileW(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::wstring path_;
};

[[noreturn]] void Fail(DWORD error, const std::string& path, const std::string& step) {
    throw FileError(std::error_code(static_cast<int>(error), std::system_category()), path, step);
}

// FILETIME counts 100 ns from 1601-01-01; stamps count ns from 1970-01-01.
std::int64_t UnixNanoseconds(const FILETIME& time) {
    constexpr std::int64_t kTicksFrom1601To1970 = 116'444'736'000'000'000;
    const auto ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (ticks - kTicksFrom1601To1970) * 100;
}

std::uint64_t SizeOf(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::string RandomSuffix(std::random_device& random) {
    char text[17];
    const auto value = (static_cast<std::uint64_t>(random()) << 32) ^ random();
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

void WriteAll(HANDLE file, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const DWORD chunk =
            static_cast<DWORD>(bytes.size() < (1u << 30) ? bytes.size() : (1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            Fail(::GetLastError(), path, "cannot write the temporary file");
        }
        bytes.remove_prefix(written);
    }
}

}  // namespace
}  // namespace win32

std::optional<FileStamp> StampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::ToWide(path).c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.size = win32::SizeOf(data.nFileSizeHigh, data.nFileSizeLow);
    stamp.modifiedNs = win32::UnixNanoseconds(data.ftLastWriteTime);
    stamp.changedNs = win32::UnixNanoseconds(data.ftCreationTime);
    return stamp;
}

std::optional<FileSnapshot> ReadFileSnapshot(const std::string& path) {
    win32::FileHandle file(::CreateFileW(win32::ToWide(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return std::nullopt;
        }
        win32::Fail(error, path, "cannot open it for reading");
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.Get(), &info)) {
        win32::Fail(::GetLastError(), path, "cannot examine it");
    }
    // The same fields as StampOf, so that the two compare.
    FileSnapshot snapshot;
    snapshot.stamp.size = win32::SizeOf(info.nFileSizeHigh, info.nFileSizeLow);
    snapshot.stamp.modifiedNs = win32::UnixNanoseconds(info.ftLastWriteTime);
    snapshot.stamp.changedNs = win32::UnixNanoseconds(info.ftCreationTime);

    std::string& bytes = snapshot.bytes;
    bytes.resize(static_cast<std::size_t>(snapshot.stamp.size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const std::size_t room = bytes.size() - used;
        const DWORD chunk = static_cast<DWORD>(room < (1u << 30) ? room : (1u << 30));
        DWORD n = 0;
        if (!::ReadFile(file.Get(), bytes.data() + used, chunk, &n, nullptr)) {
            win32::Fail(::GetLastError(), path, "cannot read it");
        }
        if (n == 0) {
            break;
        }
        used += n;
    }
    bytes.resize(used);
    return snapshot;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) {
        win32::Fail(ERROR_INVALID_NAME, path, "cannot write a file without a name");
    }
    const std::wstring target = win32::ToWide(path);
    const DWORD oldAttributes = ::GetFileAttributesW(target.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES &&
        (oldAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        win32::Fail(ERROR_ACCESS_DENIED, path, "cannot replace a folder");
    }

    // A name of our own beside the file (a move is only atomic within one volume), created
    // only if it does not exist yet.
    std::random_device random;
    std::optional<win32::TemporaryFile> temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; handle == INVALID_HANDLE_VALUE; ++attempt) {
        std::wstring name = target + win32::ToWide(".tmp-" + win32::RandomSuffix(random));
        handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            temporary.emplace(std::move(name));
        } else {
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_EXISTS || attempt == 100) {
                win32::Fail(error, path, "cannot create a temporary file in its folder");
            }
        }
    }
    win32::FileHandle file(handle);
    win32::WriteAll(file.Get(), bytes, path);
    if (!::FlushFileBuffers(file.Get())) {
        win32::Fail(::GetLastError(), path, "cannot flush the temporary file to the disk");
    }
    if (!file.Close()) {
        win32::Fail(::GetLastError(), path, "cannot close the temporary file");
    }
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
        // Keep the replaced file's hidden and system marks; best effort. A read-only file is
        // not made writable: the move below fails on it and the failure is reported.
        const DWORD kept = oldAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (kept != 0) {
            ::SetFileAttributesW(temporary->Path().c_str(), kept);
        }
    }
    if (!::MoveFileExW(temporary->Path().c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        win32::Fail(::GetLastError(), path, "cannot move the temporary file over it");
    }
    temporary->Keep();
}

}  // namespace palomix
