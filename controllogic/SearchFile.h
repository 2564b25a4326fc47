// Recursive file search: TSearchFile reports every entry of a folder, or of a folder and
// all folders below it, whose name matches a pattern, one event call per entry. For the
// walk through the tree it owns a TSearchDir, which visits a folder and its subfolders
// breadth-first and reports each folder.
//
// Order: with Recursive, the whole tree is walked first and the folder list built (the
// base folder, then every folder of the next level, ...; the folders of one parent in the
// order of the parent's listing); then each listed folder's matching entries are reported,
// folder by folder. Each folder is read once: the entries reported are those the walk read.
// Folders match the pattern like files: with "*.*" every subfolder is reported through OnFind
// too. Symbolic links (and reparse points on Windows) are reported but never walked into.
//
// Patterns match as on Windows: '*' and '?', letter case ignored; "*.*" matches every name,
// names without a dot included; "*." matches names without a dot; '?' at the end of a name
// or before its dot may match nothing.
//
// Handlers get the entry's full path and a const reference to its data. TSearchFileData
// fetches sizes, times and attributes on first use only, so a handler that needs only the
// name costs no file-status call. A copy of a TSearchFileData is complete and independent.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace palomix {

class TSearchDir;
class TSearchFile;

// The description of one entry. Accessors fetch the data the first time any of them
// (other than FileName) is called.
class TSearchFileData {
public:
    // All empty: empty names, size 0, every flag false (the data of a base folder that
    // cannot be looked up, such as a root).
    TSearchFileData() = default;
    explicit TSearchFileData(FileEntryInfo info);

    // A copy is always complete: the source's data is fetched before copying.
    TSearchFileData(const TSearchFileData& other);
    TSearchFileData& operator=(const TSearchFileData& other);
    TSearchFileData(TSearchFileData&& other) noexcept;
    TSearchFileData& operator=(TSearchFileData&& other) noexcept;
    ~TSearchFileData() = default;

    const std::string& FileName() const { return info_.FileName; }
    const std::string& AlternateName() const;
    std::int64_t Size() const;
    bool HasCreationTime() const;
    DateTime CreationTime() const;
    bool HasLastWriteTime() const;
    DateTime LastWriteTime() const;
    bool HasLastAccessTime() const;
    DateTime LastAccessTime() const;
    bool IsDirectory() const;
    // IsDirectory, but answered from the folder listing without fetching anything for a plain
    // file (the common case when a large tree is searched).
    bool IsFolderOrLinkToOne() const;
    bool IsReadOnly() const;
    bool IsHidden() const;
    bool IsSystem() const;
    bool IsArchive() const;

    // Everything at once (fetched if needed).
    const FileEntryInfo& Info() const;

private:
    friend class TSearchDir;
    friend class TSearchFile;

    // Makes this the data of entry `index` of `listing`, to be fetched on first use.
    void BindTo(const FolderListing& listing, std::size_t index);
    void Load() const;

    mutable FileEntryInfo info_;
    mutable const FolderListing* listing_ = nullptr;
    std::size_t index_ = 0;
};

// Events. The sender comes first; the bool& parameters are in-and-out flags through which
// a handler steers the search.
using TSearchDirEvent =
    std::function<void(TSearchDir& Sender, const std::string& Name, const TSearchFileData& Data,
                       bool& IgnoreSubDir, bool& Continue)>;
using TFindFileEvent = std::function<void(TSearchFile& Sender, const std::string& Name,
                                          const TSearchFileData& Data, bool& Continue)>;
using TFindDirEvent =
    std::function<void(TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
                       bool& Skip, bool& IgnoreSubDir)>;
// A folder of the search that could not be listed, with the system's error code; without a
// handler such folders are passed over without a word.
using TListErrorEvent =
    std::function<void(TSearchFile& Sender, const std::string& Name, int ErrorCode)>;

// Breadth-first walk of a folder tree with a queue of folder paths (no recursion, so the
// depth of a tree costs no stack). Reports the base folder first, then every folder below
// it, each once.
class TSearchDir {
public:
    TSearchDir() = default;
    virtual ~TSearchDir() = default;
    TSearchDir(const TSearchDir&) = delete;
    TSearchDir& operator=(const TSearchDir&) = delete;

    const std::string& BaseDir() const { return baseDir_; }
    void SetBaseDir(std::string value) { baseDir_ = std::move(value); }
    const TSearchDirEvent& OnFind() const { return onFind_; }
    void SetOnFind(TSearchDirEvent handler) { onFind_ = std::move(handler); }

    // Walks the tree below BaseDir. True when the walk ran to its end; false when the
    // component is busy (a call from its own event), OnFind is not assigned, BaseDir does
    // not exist, or a handler cleared Continue. Exceptions of handlers pass on to the
    // caller after the component is idle again.
    bool Search();

    bool Busy() const { return busy_; }

protected:
    // Calls OnFind if assigned.
    virtual void DoFind(const std::string& Name, const TSearchFileData& Data, bool& IgnoreSubDir,
                        bool& Continue);

private:
    friend class TSearchFile;

    // Where the entries of one listed folder stand in the kept listing.
    struct ListedFolder {
        std::size_t first = 0;
        std::size_t count = 0;
        bool read = false;  // false when the folder could not be listed
        int error = 0;      // then: why
    };

    std::string baseDir_;
    TSearchDirEvent onFind_;
    std::deque<std::string> queue_;  // folders waiting to be listed
    FolderListing listing_;
    // Set by an owning TSearchFile: the walk appends every folder's entries to this listing
    // and notes them in listed_ (in the order the folders were queued), so the owner can
    // report them without reading each folder a second time.
    FolderListing* keep_ = nullptr;
    std::vector<ListedFolder> listed_;
    bool busy_ = false;
};

// Reports the entries of Directory (and, with Recursive, of every folder below it) whose
// names match SearchName.
class TSearchFile {
public:
    TSearchFile();
    virtual ~TSearchFile() = default;
    TSearchFile(const TSearchFile&) = delete;
    TSearchFile& operator=(const TSearchFile&) = delete;

    const std::string& Directory() const { return directory_; }
    void SetDirectory(std::string value) { directory_ = std::move(value); }
    bool Recursive() const { return recursive_; }
    void SetRecursive(bool value) { recursive_ = value; }
    // An empty SearchName searches with "*.*".
    const std::string& SearchName() const { return searchName_; }
    void SetSearchName(std::string value) { searchName_ = std::move(value); }
    const TFindFileEvent& OnFind() const { return onFind_; }
    void SetOnFind(TFindFileEvent handler) { onFind_ = std::move(handler); }
    const TFindDirEvent& OnFindDir() const { return onFindDir_; }
    void SetOnFindDir(TFindDirEvent handler) { onFindDir_ = std::move(handler); }
    const TListErrorEvent& OnListError() const { return onListError_; }
    void SetOnListError(TListErrorEvent handler) { onListError_ = std::move(handler); }

    // Reports the matching entries. True unless a handler cleared Continue, the component
    // is busy (a call from its own event) or OnFind is not assigned. A Directory that does
    // not exist reports nothing and gives true.
    bool Search();

    bool Busy() const { return busy_; }

    // The folders listed by the last search, in walk order (kept until the next search).
    const std::vector<std::string>& FolderList() const { return folderList_; }

protected:
    // Calls OnFind if assigned.
    virtual void DoFind(const std::string& Name, const TSearchFileData& Data, bool& Continue);
    // Calls OnFindDir if assigned.
    virtual void DoFindDir(const std::string& Name, const TSearchFileData& Data, bool& Skip,
                           bool& IgnoreSubDir);

    // How the owned TSearchDir reports each folder of the walk: OnFindDir may skip the
    // folder (its entries are not reported) or keep the walk out of its subfolders.
    void SearchDirOnFind(TSearchDir& Sender, const std::string& Name, const TSearchFileData& Data,
                         bool& IgnoreSubDir, bool& Continue);

private:
    std::string directory_;
    bool recursive_ = false;
    std::string searchName_;
    TFindFileEvent onFind_;
    TFindDirEvent onFindDir_;
    TListErrorEvent onListError_;
    TSearchDir searchDir_;
    std::vector<std::string> folderList_;
    // For each folder of the list, its place in the walk's queue (-1: not walked).
    std::vector<std::int32_t> walkOrdinal_;
    std::int32_t walkQueued_ = 0;
    FolderListing listing_;
    bool busy_ = false;
};

}  // namespace palomix
