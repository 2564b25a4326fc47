#include <windows.h>
// After windows.h:
#include <aclapi.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

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
    constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
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

// The temporary files of writes to a file are "<name>.tmp-" and 16 hexadecimal digits. While
// its write goes on, a temporary file is open without delete sharing; a writer that was killed
// leaves it behind, closed.
constexpr std::wstring_view kTemporaryMark = L".tmp-";

bool IsTemporaryName(std::wstring_view name, std::wstring_view prefix) {
    if (name.size() != prefix.size() + 16 ||
        ::CompareStringOrdinal(name.data(), static_cast<int>(prefix.size()), prefix.data(),
                               static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    for (const wchar_t c : name.substr(prefix.size())) {
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) {
            return false;
        }
    }
    return true;
}

// The owner of the object, or the user, of this process's token: whoever this process makes
// files as.
bool IsOurs(PSID owner) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    const FileHandle tokenHandle(token);
    const auto matches = [&](TOKEN_INFORMATION_CLASS kind) {
        DWORD size = 0;
        ::GetTokenInformation(token, kind, nullptr, 0, &size);
        if (size == 0) {
            return false;
        }
        std::vector<unsigned char> buffer(size);
        if (!::GetTokenInformation(token, kind, buffer.data(), size, &size)) {
            return false;
        }
        const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                           : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
        return ::EqualSid(owner, sid) != FALSE;
    };
    return matches(TokenUser) || matches(TokenOwner);
}

// A temporary file touched this recently may be between the close and the move of a live
// writer, when no handle holds it.
constexpr std::int64_t kYoungNs = 10'000'000'000;

// Removes the temporary file at path when its writer is gone: nobody has it open (it opens
// for deletion without any sharing), it was last written more than kYoungNs ago, and it
// belongs to us. The file checked is the file deleted: the deletion goes through its handle.
void RemoveIfStale(const std::wstring& path, std::int64_t nowNs) {
    const FileHandle file(::CreateFileW(path.c_str(), DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES,
                                        0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
    if (!file.IsOpen()) {
        return;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        nowNs - UnixNanoseconds(info.ftLastWriteTime) < kYoungNs) {
        return;
    }
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return;
    }
    const std::unique_ptr<void, HLOCAL (*)(HLOCAL)> descriptorHolder(descriptor, ::LocalFree);
    if (owner == nullptr || !IsOurs(owner)) {
        return;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition);
}

std::int64_t NowNs() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    return UnixNanoseconds(now);
}

// Best effort, before a write: the stale temporary files of earlier writes to the same file
// (a writer killed half-way leaves its file behind) are removed, so they neither pile up nor
// take the room the new write needs.
void RemoveStaleTemporaryFiles(const std::wstring& target) {
    const auto slash = target.find_last_of(L"\\/");
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring prefix = target.substr(folder.size()) + std::wstring(kTemporaryMark);
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = target + std::wstring(kTemporaryMark) + L"*";
    HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::unique_ptr<void, BOOL (*)(HANDLE)> searchHolder(search, ::FindClose);
    const std::int64_t nowNs = NowNs();
    do {
        if (IsTemporaryName(found.cFileName, prefix)) {
            RemoveIfStale(folder + found.cFileName, nowNs);
        }
    } while (::FindNextFileW(search, &found));
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

    win32::RemoveStaleTemporaryFiles(target);

    // A name of our own beside the file (a move is only atomic within one volume), created
    // only if it does not exist yet, and open without delete sharing while it is written.
    std::random_device random;
    std::optional<win32::TemporaryFile> temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; handle == INVALID_HANDLE_VALUE; ++attempt) {
        std::wstring name = target + std::wstring(win32::kTemporaryMark) +
                            win32::ToWide(win32::RandomSuffix(random));
        handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
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
