// The system's folder events on Linux (inotify), delivered to a host queue the test runs, and
// the mailbox that keeps a flood of them from flooding the host.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/FolderEventMailbox.h"
#include "platform/FolderEvents.h"
#include "tests/platform/TestHostQueue.h"

namespace palomix::testing {
namespace {

namespace fs = std::filesystem;
using Kind = FolderEvent::Kind;

class FolderEventsPosixTest : public ::testing::Test {
protected:
    FolderEventsPosixTest() {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("palomix-events-" + std::to_string(random()));
        fs::create_directories(root_);
        events_ = SystemFolderEvents(host_.Poster(), [this](std::vector<FolderEvent> got) {
            ++deliveries_;
            seen_.insert(seen_.end(), got.begin(), got.end());
        });
    }
    ~FolderEventsPosixTest() override {
        events_.reset();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    bool Seen(Kind kind, const std::string& name) {
        return host_.RunUntil([&] {
            return std::any_of(seen_.begin(), seen_.end(), [&](const FolderEvent& event) {
                return event.kind == kind && event.name == name;
            });
        });
    }

    fs::path root_;
    HostQueue host_;
    std::vector<FolderEvent> seen_;
    int deliveries_ = 0;
    std::unique_ptr<FolderEvents> events_;
};

TEST_F(FolderEventsPosixTest, WritesClosesFoldersAndTheFoldersOwnEndAreTold) {
    const std::string folder = root_.string();
    ASSERT_FALSE(events_->Add(folder));
    EXPECT_TRUE(events_->TellsWrites());
    EXPECT_EQ(events_->Add((root_ / "missing").string()), std::errc::no_such_file_or_directory);

    std::ofstream(root_ / "a.mp4") << "x";
    EXPECT_TRUE(Seen(Kind::Written, "a.mp4"));
    EXPECT_TRUE(Seen(Kind::Closed, "a.mp4"));
    EXPECT_EQ(seen_.front().folder, folder);
    fs::create_directory(root_ / "sub");
    ASSERT_TRUE(Seen(Kind::Written, "sub"));
    EXPECT_TRUE(seen_.back().isFolder);
    fs::rename(root_ / "a.mp4", root_ / "b.mp4");
    EXPECT_TRUE(Seen(Kind::Removed, "a.mp4"));
    EXPECT_TRUE(Seen(Kind::Arrived, "b.mp4"));

    // A wake-up comes as a delivery without events.
    const int before = deliveries_;
    events_->WakeAt(std::chrono::steady_clock::now() + std::chrono::milliseconds(50));
    EXPECT_TRUE(host_.RunUntil([&] { return deliveries_ > before; }));

    fs::remove_all(root_);
    EXPECT_TRUE(Seen(Kind::Gone, ""));
}

// Whatever comes while a delivery waits joins it; past the most a delivery gathers, everything
// becomes one overflow (look at everything again).
TEST(FolderEventMailboxTest, AFloodWhileTheHostIsBusyBecomesOneOverflow) {
    HostQueue host;
    std::vector<std::vector<FolderEvent>> delivered;
    FolderEventMailbox mailbox(host.Poster(), [&](std::vector<FolderEvent> events) {
        delivered.push_back(std::move(events));
    });
    for (std::size_t n = 0; n <= FolderEventMailbox::kMostWaiting; n += 1000) {
        mailbox.Put(std::vector<FolderEvent>(1000, FolderEvent{Kind::Written, "/f", "a", false}));
    }
    EXPECT_EQ(host.Pending(), 1u);
    ASSERT_TRUE(host.RunUntil([&] { return !delivered.empty(); }));
    ASSERT_EQ(delivered.front().size(), 1u);
    EXPECT_EQ(delivered.front().front().kind, Kind::Overflow);

    mailbox.Put({FolderEvent{Kind::Closed, "/f", "b", false}});
    mailbox.Close();
    ASSERT_TRUE(host.RunUntil([&] { return host.Pending() == 0; }));
    EXPECT_EQ(delivered.size(), 1u);  // closed: nothing more is delivered
}

}  // namespace
}  // namespace palomix::testing
