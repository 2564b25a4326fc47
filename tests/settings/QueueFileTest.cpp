#include "settings/QueueFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/TextCodec.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;

class QueueFileTest : public ::testing::Test {
protected:
    QueueFileTest() {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("palomix-queue-" + std::to_string(random()));
        fs::create_directories(root_);
        path_ = QueueFilePath((root_ / "Palomix.ini").string());
    }
    ~QueueFileTest() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void Put(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }

    // Names of every kind: blanks, quotes, shell characters, Japanese, bytes that are not
    // UTF-8, control characters, the escape character itself and what looks like an escape.
    static SavedQueue OddQueue() {
        SavedQueue queue;
        queue.settingsFile = "/opt/palomix/convert_settings/携帯.ini";
        queue.commandItem = 3;
        queue.outputFolder = "/home/me/出力 \"new\"";
        for (const char* path :
             {"/v/clip one.mov", "/v/家族旅行.mp4", "/v/caf\xE9.wav", "/v/a\tb\nc\rd.avi",
              "/v/back\\slash\\x41.mkv", "/v/$HOME;rm -rf '.mp4", "/v/\xE6\x97.cut",
              "/v/\x7F\x01end.avi", "C:\\Users\\me\\clip.avi"}) {
            queue.files.push_back({path, {}});
        }
        queue.files[1].subfolder = "2023/夏";
        queue.files[2].subfolder = "sub\xFF\tdir";
        return queue;
    }

    fs::path root_;
    std::string path_;
};

TEST_F(QueueFileTest, AnyNamesComeBackByteForByteInReadableUtf8Text) {
    const SavedQueue queue = OddQueue();
    const std::string text = EncodeQueue(queue);
    EXPECT_TRUE(IsValidUtf8(text));
    EXPECT_NE(text.find("/v/家族旅行.mp4\t2023/夏\n"), std::string::npos) << text;
    EXPECT_NE(text.find("caf\\xE9.wav"), std::string::npos) << text;
    EXPECT_EQ(DecodeQueue(text), queue);

    SaveQueueFile(path_, queue);
    const QueueFileRead read = ReadQueueFile(path_);
    EXPECT_EQ(read.state, QueueFileRead::State::Found);
    EXPECT_EQ(read.queue, queue);
}

TEST_F(QueueFileTest, AQueueOfAHundredThousandFilesIsKeptWhole) {
    SavedQueue queue;
    queue.settingsFile = "/p/convert_settings/music.ini";
    queue.outputFolder = "/out";
    for (int n = 0; n < 100000; ++n) {
        queue.files.push_back(
            {"/music/folder-" + std::to_string(n / 100) + "/曲 " + std::to_string(n) + ".flac",
             n % 3 == 0 ? "" : "folder-" + std::to_string(n / 100)});
    }
    SaveQueueFile(path_, queue);
    const QueueFileRead read = ReadQueueFile(path_);
    ASSERT_EQ(read.state, QueueFileRead::State::Found) << read.problem;
    EXPECT_EQ(read.queue, queue);

    // The list ran empty: the file goes, and a start finds nothing to offer.
    SaveQueueFile(path_, SavedQueue{});
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_EQ(ReadQueueFile(path_).state, QueueFileRead::State::None);
    SaveQueueFile(path_, SavedQueue{});  // nothing to remove: no error
}

// Whatever is in the file, the read says it is damaged or gives the queue; it never throws.
TEST_F(QueueFileTest, EveryCutOrBrokenFileReadsAsDamagedAndIsSetAside) {
    const std::string whole = EncodeQueue(OddQueue());
    for (std::size_t size = 0; size < whole.size(); ++size) {
        EXPECT_THROW(DecodeQueue(whole.substr(0, size)), QueueFileDamaged) << size;
    }
    const std::string start = "Palomix queue 1\nsettings=s\ncommand=0\noutput=o\n";
    for (const std::string& broken : {
             start + "files=2\n/a\nend\n",                     // fewer files than counted
             start + "files=1\n/a\n/b\nend\n",                 // more
             start + "files=1\n/a\\x4\nend\n",                 // a cut escape
             start + "files=1\n/a\\q41\nend\n",                // not an escape
             start + "files=1\n/a\t\nend\n",                   // an empty subfolder
             start + "files=1\n/a\nend\nmore\n",               // text after the end
             start + "files=99999999999999999999\n/a\nend\n",  // a count beyond any number
             std::string("Palomix queue 3\n"),                 // another version
             std::string("\0\0\0\xFF", 4),
         }) {
        EXPECT_THROW(DecodeQueue(broken), QueueFileDamaged) << broken;
    }
    // A CR before the line end is read as an editor may have saved it.
    EXPECT_EQ(DecodeQueue(start + "files=1\r\n/a\r\nend\r\n").files.size(), 1U);

    Put(whole.substr(0, whole.size() / 2));
    const QueueFileRead read = ReadQueueFile(path_);
    EXPECT_EQ(read.state, QueueFileRead::State::Damaged);
    EXPECT_NE(read.problem.find("line "), std::string::npos) << read.problem;
    EXPECT_FALSE(SetAsideQueueFile(path_));
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_TRUE(fs::exists(DamagedQueueFilePath(path_)));
    EXPECT_EQ(ReadQueueFile(path_).state, QueueFileRead::State::None);

    // A folder where the file should be cannot be read: damaged too.
    fs::create_directories(path_);
    EXPECT_EQ(ReadQueueFile(path_).state, QueueFileRead::State::Damaged);
}

// Files found by watched folders keep the command and output folder they were queued with;
// a queue without such files is written in the first form, which earlier versions read, and a
// file of the first form reads as it always did.
TEST_F(QueueFileTest, FilesQueuedWithTheirOwnCommandAndOutputFolderKeepThem) {
    SavedQueue queue = OddQueue();
    const ChosenCommand phone{"/opt/palomix/convert_settings/phone\t.ini", 2};
    queue.files[0].command = phone;
    queue.files[0].outputFolder = "/watch/out";
    queue.files[3].command = ChosenCommand{"/s/music.ini", 0};
    queue.files[4].command = phone;
    queue.files[4].outputFolder = "/watch/out";
    queue.files[5].outputFolder = "/other out";
    const std::string text = EncodeQueue(queue);
    EXPECT_TRUE(text.starts_with("Palomix queue 2\n")) << text;
    EXPECT_EQ(DecodeQueue(text), queue);

    const std::string old =
        "Palomix queue 1\nsettings=/s.ini\ncommand=1\noutput=/o\nfiles=2\n/a\n/b\tsub\nend\n";
    const SavedQueue read = DecodeQueue(old);
    EXPECT_EQ(read.files, (std::vector<QueuedFile>{{"/a"}, {"/b", "sub"}}));
    EXPECT_EQ(EncodeQueue(read), old);

    const std::string start = "Palomix queue 2\nsettings=s\ncommand=0\noutput=o\n";
    for (const std::string& broken : {
             start + "commands=1\n0\t/s.ini\noutputs=0\nfiles=1\n/a\t\t2\t0\nend\n",  // no 2
             start + "commands=1\n0\t/s.ini\noutputs=0\nfiles=1\n/a\t\t0\t0\nend\n",  // none
             start + "commands=1\n-1\t/s.ini\noutputs=0\nfiles=1\n/a\t\t1\t0\nend\n",
             start + "commands=0\noutputs=1\n\nfiles=1\n/a\t\t0\t1\nend\n",  // empty folder
             start + "commands=0\noutputs=0\nfiles=1\n/a\tb\tc\nend\n",
             std::string("Palomix queue 1\nsettings=s\ncommand=0\noutput=o\nfiles=1\n"
                         "/a\t\t0\t1\nend\n"),
         }) {
        EXPECT_THROW(DecodeQueue(broken), QueueFileDamaged) << broken;
    }
}

}  // namespace
}  // namespace palomix
