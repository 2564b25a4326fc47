// One watched folder's decisions, on real files, at times the tests name: when a file is
// complete, which files are never taken, what the record keeps across a restart, and a folder
// that goes and comes back.
#include "engine/watch/FolderWatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "WatchTestSupport.h"
#include "engine/watch/KnownFiles.h"
#include "engine/watch/WatchRecord.h"

namespace palomix::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const std::vector<FoundFile>& found) {
    std::vector<std::string> names;
    for (const FoundFile& file : found) {
        names.push_back(file.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class FolderWatchTest : public ::testing::Test {
protected:
    FolderWatchTest() { settings_.folder = temp_.MakeFolder("in"); }

    std::unique_ptr<FolderWatch> Make(bool tellsWrites = true) {
        settings_.command = ChosenCommand{"/s/music.ini", 0};
        return std::make_unique<FolderWatch>(
            1, settings_, ShortTiming(), tellsWrites,
            std::make_unique<WatchRecord>(temp_.Path("record.watch"), settings_.folder),
            NativePathStyle());
    }
    std::string In(const std::string& name) const { return JoinPath(settings_.folder, name); }
    // The files found complete at `at` after the start.
    std::vector<std::string> Found(FolderWatch& watch, WatchClock::duration at) {
        std::vector<FoundFile> found;
        watch.Check(t0_ + at, events_, found);
        last_ = found;
        return Names(found);
    }
    FolderEvent Event(FolderEvent::Kind kind, const std::string& name) const {
        return FolderEvent{kind, settings_.folder, name, false};
    }

    TempFolder temp_;
    WatchSettings settings_;
    RecordedEventFolders events_;
    const WatchClock::time_point t0_ = WatchClock::now();
    std::vector<FoundFile> last_;
    using Names_ = std::vector<std::string>;
};

TEST_F(FolderWatchTest, AFileIsTakenOnceItHasStayedTheSameForTheSettleTime) {
    WriteFile(In("a.wav"), "first");
    const auto watch = Make();
    watch->Start(t0_, events_);
    EXPECT_EQ(events_.watched, std::set<std::string>{settings_.folder});
    EXPECT_EQ(Found(*watch, 150ms), Names_{});
    // Written again before it settled: the settle time starts anew.
    WriteFile(In("a.wav"), "first and more");
    watch->Event(Event(FolderEvent::Kind::Written, "a.wav"), t0_ + 150ms, events_);
    watch->Event(Event(FolderEvent::Kind::Closed, "a.wav"), t0_ + 150ms, events_);
    EXPECT_EQ(Found(*watch, 300ms), Names_{});
    EXPECT_EQ(Found(*watch, 360ms), Names_{"a.wav"});
    EXPECT_EQ(last_.at(0).size, 14);
    EXPECT_EQ(last_.at(0).path, In("a.wav"));
    watch->Queued(last_.at(0), 7);
    EXPECT_TRUE(watch->Owns(7));
    // Once in the list it is not found again, by any look.
    watch->Event(FolderEvent{FolderEvent::Kind::Overflow, {}, {}, false}, t0_ + 400ms, events_);
    EXPECT_EQ(Found(*watch, 1s), Names_{});
    EXPECT_EQ(watch->View().queued, 1);
}

TEST_F(FolderWatchTest, AFileAWriterHoldsOpenWaitsForItsCloseOrThePatience) {
    const auto watch = Make();
    watch->Start(t0_, events_);
    WriteFile(In("closed.mov"), "x");
    WriteFile(In("open.mov"), "y");
    watch->Event(Event(FolderEvent::Kind::Written, "closed.mov"), t0_, events_);
    watch->Event(Event(FolderEvent::Kind::Written, "open.mov"), t0_, events_);
    EXPECT_EQ(Found(*watch, 1s), Names_{});
    watch->Event(Event(FolderEvent::Kind::Closed, "closed.mov"), t0_ + 1s, events_);
    EXPECT_EQ(Found(*watch, 1100ms), Names_{"closed.mov"});
    // Unchanged for the open-writer patience: taken all the same.
    EXPECT_EQ(Found(*watch, 1900ms), Names_{});
    EXPECT_EQ(Found(*watch, 2100ms), Names_{"open.mov"});
}

// Where the system tells only that a folder changed, the folder is looked through and a file
// settling is looked at every poll, so a change is seen within one.
TEST_F(FolderWatchTest, WhereNoWriteIsToldASettlingFileIsLookedAtEveryPoll) {
    const auto watch = Make(false);
    watch->Start(t0_, events_);
    WriteFile(In("slow.mov"), "1");
    watch->Event(FolderEvent{FolderEvent::Kind::FolderChanged, settings_.folder, {}, false}, t0_,
                 events_);
    EXPECT_EQ(Found(*watch, 60ms), Names_{});  // looked through: slow.mov settles from now
    WriteFile(In("slow.mov"), "12");
    EXPECT_EQ(Found(*watch, 120ms), Names_{});  // seen to change
    EXPECT_EQ(Found(*watch, 310ms), Names_{});
    EXPECT_EQ(Found(*watch, 330ms), Names_{"slow.mov"});
}

TEST_F(FolderWatchTest, PartialDownloadsHiddenFilesAndOwnTemporariesAreNeverTaken) {
    settings_.subfolders = true;
    for (const char* name :
         {"a.mp4.part", "b.mkv.crdownload", "c.TMP", "d.partial", ".hidden.mp4",
          ".palomix-a1b2c3-x.mp4", "Thumbs.db", ".cache/e.mp4", "sub/f.mp4", "g.mp4"}) {
        WriteFile(In(name), "z");
    }
    const auto watch = Make();
    watch->Start(t0_, events_);
    EXPECT_EQ(Found(*watch, 300ms), (Names_{"g.mp4", JoinPath("sub", "f.mp4")}));
    EXPECT_FALSE(events_.watched.contains(In(".cache")));
    EXPECT_TRUE(events_.watched.contains(In("sub")));
    // A download renamed to its final name is taken.
    fs::rename(fs::path(In("a.mp4.part")), fs::path(In("a.mp4")));
    watch->Event(Event(FolderEvent::Kind::Removed, "a.mp4.part"), t0_ + 400ms, events_);
    watch->Event(Event(FolderEvent::Kind::Arrived, "a.mp4"), t0_ + 400ms, events_);
    EXPECT_EQ(Found(*watch, 650ms), Names_{"a.mp4"});
}

TEST_F(FolderWatchTest, TheOutputFolderInsideTheWatchedFolderIsNeitherLookedIntoNorTaken) {
    settings_.subfolders = true;
    settings_.outputFolder = In("out");
    WriteFile(In("out/a_192k.mp3"), "made before");
    WriteFile(In("sub/b.wav"), "b");
    const auto watch = Make();
    watch->Start(t0_, events_);
    EXPECT_FALSE(events_.watched.contains(In("out")));
    EXPECT_EQ(Found(*watch, 300ms), Names_{JoinPath("sub", "b.wav")});
    EXPECT_EQ(last_.at(0).subfolder, "sub");
    watch->Queued(last_.at(0), 1);
    // An output a run put beside the inputs is noted as one and never taken, whatever tells of
    // it.
    WriteFile(In("c_192k.mp3"), "made now");
    watch->OutputMade(In("c_192k.mp3"));
    watch->Event(Event(FolderEvent::Kind::Arrived, "c_192k.mp3"), t0_ + 400ms, events_);
    watch->Event(FolderEvent{FolderEvent::Kind::Overflow, {}, {}, false}, t0_ + 400ms, events_);
    EXPECT_EQ(Found(*watch, 1s), Names_{});
}

TEST_F(FolderWatchTest, WhatBecameOfEachFileOutlivesARestartAndAReplacedFileIsTakenAgain) {
    for (const char* name : {"done.wav", "failed.wav", "skipped.txt", "taken out.wav"}) {
        WriteFile(In(name), name);
    }
    {
        const auto watch = Make();
        watch->Start(t0_, events_);
        ASSERT_EQ(Found(*watch, 300ms).size(), 4u);
        JobId id = 0;
        std::map<std::string, JobId> ids;
        for (const FoundFile& file : last_) {
            watch->Queued(file, ++id);
            ids[file.name] = id;
        }
        JobResult failed;
        failed.outcome = JobOutcome::Failed;
        CommandRecord command;
        command.state = CommandState::Failed;
        command.exit = ProcessExit{ProcessExit::Kind::Exited, 3, false};
        command.logTail = {"not kept"};
        failed.commands = {command};
        JobResult skipped;
        skipped.outcome = JobOutcome::Skipped;
        watch->Ended(ids["done.wav"], JobResult{});
        watch->Ended(ids["failed.wav"], failed);
        watch->Ended(ids["skipped.txt"], skipped);
        watch->TakenOut(ids["taken out.wav"]);
        EXPECT_FALSE(watch->HasQueued());
    }
    // A restart: nothing is taken again; the failed file is listed with why.
    const auto watch = Make();
    watch->Start(t0_ + 1s, events_);
    EXPECT_EQ(Found(*watch, 2s), Names_{});
    const WatchView view = watch->View();
    EXPECT_EQ(view.converted, 1);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0].path, In("failed.wav"));
    ASSERT_NE(view.failures[0].result.FirstProblem(), nullptr);
    EXPECT_EQ(view.failures[0].result.FirstProblem()->exit.code, 3);
    EXPECT_TRUE(view.failures[0].result.FirstProblem()->logTail.empty());

    // A new file under an old name is another file.
    WriteFile(In("done.wav"), "a new recording");
    watch->Event(Event(FolderEvent::Kind::Written, "done.wav"), t0_ + 2s, events_);
    watch->Event(Event(FolderEvent::Kind::Closed, "done.wav"), t0_ + 2s, events_);
    EXPECT_EQ(Found(*watch, 2300ms), Names_{"done.wav"});
    // Tried again: found at once, and no longer listed.
    std::vector<FoundFile> again;
    EXPECT_TRUE(watch->Retry({}, again));
    EXPECT_EQ(Names(again), Names_{"failed.wav"});
    EXPECT_TRUE(watch->View().failures.empty());
}

TEST_F(FolderWatchTest, AFolderThatGoesPausesTheWatchAndComesBackWithoutConvertingAgain) {
    WriteFile(In("a.wav"), "a");
    const auto watch = Make();
    watch->Start(t0_, events_);
    ASSERT_EQ(Found(*watch, 300ms), Names_{"a.wav"});
    watch->Queued(last_.at(0), 1);
    watch->Ended(1, JobResult{});

    // The card is pulled out.
    const std::string away = settings_.folder + ".away";
    fs::rename(fs::path(settings_.folder), fs::path(away));
    events_.watched.erase(settings_.folder);  // the system watches a gone folder no more
    watch->Event(FolderEvent{FolderEvent::Kind::Gone, settings_.folder, {}, true}, t0_ + 400ms,
                 events_);
    EXPECT_EQ(watch->View().state, WatchState::FolderMissing);
    EXPECT_EQ(watch->View().error, std::errc::no_such_file_or_directory);
    EXPECT_TRUE(events_.watched.empty());
    EXPECT_EQ(Found(*watch, 800ms), Names_{});
    EXPECT_EQ(watch->View().state, WatchState::FolderMissing);

    // ... and put back, with a new file on it.
    fs::rename(fs::path(away), fs::path(settings_.folder));
    WriteFile(In("b.wav"), "b");
    EXPECT_EQ(Found(*watch, 1100ms), Names_{});
    EXPECT_EQ(watch->View().state, WatchState::Watching);
    EXPECT_EQ(Found(*watch, 1400ms), Names_{"b.wav"});
    EXPECT_EQ(watch->View().converted, 1);
}

TEST_F(FolderWatchTest, AWatchThatLooksOnceLeavesFilesStillBeingWritten) {
    settings_.once = true;
    WriteFile(In("still.wav"), "s");
    WriteFile(In("growing.wav"), "g");
    const auto watch = Make();
    watch->Start(t0_, events_);
    EXPECT_TRUE(events_.watched.empty());
    WriteFile(In("growing.wav"), "gg");
    EXPECT_EQ(Found(*watch, 300ms), Names_{"still.wav"});
    const WatchView view = watch->View();
    EXPECT_EQ(view.state, WatchState::Finished);
    EXPECT_EQ(view.leftBusy, 1);
    EXPECT_FALSE(watch->NextTime());
}

// The table of known files answers as a map does, whatever the order of changes.
TEST(KnownFilesTest, AnswersAsAMapDoesAndKeepsTwentyFourBytesAnEntry) {
    KnownFiles table;
    std::map<std::string, KnownFiles::Entry> model;
    std::mt19937 random(7);
    for (int step = 0; step < 5000; ++step) {
        const std::string name = "dir/" + std::to_string(random() % 700) + ".mp4";
        const KnownFiles::Entry entry{static_cast<std::int64_t>(random() % 5), step,
                                      KnownFiles::Result::Done, 0};
        if (random() % 5 == 0) {
            EXPECT_EQ(table.Erase(name), model.erase(name) > 0);
        } else {
            table.Set(name, entry);
            model[name] = entry;
        }
        if (step % 997 == 0) {
            table.Merge();
        }
    }
    ASSERT_EQ(table.Count(), model.size());
    for (const auto& [name, entry] : model) {
        EXPECT_EQ(table.Find(name), entry) << name;
    }
    EXPECT_FALSE(table.Find("dir/none.mp4"));
    std::string last;
    table.Merge();
    table.ForEach([&last](std::string_view name, const KnownFiles::Entry&) {
        EXPECT_LT(last, name);
        last = name;
    });
}

TEST(WatchRecordTest, WhyAFileFailedComesBackAndADamagedRecordIsSetAside) {
    JobResult result;
    result.outcome = JobOutcome::Failed;
    result.problem = JobProblem::OutputTooShort;
    result.problemSubject = "/out/a\tb.mp3";
    result.lengths = OutputLengths{4.1, 20.25};
    CommandRecord command;
    command.state = CommandState::NotRun;
    command.templateNumber = 2;
    command.notRun = NotRun{NotRunReason::PlayerNotAttached, "PSP", 0};
    result.commands = {command};
    const std::optional<JobResult> back = DecodeWatchFailure(EncodeWatchFailure(result));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->problem, result.problem);
    EXPECT_EQ(back->problemSubject, result.problemSubject);
    EXPECT_EQ(back->lengths, result.lengths);
    ASSERT_EQ(back->commands.size(), 1u);
    EXPECT_EQ(back->commands[0].notRun, command.notRun);
    EXPECT_FALSE(DecodeWatchFailure("1\t2"));

    TempFolder temp;
    const std::string path = temp.Path("r.watch");
    WriteFile(path, "not a record\n");
    WatchRecord record(path, "/in");
    EXPECT_EQ(record.Files().Count(), 0u);
    EXPECT_TRUE(fs::exists(fs::path(path + ".damaged")));
    record.Note("a.wav", KnownFiles::Entry{1, 2, KnownFiles::Result::Done, 0}, nullptr);
    EXPECT_FALSE(record.Error());
    EXPECT_EQ(WatchRecord(path, "/in").DoneCount(), 1);
}

}  // namespace
}  // namespace palomix::testing
