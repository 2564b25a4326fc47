#include "controllogic/SearchFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "controllogic/SearchFileFixture.h"

namespace palomix {
namespace {

using testing::SearchFileTest;

TEST_F(SearchFileTest, RecursiveSearchReportsFolderByFolderBreadthFirst) {
    search_.SetRecursive(true);
    search_.SetSearchName("*.*");
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(FolderList(), (std::vector<std::string>{"v", "v/Sub", "v/Sub2", "v/Sub/Deep"}));
    // Within a folder, entries come in listing order: by name, ignoring case.
    EXPECT_EQ(found_,
              (std::vector<std::string>{"v/a.avi", "v/Sub", "v/Sub2", "v/Sub/Deep", "v/Sub/y.avi",
                                        "v/Sub2/w.avi", "v/Sub/Deep/z.avi"}));
}

TEST_F(SearchFileTest, WithoutRecursiveOnlyTheFolderItself) {
    search_.SetSearchName("*.*");
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(found_, (std::vector<std::string>{"v/a.avi", "v/Sub", "v/Sub2"}));
}

TEST_F(SearchFileTest, EmptySearchNameSearchesEverything) {
    search_.SetRecursive(true);
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(found_.size(), 7U);
}

TEST_F(SearchFileTest, PatternSelectsEntriesAtEveryDepth) {
    tree_.File("v/main.ini");
    tree_.File("v/Sub/Deep/OLD.INI");
    tree_.File("v/Sub2/notes.ini.bak");
    search_.SetRecursive(true);
    search_.SetSearchName("*.ini");
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(found_, (std::vector<std::string>{"v/main.ini", "v/Sub/Deep/OLD.INI"}));
}

TEST_F(SearchFileTest, SkipHidesAFoldersEntriesButStillWalksBelowIt) {
    search_.SetRecursive(true);
    search_.SetOnFindDir([this](TSearchFile&, const std::string& name, const TSearchFileData&,
                                bool& skip, bool&) { skip = Relative(name) == "v/Sub"; });
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(FolderList(), (std::vector<std::string>{"v", "v/Sub2", "v/Sub/Deep"}));
    EXPECT_EQ(found_, (std::vector<std::string>{"v/a.avi", "v/Sub", "v/Sub2", "v/Sub2/w.avi",
                                                "v/Sub/Deep/z.avi"}));
}

TEST_F(SearchFileTest, IgnoreSubDirReportsTheFolderButNothingBelowIt) {
    search_.SetRecursive(true);
    std::vector<std::string> dirs;
    search_.SetOnFindDir([&](TSearchFile&, const std::string& name, const TSearchFileData& data,
                             bool& skip, bool& ignoreSubDir) {
        dirs.push_back(Relative(name));
        EXPECT_FALSE(skip);
        EXPECT_FALSE(ignoreSubDir);  // reset before every folder
        EXPECT_TRUE(Relative(name) == "v" || data.IsDirectory());
        ignoreSubDir = Relative(name) == "v/Sub";
    });
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(dirs, (std::vector<std::string>{"v", "v/Sub", "v/Sub2"}));
    EXPECT_EQ(FolderList(), (std::vector<std::string>{"v", "v/Sub", "v/Sub2"}));
    EXPECT_EQ(found_, (std::vector<std::string>{"v/a.avi", "v/Sub", "v/Sub2", "v/Sub/Deep",
                                                "v/Sub/y.avi", "v/Sub2/w.avi"}));
}

TEST_F(SearchFileTest, ClearingContinueAbortsAndKeepsWhatWasReported) {
    search_.SetRecursive(true);
    search_.SetOnFind(
        [this](TSearchFile&, const std::string& name, const TSearchFileData&, bool& Continue) {
            found_.push_back(Relative(name));
            Continue = found_.size() < 2;
        });
    EXPECT_FALSE(search_.Search());
    EXPECT_EQ(found_, (std::vector<std::string>{"v/a.avi", "v/Sub"}));
    EXPECT_FALSE(search_.Busy());

    found_.clear();
    EXPECT_FALSE(search_.Search());  // the next search starts afresh
    EXPECT_EQ(found_.size(), 2U);
}

TEST_F(SearchFileTest, WithoutOnFindNothingHappens) {
    int dirEvents = 0;
    search_.SetOnFind(nullptr);
    search_.SetRecursive(true);
    search_.SetOnFindDir([&](TSearchFile&, const std::string&, const TSearchFileData&, bool&,
                             bool&) { ++dirEvents; });
    EXPECT_FALSE(search_.Search());
    EXPECT_EQ(dirEvents, 0);
}

TEST_F(SearchFileTest, SearchFromItsOwnEventReturnsFalseAtOnce) {
    search_.SetRecursive(true);
    std::vector<bool> nested;
    search_.SetOnFind([&](TSearchFile& sender, const std::string&, const TSearchFileData&, bool&) {
        EXPECT_TRUE(sender.Busy());
        nested.push_back(sender.Search());
    });
    search_.SetOnFindDir([&](TSearchFile& sender, const std::string&, const TSearchFileData&, bool&,
                             bool&) { nested.push_back(sender.Search()); });
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(nested, std::vector<bool>(4 + 7, false));
}

TEST_F(SearchFileTest, MissingDirectoryReportsNothingAndSucceeds) {
    search_.SetDirectory(tree_.Path("missing"));
    search_.SetRecursive(true);
    EXPECT_TRUE(search_.Search());
    EXPECT_TRUE(search_.FolderList().empty());
    search_.SetRecursive(false);
    EXPECT_TRUE(search_.Search());
    EXPECT_TRUE(found_.empty());
}

TEST_F(SearchFileTest, HandlerExceptionPassesOnAndLeavesTheSearchIdle) {
    search_.SetRecursive(true);
    search_.SetOnFind([](TSearchFile&, const std::string&, const TSearchFileData&, bool&) {
        throw std::runtime_error("handler failed");
    });
    EXPECT_THROW(search_.Search(), std::runtime_error);
    EXPECT_FALSE(search_.Busy());
    search_.SetOnFind([this](TSearchFile&, const std::string& name, const TSearchFileData&, bool&) {
        found_.push_back(Relative(name));
    });
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(found_.size(), 7U);
}

TEST_F(SearchFileTest, EntryDataIsCompleteAndCopiesOutliveTheSearch) {
    ASSERT_EQ(::chmod(tree_.Path("v/a.avi").c_str(), 0444), 0);
    tree_.File("v/.hidden");
    std::vector<TSearchFileData> kept;
    search_.SetOnFind([&](TSearchFile&, const std::string&, const TSearchFileData& data, bool&) {
        kept.push_back(data);
    });
    EXPECT_TRUE(search_.Search());
    ASSERT_EQ(kept.size(), 4U);  // .hidden, a.avi, Sub, Sub2

    EXPECT_EQ(kept[0].FileName(), ".hidden");
    EXPECT_TRUE(kept[0].IsHidden());
    EXPECT_EQ(kept[1].FileName(), "a.avi");
    EXPECT_EQ(kept[1].AlternateName(), "a.avi");
    EXPECT_EQ(kept[1].Size(), 4);
    EXPECT_TRUE(kept[1].IsReadOnly());
    EXPECT_FALSE(kept[1].IsDirectory());
    EXPECT_TRUE(kept[1].HasLastWriteTime());
    EXPECT_GT(kept[1].LastWriteTime(), 29221.0);
    EXPECT_EQ(kept[2].FileName(), "Sub");
    EXPECT_TRUE(kept[2].IsDirectory());
    EXPECT_FALSE(kept[2].IsReadOnly());
    EXPECT_FALSE(kept[2].IsSystem());
    EXPECT_FALSE(kept[2].IsArchive());
}

class SearchDirTest : public SearchFileTest {
protected:
    SearchDirTest() {
        walk_.SetBaseDir(tree_.Path("v"));
        walk_.SetOnFind([this](TSearchDir&, const std::string& name, const TSearchFileData& data,
                               bool&, bool&) {
            folders_.push_back(Relative(name));
            names_.push_back(data.FileName());
        });
    }

    TSearchDir walk_;
    std::vector<std::string> folders_;
    std::vector<std::string> names_;
};

TEST_F(SearchDirTest, ReportsTheBaseFirstThenEveryFolderOnce) {
    EXPECT_TRUE(walk_.Search());
    EXPECT_EQ(folders_, (std::vector<std::string>{"v", "v/Sub", "v/Sub2", "v/Sub/Deep"}));
    EXPECT_EQ(names_, (std::vector<std::string>{"v", "Sub", "Sub2", "Deep"}));
}

TEST_F(SearchDirTest, BaseEndingInASeparatorHasEmptyData) {
    walk_.SetBaseDir(tree_.Path("v") + "/");
    EXPECT_TRUE(walk_.Search());
    ASSERT_EQ(folders_.size(), 4U);
    EXPECT_EQ(names_[0], "");
    EXPECT_EQ(names_[1], "Sub");
}

TEST_F(SearchDirTest, MissingBaseOrNoHandlerGivesFalseWithoutEvents) {
    walk_.SetBaseDir(tree_.Path("missing"));
    EXPECT_FALSE(walk_.Search());
    walk_.SetBaseDir(tree_.Path("v"));
    walk_.SetOnFind(nullptr);
    EXPECT_FALSE(walk_.Search());
    EXPECT_TRUE(folders_.empty());
}

TEST_F(SearchDirTest, ClearingContinueAtTheBaseStopsTheWalk) {
    walk_.SetOnFind([this](TSearchDir&, const std::string& name, const TSearchFileData&, bool&,
                           bool& Continue) {
        folders_.push_back(Relative(name));
        Continue = false;
    });
    EXPECT_FALSE(walk_.Search());
    EXPECT_EQ(folders_, (std::vector<std::string>{"v"}));
}

TEST_F(SearchDirTest, RelativeBaseIsResolvedAgainstTheCurrentFolder) {
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(tree_.Path("v"));
    walk_.SetBaseDir("Sub/../Sub2");
    const bool result = walk_.Search();
    std::filesystem::current_path(saved);
    EXPECT_TRUE(result);
    EXPECT_EQ(folders_, (std::vector<std::string>{"v/Sub2"}));
}

}  // namespace
}  // namespace palomix
