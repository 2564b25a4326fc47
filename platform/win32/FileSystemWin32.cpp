// File-system services on Windows: FindFirstFileExW/FindNextFileW for listings and look-ups,
// GetFileAttributesW for the existence tests, CreateDirectoryW for folder trees. Times go
// through FileTimeToLocalFileTime and FileTimeToDosDateTime, so only what a DOS date-time
// can hold is valid. Folders are listed in the order the file system returns them.
#include <windows.h>

#include <array>
#include <string>
#include <system_error>

#include <random>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/win32/WideText.h"

namespace palomix {

namespace {

// An owned find handle.
class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (Valid()) {
            ::FindClose(handle_);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// A file time as a local DateTime through the DOS date-time rules.
void ConvertTime(const FILETIME& time, bool& has, DateTime& value) {
    has = false;
    value = 0;
    FILETIME local{};
    if (!::FileTimeToLocalFileTime(&time, &local)) {
        return;
    }
    WORD dosDate = 0;
    WORD dosTime = 0;
    if (!::FileTimeToDosDateTime(&local, &dosDate, &dosTime)) {
        return;
    }
    const std::optional<DateTime> converted =
        DosDateTimeOf(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0F, dosDate & 0x1F, dosTime >> 11,
                      (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2);
    if (converted) {
        has = true;
        value = *converted;
    }
}

bool IsDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

bool EndsInSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

bool HasWildcard(const std::string& path) {
    return path.find_first_of("*?") != std::string::npos;
}

// The data of one find record, without the name.
struct FindRecord {
    DWORD attributes = 0;
    std::int64_t size = 0;
    FILETIME creation{};
    FILETIME lastAccess{};
    FILETIME lastWrite{};
    std::array<wchar_t, 14> alternateName{};
};

FindRecord RecordOf(const WIN32_FIND_DATAW& data) {
    FindRecord record;
    record.attributes = data.dwFileAttributes;
    record.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                            data.nFileSizeLow);
    record.creation = data.ftCreationTime;
    record.lastAccess = data.ftLastAccessTime;
    record.lastWrite = data.ftLastWriteTime;
    for (std::size_t i = 0; i < record.alternateName.size(); ++i) {
        record.alternateName[i] = data.cAlternateFileName[i];
    }
    record.alternateName.back() = L'\0';
    return record;
}

// Fills everything but FileName, which the caller has set.
void FillFromRecord(const FindRecord& record, FileEntryInfo& info) {
    info.AlternateName = record.alternateName[0] != L'\0'
                             ? win32::FromWide(record.alternateName.data())
                             : info.FileName;
    info.Size = record.size;
    ConvertTime(record.creation, info.HasCreationTime, info.CreationTime);
    ConvertTime(record.lastWrite, info.HasLastWriteTime, info.LastWriteTime);
    ConvertTime(record.lastAccess, info.HasLastAccessTime, info.LastAccessTime);
    info.IsDirectory = (record.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.IsReadOnly = (record.attributes & FILE_ATTRIBUTE_READONLY) != 0;
    info.IsHidden = (record.attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    info.IsSystem = (record.attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    info.IsArchive = (record.attributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
}

DWORD AttributesOf(const std::string& path) {
    if (path.empty()) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return ::GetFileAttributesW(win32::ToWide(path).c_str());
}

}  // namespace

bool PathExists(const std::string& path) {
    return AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::error_code MakeFolderTree(const std::string& path) {
    try {
        if (path.empty()) {
            return std::make_error_code(std::errc::no_such_file_or_directory);
        }
        if (IsFolder(path)) {
            return {};
        }
        const std::wstring wide = win32::ToWide(path);
        std::error_code first;
        for (std::size_t i = 1; i <= wide.size(); ++i) {
            const bool atEnd = i == wide.size();
            if (!atEnd && wide[i] != L'\\' && wide[i] != L'/') {
                continue;
            }
            const wchar_t last = wide[i - 1];
            if (last == L'\\' || last == L'/' || last == L':') {
                continue;
            }
            if (::CreateDirectoryW(wide.substr(0, i).c_str(), nullptr) == 0) {
                const DWORD error = ::GetLastError();
                if (error != ERROR_ALREADY_EXISTS && !first) {
                    first = std::error_code(static_cast<int>(error), std::system_category());
                }
            }
        }
        if (IsFolder(path)) {
            return {};
        }
        return first ? first : std::make_error_code(std::errc::not_a_directory);
    } catch (...) {
        return std::make_error_code(std::errc::invalid_argument);
    }
}

namespace {

// The volume and file index of a file, which name it whatever path reaches it.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE file = ::CreateFileW(win32::ToWide(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    return ok;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return !a.empty() && !b.empty() && FileIdentity(a, first) && FileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

std::error_code RenameOver(const std::string& from, const std::string& to) {
    if (::MoveFileExW(win32::ToWide(from).c_str(), win32::ToWide(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        return {static_cast<int>(::GetLastError()), std::system_category()};
    }
    return {};
}

std::error_code CreateNewFile(const std::string& path) {
    const HANDLE file = ::CreateFileW(win32::ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            return std::make_error_code(std::errc::file_exists);
        }
        return {static_cast<int>(error), std::system_category()};
    }
    ::CloseHandle(file);
    return {};
}

std::optional<std::string> FileIdentityOf(const std::string& path) {
    const HANDLE file = ::CreateFileW(
        win32::ToWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(file, &info) != 0;
    ::CloseHandle(file);
    if (!known) {
        return std::nullopt;
    }
    return std::to_string(info.dwVolumeSerialNumber) + ":" +
           std::to_string((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
                          info.nFileIndexLow);
}

std::error_code RemoveFile(const std::string& path) {
    if (::DeleteFileW(win32::ToWide(path).c_str()) == 0) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return {static_cast<int>(error), std::system_category()};
        }
    }
    return {};
}

std::error_code CopyModificationTime(const std::string& from, const std::string& to) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(win32::ToWide(from).c_str(), GetFileExInfoStandard, &data) == 0) {
        return {static_cast<int>(::GetLastError()), std::system_category()};
    }
    const HANDLE file = ::CreateFileW(win32::ToWide(to).c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {static_cast<int>(::GetLastError()), std::system_category()};
    }
    const bool set = ::SetFileTime(file, nullptr, nullptr, &data.ftLastWriteTime) != 0;
    const DWORD error = set ? 0 : ::GetLastError();
    ::CloseHandle(file);
    return set ? std::error_code{}
               : std::error_code(static_cast<int>(error), std::system_category());
}

bool IsOnFatFileSystem(const std::string& path) {
    std::array<wchar_t, MAX_PATH + 1> root{};
    if (::GetVolumePathNameW(win32::ToWide(path).c_str(), root.data(),
                             static_cast<DWORD>(root.size())) == 0) {
        return false;
    }
    std::array<wchar_t, MAX_PATH + 1> system{};
    if (::GetVolumeInformationW(root.data(), nullptr, 0, nullptr, nullptr, nullptr, system.data(),
                                static_cast<DWORD>(system.size())) == 0) {
        return false;
    }
    const std::wstring name(system.data());
    return name == L"FAT" || name == L"FAT32" || name == L"FAT12" || name == L"FAT16";
}

std::optional<std::int64_t> FileSizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(win32::ToWide(path).c_str(), GetFileExInfoStandard, &data) == 0 ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool FolderAcceptsNewFiles(const std::string& folder) {
    if (!IsFolder(folder)) {
        return false;
    }
    std::random_device random;
    // A name that is taken already is no answer: try another one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::wstring probe = win32::ToWide(
            JoinPath(folder, ".palomix-write-probe-" + std::to_string(::GetCurrentProcessId()) +
                                 "-" + std::to_string(random())));
        // Removed by the system as the handle closes.
        const HANDLE file =
            ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

std::string FullPathOf(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    const std::wstring wide = win32::ToWide(path);
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD written =
        ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (written == 0 || written >= buffer.size()) {
        return path;
    }
    return win32::FromWide(std::wstring_view(buffer.data(), written));
}

std::optional<FileEntryInfo> LookUpEntry(const std::string& path) {
    // A final separator fails the find (a whole drive); a wildcard would make it a search.
    if (path.empty() || EndsInSeparator(path) || HasWildcard(path)) {
        return std::nullopt;
    }
    WIN32_FIND_DATAW data{};
    const FindHandle find(::FindFirstFileExW(win32::ToWide(path).c_str(), FindExInfoStandard, &data,
                                             FindExSearchNameMatch, nullptr, 0));
    if (!find.Valid()) {
        return std::nullopt;
    }
    FileEntryInfo info;
    info.FileName = win32::FromWide(data.cFileName);
    FillFromRecord(RecordOf(data), info);
    return info;
}

// --- FolderListing ---------------------------------------------------------------------

struct FolderListing::Impl {
    struct Entry {
        std::string name;
        FindRecord record;
    };
    std::vector<Entry> entries;
    int lastError = 0;
};

FolderListing::FolderListing() : impl_(std::make_unique<Impl>()) {}

FolderListing::~FolderListing() = default;

void FolderListing::Clear() {
    impl_->entries.clear();
}

bool FolderListing::Read(const std::string& folder) {
    Clear();
    return Append(folder);
}

bool FolderListing::Append(const std::string& folder) {
    impl_->lastError = 0;
    if (folder.empty()) {
        impl_->lastError = ERROR_PATH_NOT_FOUND;
        return false;
    }
    const std::wstring pattern = win32::ToWide(JoinPath(folder, "*", PathStyle::Windows));
    WIN32_FIND_DATAW data{};
    const FindHandle find(::FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &data,
                                             FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH));
    if (!find.Valid()) {
        // An empty drive root has no "." entry and finds nothing: that is an empty listing.
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return true;
        }
        impl_->lastError = static_cast<int>(error);
        return false;
    }
    do {
        if (!IsDotOrDotDot(data.cFileName)) {
            impl_->entries.push_back(Impl::Entry{win32::FromWide(data.cFileName), RecordOf(data)});
        }
    } while (::FindNextFileW(find.Get(), &data));
    return true;
}

std::size_t FolderListing::Count() const {
    return impl_->entries.size();
}

int FolderListing::LastError() const {
    return impl_->lastError;
}

std::size_t LongestOpenablePath() {
    // Converters built with long-path support open paths of up to this many UTF-16 units;
    // a UTF-8 byte count is a safe bound above it.
    return 32767;
}

std::string_view FolderListing::Name(std::size_t index) const {
    return impl_->entries[index].name;
}

bool FolderListing::IsWalkableFolder(std::size_t index) const {
    const DWORD attributes = impl_->entries[index].record.attributes;
    // Junctions and symbolic links to folders are listed but not walked, so a link loop
    // cannot trap the search.
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool FolderListing::IsPlainFile(std::size_t index) const {
    const DWORD attributes = impl_->entries[index].record.attributes;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

void FolderListing::ReadInfo(std::size_t index, FileEntryInfo& info) const {
    const Impl::Entry& entry = impl_->entries[index];
    info = FileEntryInfo{};
    info.FileName = entry.name;
    FillFromRecord(entry.record, info);
}

}  // namespace palomix
