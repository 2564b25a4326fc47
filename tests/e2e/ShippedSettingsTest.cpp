// The conversion settings that ship, run for real: every command of every file in
// convert_settings/ converts the test's own short inputs through the built palomix-batch, in
// the build's program folder (with cores/ffmpeg linked to the system's), and each output is
// checked with ffprobe against tests/e2e/expectations.tsv. Skipped when ffmpeg is not there.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Expectations.h"
#include "MediaProbe.h"
#include "TestMedia.h"
#include "engine/CommandLine.h"
#include "settings/IniFile.h"

namespace palomix::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kProgramFolder = PALOMIX_PROGRAM_DIR;
const std::string kBatch = kProgramFolder + "/palomix-batch";
const std::string kFfmpeg = kProgramFolder + "/cores/ffmpeg";
const std::string kFfprobe = kProgramFolder + "/cores/ffprobe";
const std::string kExpectations = PALOMIX_SOURCE_DIR "/tests/e2e/expectations.tsv";

// How far a duration may be from the promised one, in seconds.
constexpr double kDurationTolerance = 0.2;

const ExpectationsFile& Expectations() {
    static const ExpectationsFile file = LoadExpectations(kExpectations);
    return file;
}

std::vector<std::string> ExpectedSettingsFiles() {
    std::set<std::string> names;
    for (const ExpectedOutput& row : Expectations().rows) {
        names.insert(row.settingsFile);
    }
    return {names.begin(), names.end()};
}

// The command lists of the shipped files as palomix-batch --list gives them: file name, then
// item number, then the row that --command takes.
struct CommandLists {
    std::map<std::string, std::map<int, int>> rows;
    std::map<std::string, std::string> paths;  // file name -> full path
    std::string error;
};

CommandLists ListCommands() {
    CommandLists lists;
    const ProcessOutput listed = RunProcess({kBatch, "--list", "--language", "en"});
    if (listed.exitCode != 0) {
        lists.error = "palomix-batch --list: " + listed.err;
        return lists;
    }
    std::istringstream in(listed.out);
    std::string file;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) {
            cells.push_back(cell);
        }
        if (cells.size() >= 5 && !line.starts_with('\t')) {
            file = cells[1];
            lists.paths[file] = cells[4];
            lists.rows[file];
        } else if (cells.size() >= 4 && line.starts_with('\t')) {
            lists.rows[file][std::stoi(cells[2])] = std::stoi(cells[1]);
        }
    }
    return lists;
}

std::string BaseOf(const std::string& fileName) {
    return fs::path(fileName).stem().string();
}

// Every regular file below `folder`, as paths.
std::set<std::string> FilesBelow(const fs::path& folder) {
    std::set<std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_regular_file()) {
            files.insert(it->path().string());
        }
    }
    return files;
}

bool StartsAsJpeg(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char magic[3] = {};
    in.read(reinterpret_cast<char*>(magic), 3);
    return in && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
}

class TemporaryFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "palomix-e2e-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = fs::canonical(pattern);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // A folder that stands for an attached player: PSP/GAME or MP_ROOT at its root.
    fs::path MakeDrive(const fs::path& root, const std::string& marker) const {
        fs::create_directories(root / marker);
        return root;
    }

    fs::path root_;
};

TEST(ShippedSettingsTest, ExpectationsCoverEveryCommandOfEveryShippedFile) {
    ASSERT_EQ(Expectations().error, "");
    const CommandLists lists = ListCommands();
    ASSERT_EQ(lists.error, "");

    std::set<std::string> shipped;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(PALOMIX_SOURCE_DIR "/convert_settings")) {
        shipped.insert(entry.path().filename().string());
    }
    std::set<std::string> listed;
    for (const auto& [file, rows] : lists.rows) {
        listed.insert(file);
    }
    EXPECT_EQ(listed, shipped) << "the program folder's convert_settings is not the shipped one";

    std::set<std::pair<std::string, int>> expected;
    for (const ExpectedOutput& row : Expectations().rows) {
        expected.emplace(row.settingsFile, row.item);
        EXPECT_TRUE(lists.rows.contains(row.settingsFile) &&
                    lists.rows.at(row.settingsFile).contains(row.item))
            << row.settingsFile << " has no command Item" << row.item;
    }
    for (const auto& [file, rows] : lists.rows) {
        for (const auto& [item, row] : rows) {
            EXPECT_TRUE(expected.contains({file, item}))
                << file << " Item" << item << " has no expected output";
        }
    }
}

using TemplateCheckTest = TemporaryFolderTest;

// Every command line of every shipped file reaches ffmpeg as written: none is taken for a tool
// line, each keeps its quoted converter path, and none holds an option that the rewriting rules
// for old settings files would change behind the author's back.
TEST_F(TemplateCheckTest, EveryShippedTemplateRunsAsWrittenInADryRun) {
    const CommandLists lists = ListCommands();
    ASSERT_EQ(lists.error, "");
    const fs::path input = root_ / "clip.mp4";
    std::ofstream(input) << "media";
    const fs::path psp = MakeDrive(root_ / "psp", "PSP/GAME");
    const fs::path walkman = MakeDrive(root_ / "walkman", "MP_ROOT");
    const std::vector<std::string> rewritten = {"-title \"<%Title%>\" ",
                                                "-timestamp \"<%TimeStamp%>\" ",
                                                "-fixaspect ",
                                                "-passlogfile ",
                                                "<%OutputPath%>",
                                                "<%TemporaryFile%>",
                                                "-b ",
                                                "-ab ",
                                                "-maxfr ",
                                                "-muxvb ",
                                                "-muxab ",
                                                "-bitexact",
                                                "-vcodec xvid",
                                                "-vcodec h264",
                                                "-acodec mp3",
                                                "-acodec aac"};
    const std::string converter = "\"<%AppPath%>\\cores\\ffmpeg\" ";
    const std::string program = kProgramFolder + "/cores/ffmpeg ";
    IniReader reader;

    for (const auto& [file, rows] : lists.rows) {
        for (const auto& [item, row] : rows) {
            SCOPED_TRACE(file + " Item" + std::to_string(item));
            std::vector<std::string> templates;
            for (int number = 0; number < 256; ++number) {
                std::string line =
                    reader.ReadString(lists.paths.at(file), "Item" + std::to_string(item),
                                      "Command" + std::to_string(number));
                if (!line.empty()) {
                    templates.push_back(std::move(line));
                }
            }
            ASSERT_FALSE(templates.empty());
            for (const std::string& commandTemplate : templates) {
                EXPECT_FALSE(IsSkippedTemplate(commandTemplate)) << commandTemplate;
                EXPECT_EQ(commandTemplate.rfind(converter, 0), 0u) << commandTemplate;
                for (const std::string& token : rewritten) {
                    EXPECT_EQ(commandTemplate.find(token), std::string::npos)
                        << "'" << token << "' in " << commandTemplate;
                }
            }

            const ProcessOutput dry =
                RunProcess({kBatch, "--dry-run", "--settings", file, "--command",
                            std::to_string(row), "--output", (root_ / "out").string(), "--drive",
                            psp.string(), "--drive", walkman.string(), input.string()});
            ASSERT_EQ(dry.exitCode, 0) << dry.err;
            std::vector<std::string> lines;
            std::istringstream in(dry.out);
            for (std::string line; std::getline(in, line);) {
                lines.push_back(line);
            }
            EXPECT_EQ(lines.size(), templates.size()) << dry.out;
            for (const std::string& line : lines) {
                EXPECT_EQ(line.rfind(program, 0), 0u) << line;
                EXPECT_EQ(line.find("<%"), std::string::npos) << line;
                EXPECT_EQ(line.find("%>"), std::string::npos) << line;
            }
        }
    }
}

class ShippedConversionTest : public TemporaryFolderTest,
                              public ::testing::WithParamInterface<std::string> {};

// Checks one output file against its row; `path` is where it should be.
void CheckOutput(const ExpectedOutput& row, const std::string& path) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(fs::is_regular_file(path)) << "not written";
    const ProbedMedia media = ProbeMedia(kFfprobe, path);
    ASSERT_TRUE(media.ok) << media.error;
    std::vector<std::string> codecs;
    const ProbedStream* video = nullptr;
    for (const ProbedStream& stream : media.streams) {
        codecs.push_back(stream.codec);
        if (video == nullptr && stream.type == "video") {
            video = &stream;
        }
    }
    EXPECT_EQ(codecs, row.codecs);
    if (row.width || row.height) {
        ASSERT_NE(video, nullptr) << "no picture";
        EXPECT_EQ(video->width, row.width.value_or(0));
        EXPECT_EQ(video->height, row.height.value_or(0));
    }
    if (row.duration) {
        ASSERT_TRUE(media.duration.has_value()) << "no duration";
        EXPECT_NEAR(*media.duration, *row.duration, kDurationTolerance);
    }
    if (row.titleTag) {
        EXPECT_EQ(TitleOf(media), *row.titleTag);
    }
    if (fs::path(path).extension() == ".jpg") {
        EXPECT_TRUE(StartsAsJpeg(path)) << "not a JPEG file";
    }
}

TEST_P(ShippedConversionTest, EveryCommandMakesWhatItsTitlePromises) {
    if (!IsExecutable(kFfmpeg) || !IsExecutable(kFfprobe) || !IsExecutable(kBatch)) {
        GTEST_SKIP() << "ffmpeg and ffprobe are not in " << kProgramFolder
                     << "/cores (install ffmpeg and build again)";
    }
    ASSERT_EQ(Expectations().error, "");
    const std::string file = GetParam();
    const CommandLists lists = ListCommands();
    ASSERT_EQ(lists.error, "");
    ASSERT_TRUE(lists.rows.contains(file));

    std::map<int, std::vector<ExpectedOutput>> items;
    for (const ExpectedOutput& row : Expectations().rows) {
        if (row.settingsFile == file) {
            items[row.item].push_back(row);
        }
    }

    // The inputs this file needs, made once, with their checksums.
    const fs::path inputs = root_ / "in";
    fs::create_directories(inputs);
    std::map<std::string, std::string> inputPaths;
    std::map<std::string, std::string> checksums;
    for (const auto& [item, rows] : items) {
        for (const ExpectedOutput& row : rows) {
            if (!inputPaths.contains(row.input)) {
                std::string error;
                const std::string path = MakeInput(kFfmpeg, row.input, inputs.string(), error);
                ASSERT_FALSE(path.empty()) << error;
                inputPaths[row.input] = path;
                checksums[path] = FileChecksum(path);
            }
        }
    }

    for (const auto& [item, rows] : items) {
        SCOPED_TRACE(file + " Item" + std::to_string(item));
        ASSERT_TRUE(lists.rows.at(file).contains(item));
        const fs::path out = root_ / ("out" + std::to_string(item));
        const fs::path drives = root_ / ("drives" + std::to_string(item));
        const fs::path psp = MakeDrive(drives / "psp", "PSP/GAME");
        const fs::path walkman = MakeDrive(drives / "walkman", "MP_ROOT");

        // One run for all the inputs of the command, in the order the rows name them.
        std::vector<std::string> arguments = {kBatch,
                                              "--settings",
                                              file,
                                              "--command",
                                              std::to_string(lists.rows.at(file).at(item)),
                                              "--output",
                                              out.string(),
                                              "--drive",
                                              psp.string(),
                                              "--drive",
                                              walkman.string()};
        std::vector<std::string> given;
        for (const ExpectedOutput& row : rows) {
            if (std::find(given.begin(), given.end(), row.input) == given.end()) {
                given.push_back(row.input);
                arguments.push_back(inputPaths.at(row.input));
            }
        }
        const ProcessOutput result = RunProcess(arguments);
        EXPECT_EQ(result.exitCode, 0) << result.err;

        std::set<std::string> expectedFiles;
        for (const ExpectedOutput& row : rows) {
            const std::string base = BaseOf(InputFileName(row.input));
            fs::path path = ExpandOutput(row.output, base, psp.string(), walkman.string());
            if (path.is_relative()) {
                path = out / path;
            }
            expectedFiles.insert(path.string());
            CheckOutput(row, path.string());
        }
        // Nothing else is written, to the output folder or to the players.
        std::set<std::string> written = FilesBelow(out);
        written.merge(FilesBelow(drives));
        EXPECT_EQ(written, expectedFiles);
    }

    // The inputs are as they were, and nothing was written beside them.
    for (const auto& [path, checksum] : checksums) {
        EXPECT_EQ(FileChecksum(path), checksum) << path;
    }
    std::set<std::string> inputFiles;
    for (const auto& [path, checksum] : checksums) {
        inputFiles.insert(path);
    }
    EXPECT_EQ(FilesBelow(inputs), inputFiles);
}

std::string TestNameOf(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(ShippedFiles, ShippedConversionTest,
                         ::testing::ValuesIn(ExpectedSettingsFiles()), TestNameOf);

}  // namespace
}  // namespace palomix::e2e
