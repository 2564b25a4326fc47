#include "engine/DropIntake.h"

#include <optional>

#include "platform/FileSystem.h"

namespace palomix {

namespace {

// Keeps the job list's append batch open for one drop, also when a handler throws.
class AppendBatch {
public:
    explicit AppendBatch(JobQueue& queue) : queue_(queue) { queue_.BeginAppend(); }
    ~AppendBatch() { queue_.EndAppend(); }
    AppendBatch(const AppendBatch&) = delete;
    AppendBatch& operator=(const AppendBatch&) = delete;

private:
    JobQueue& queue_;
};

}  // namespace

std::string IncomingPath(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    std::string full = FullPathOf(std::string(path));
    const PathStyle style = NativePathStyle();
    // A root keeps its separator: "/", "C:\", and a drive's "C:" before it.
    while (full.size() > 1 && EndsWithJoinSeparator(full, style) &&
           !EndsWithJoinSeparator(FolderOf(full, style), style) && full[full.size() - 2] != ':') {
        full.pop_back();
    }
    return full;
}

DropIntake::DropIntake(JobQueue& queue) : DropIntake() {
    queue_ = &queue;
}

DropIntake::DropIntake() {
    SearchFile0.SetRecursive(true);
    SearchFile0.SetOnFind(
        [this](TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
               bool& Continue) { SearchFile0Find(Sender, Name, Data, Continue); });
    SearchFile0.SetOnListError([this](TSearchFile&, const std::string& Name, int ErrorCode) {
        if (current_ != nullptr) {
            current_->skipped.push_back(SkippedPath{Name, SkipReason::Unreadable, ErrorCode});
        }
    });
}

IntakeResult DropIntake::TakeDrop(std::span<const std::string> paths) {
    const AppendBatch batch(*queue_);
    return Walk(paths, [this](const std::string& path, std::string_view subfolder) {
        queue_->AddJob(path, subfolder);
        return true;
    });
}

IntakeResult DropIntake::Walk(std::span<const std::string> paths, const Found& found) {
    IntakeResult result;
    stopped_ = false;
    found_ = [this, &result, &found](const std::string& path, std::string_view subfolder) {
        ++result.jobsAdded;
        stopped_ = !found(path, subfolder);
        return !stopped_;
    };
    {
        for (const std::string& given : paths) {
            if (stopped_) {
                break;
            }
            const std::string path = IncomingPath(given);
            const std::optional<FileEntryInfo> entry = LookUpEntry(path);
            if (!entry) {
                result.skipped.push_back(SkippedPath{path,
                                                     path.size() > LongestOpenablePath()
                                                         ? SkipReason::TooLong
                                                         : SkipReason::NotFound,
                                                     0});
                continue;
            }
            if (entry->IsDirectory) {
                current_ = &result;
                droppedFolder_ = path;
                SearchFile0.SetDirectory(path);
                SearchFile0.SetSearchName("*.*");
                SearchFile0.Search();
                current_ = nullptr;
            } else if (path.size() > LongestOpenablePath()) {
                result.skipped.push_back(SkippedPath{path, SkipReason::TooLong, 0});
            } else {
                found_(path, {});
            }
        }
    }
    found_ = nullptr;
    return result;
}

void DropIntake::SearchFile0Find(TSearchFile& /*Sender*/, const std::string& Name,
                                 const TSearchFileData& Data, bool& Continue) {
    // A folder is never a conversion job: the search reports its files on its own.
    if (Data.IsFolderOrLinkToOne()) {
        return;
    }
    if (Name.size() > LongestOpenablePath()) {
        if (current_ != nullptr) {
            current_->skipped.push_back(SkippedPath{Name, SkipReason::TooLong, 0});
        }
        return;
    }
    // Where it lies below the dropped folder, for outputs that keep the folder tree.
    const std::string folder = FolderOf(Name);
    std::string_view subfolder;
    if (folder.size() > droppedFolder_.size() && folder.starts_with(droppedFolder_)) {
        subfolder = std::string_view(folder).substr(droppedFolder_.size());
        while (!subfolder.empty() && IsPathSeparator(subfolder.front(), NativePathStyle())) {
            subfolder.remove_prefix(1);
        }
    }
    Continue = found_(Name, subfolder);
}

}  // namespace palomix
