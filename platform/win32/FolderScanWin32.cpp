// One pass over a folder with FindFirstFileExW's basic information: the find data holds the
// size and the last write time, so no entry is opened.
#include <windows.h>

#include <string>

#include "platform/FolderScan.h"
#include "platform/win32/WideText.h"

namespace palomix {

namespace {

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochInFileTime = 116'444'736'000'000'000;

std::int64_t NanosecondsOf(const FILETIME& time) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - kUnixEpochInFileTime) * 100;
}

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            ::FindClose(handle_);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

std::error_code LastError() {
    return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
}

FolderEntry EntryOf(const WIN32_FIND_DATAW& data, const std::string& name) {
    FolderEntry entry;
    entry.name = name;
    const bool reparse = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        entry.kind = reparse ? FolderEntry::Kind::Other : FolderEntry::Kind::Folder;
        return entry;
    }
    entry.kind = FolderEntry::Kind::File;
    entry.size = (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.modifiedNs = NanosecondsOf(data.ftLastWriteTime);
    return entry;
}

}  // namespace

std::error_code ScanFolder(const std::string& folder,
                           const std::function<void(const FolderEntry& entry)>& visit) {
    std::wstring pattern = win32::ToWide(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    const FindHandle find(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                             FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH));
    if (find.Get() == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    do {
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) {
            continue;
        }
        const std::string text = win32::FromWide(name);
        visit(EntryOf(data, text));
    } while (::FindNextFileW(find.Get(), &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) {
        return LastError();
    }
    return {};
}

}  // namespace palomix
