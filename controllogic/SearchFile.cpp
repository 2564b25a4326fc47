#include "controllogic/SearchFile.h"

#include <utility>

#include "controllogic/SearchFilePattern.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

// Marks a component busy for the life of a search, also when a handler throws.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

// Empties a listing when a search ends, closing its folder.
class ListingRelease {
public:
    explicit ListingRelease(FolderListing& listing) : listing_(listing) {}
    ~ListingRelease() { listing_.Clear(); }
    ListingRelease(const ListingRelease&) = delete;
    ListingRelease& operator=(const ListingRelease&) = delete;

private:
    FolderListing& listing_;
};

}  // namespace

// --- TSearchFileData -------------------------------------------------------------------

TSearchFileData::TSearchFileData(FileEntryInfo info) : info_(std::move(info)) {}

TSearchFileData::TSearchFileData(const TSearchFileData& other) : info_(other.Info()) {}

TSearchFileData& TSearchFileData::operator=(const TSearchFileData& other) {
    if (this != &other) {
        info_ = other.Info();
        listing_ = nullptr;
        index_ = 0;
    }
    return *this;
}

// A move keeps a pending binding: bound data only exists inside a search, where the listing
// outlives it.
TSearchFileData::TSearchFileData(TSearchFileData&& other) noexcept
    : info_(std::move(other.info_)), listing_(other.listing_), index_(other.index_) {
    other.listing_ = nullptr;
}

TSearchFileData& TSearchFileData::operator=(TSearchFileData&& other) noexcept {
    info_ = std::move(other.info_);
    listing_ = other.listing_;
    index_ = other.index_;
    other.listing_ = nullptr;
    return *this;
}

void TSearchFileData::BindTo(const FolderListing& listing, std::size_t index) {
    info_.FileName.assign(listing.Name(index));
    listing_ = &listing;
    index_ = index;
}

void TSearchFileData::Load() const {
    if (listing_ != nullptr) {
        const FolderListing* listing = listing_;
        listing_ = nullptr;
        listing->ReadInfo(index_, info_);
    }
}

const FileEntryInfo& TSearchFileData::Info() const {
    Load();
    return info_;
}

const std::string& TSearchFileData::AlternateName() const {
    return Info().AlternateName;
}
std::int64_t TSearchFileData::Size() const {
    return Info().Size;
}
bool TSearchFileData::HasCreationTime() const {
    return Info().HasCreationTime;
}
DateTime TSearchFileData::CreationTime() const {
    return Info().CreationTime;
}
bool TSearchFileData::HasLastWriteTime() const {
    return Info().HasLastWriteTime;
}
DateTime TSearchFileData::LastWriteTime() const {
    return Info().LastWriteTime;
}
bool TSearchFileData::HasLastAccessTime() const {
    return Info().HasLastAccessTime;
}
DateTime TSearchFileData::LastAccessTime() const {
    return Info().LastAccessTime;
}
bool TSearchFileData::IsDirectory() const {
    return Info().IsDirectory;
}
bool TSearchFileData::IsFolderOrLinkToOne() const {
    if (listing_ != nullptr) {
        if (listing_->IsPlainFile(index_)) {
            return false;
        }
        if (listing_->IsWalkableFolder(index_)) {
            return true;
        }
    }
    return Info().IsDirectory;
}
bool TSearchFileData::IsReadOnly() const {
    return Info().IsReadOnly;
}
bool TSearchFileData::IsHidden() const {
    return Info().IsHidden;
}
bool TSearchFileData::IsSystem() const {
    return Info().IsSystem;
}
bool TSearchFileData::IsArchive() const {
    return Info().IsArchive;
}

// --- TSearchDir ------------------------------------------------------------------------

bool TSearchDir::Search() {
    if (busy_ || !onFind_) {
        return false;
    }
    const std::string base = FullPathOf(baseDir_);
    if (!PathExists(base)) {
        return false;
    }
    const BusyScope busy(busy_);
    queue_.clear();
    listed_.clear();
    FolderListing& listing = keep_ != nullptr ? *keep_ : listing_;
    // No folder stays open after the search (it could keep a drive from being removed).
    const ListingRelease release(listing_);
    bool Continue = true;
    bool IgnoreSubDir = false;

    {
        // A base that cannot be looked up (a root) is reported with empty data.
        std::optional<FileEntryInfo> baseInfo = LookUpEntry(base);
        const TSearchFileData baseData =
            baseInfo ? TSearchFileData(std::move(*baseInfo)) : TSearchFileData();
        DoFind(base, baseData, IgnoreSubDir, Continue);
    }
    if (!Continue) {
        return false;
    }
    if (!IgnoreSubDir) {
        queue_.push_back(base);
    }

    TSearchFileData data;
    while (!queue_.empty()) {
        const std::string folder = std::move(queue_.front());
        queue_.pop_front();
        const std::size_t first = keep_ != nullptr ? listing.Count() : 0;
        const bool read = keep_ != nullptr ? listing.Append(folder) : listing.Read(folder);
        if (keep_ != nullptr) {
            listed_.push_back(
                ListedFolder{first, listing.Count() - first, read, read ? 0 : listing.LastError()});
        }
        if (!read) {
            continue;  // a folder that cannot be listed contributes nothing
        }
        const std::size_t end = listing.Count();
        for (std::size_t i = first; i < end; ++i) {
            // Links to folders are not walked: a link loop must not trap the search.
            if (!listing.IsWalkableFolder(i)) {
                continue;
            }
            std::string full = JoinPath(folder, listing.Name(i));
            IgnoreSubDir = false;
            data.BindTo(listing, i);
            DoFind(full, data, IgnoreSubDir, Continue);
            if (!Continue) {
                return false;
            }
            if (!IgnoreSubDir) {
                queue_.push_back(std::move(full));
            }
        }
    }
    return true;
}

void TSearchDir::DoFind(const std::string& Name, const TSearchFileData& Data, bool& IgnoreSubDir,
                        bool& Continue) {
    if (onFind_) {
        onFind_(*this, Name, Data, IgnoreSubDir, Continue);
    }
}

// --- TSearchFile -----------------------------------------------------------------------

TSearchFile::TSearchFile() {
    searchDir_.SetOnFind([this](TSearchDir& Sender, const std::string& Name,
                                const TSearchFileData& Data, bool& IgnoreSubDir, bool& Continue) {
        SearchDirOnFind(Sender, Name, Data, IgnoreSubDir, Continue);
    });
}

bool TSearchFile::Search() {
    if (busy_ || !onFind_) {
        return false;
    }
    const BusyScope busy(busy_);
    folderList_.clear();
    walkOrdinal_.clear();
    walkQueued_ = 0;
    listing_.Clear();
    const ListingRelease release(listing_);

    if (recursive_) {
        searchDir_.SetBaseDir(directory_);
        searchDir_.keep_ = &listing_;
        searchDir_.Search();  // fills the folder list through SearchDirOnFind
        searchDir_.keep_ = nullptr;
    } else {
        folderList_.push_back(FullPathOf(directory_));
        walkOrdinal_.push_back(-1);
    }

    const SearchFilePattern pattern(searchName_.empty() ? std::string_view("*.*")
                                                        : std::string_view(searchName_));
    const PathStyle style = NativePathStyle();
    bool Continue = true;
    std::string full;
    TSearchFileData data;
    for (std::size_t k = 0; k < folderList_.size(); ++k) {
        const std::string& folder = folderList_[k];
        // The entries the walk read for this folder, or a fresh listing for a folder the
        // walk did not enter.
        std::size_t first = 0;
        std::size_t end = 0;
        const std::int32_t ordinal = walkOrdinal_[k];
        if (ordinal >= 0 && static_cast<std::size_t>(ordinal) < searchDir_.listed_.size()) {
            const TSearchDir::ListedFolder& listed = searchDir_.listed_[ordinal];
            if (!listed.read) {
                if (onListError_) {
                    onListError_(*this, folder, listed.error);
                }
                continue;
            }
            first = listed.first;
            end = listed.first + listed.count;
        } else {
            first = listing_.Count();
            if (!listing_.Append(folder)) {
                if (onListError_) {
                    onListError_(*this, folder, listing_.LastError());
                }
                continue;
            }
            end = listing_.Count();
        }

        full.assign(folder);
        if (!EndsWithJoinSeparator(full, style)) {
            full += JoinSeparator(style);
        }
        const std::size_t stem = full.size();
        for (std::size_t i = first; i < end; ++i) {
            const std::string_view name = listing_.Name(i);
            if (!pattern.Matches(name)) {
                continue;
            }
            full.resize(stem);
            full.append(name);
            data.BindTo(listing_, i);
            DoFind(full, data, Continue);
            if (!Continue) {
                return false;
            }
        }
    }
    return true;
}

void TSearchFile::DoFind(const std::string& Name, const TSearchFileData& Data, bool& Continue) {
    if (onFind_) {
        onFind_(*this, Name, Data, Continue);
    }
}

void TSearchFile::DoFindDir(const std::string& Name, const TSearchFileData& Data, bool& Skip,
                            bool& IgnoreSubDir) {
    if (onFindDir_) {
        onFindDir_(*this, Name, Data, Skip, IgnoreSubDir);
    }
}

void TSearchFile::SearchDirOnFind(TSearchDir& /*Sender*/, const std::string& Name,
                                  const TSearchFileData& Data, bool& IgnoreSubDir,
                                  bool& /*Continue*/) {
    bool Skip = false;
    DoFindDir(Name, Data, Skip, IgnoreSubDir);
    // The walk queues the folder exactly when IgnoreSubDir stays false.
    const std::int32_t ordinal = IgnoreSubDir ? -1 : walkQueued_++;
    if (!Skip) {
        folderList_.push_back(Name);
        walkOrdinal_.push_back(ordinal);
    }
}

}  // namespace palomix
