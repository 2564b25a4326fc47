// The conversion settings that ship, run for real: every command of every file in
// convert_settings/ converts the test's own short inputs through the built palomix-batch, in
// the build's program folder (with cores/ffmpeg linked to the system's), and each output is
// checked with ffprobe and ffmpeg against tests/e2e/expectations.tsv. Skipped when ffmpeg is
// not there.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Expectations.h"
#include "OutputChecks.h"
#include "TestMedia.h"
#include "engine/CommandLine.h"
#include "settings/IniFile.h"
#include "settings/SettingsCatalogue.h"

namespace palomix::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kProgramFolder = PALOMIX_PROGRAM_DIR;
const std::string kBatch = kProgramFolder + "/palomix-batch";
const std::string kFfmpeg = kProgramFolder + "/cores/ffmpeg";
const std::string kFfprobe = kProgramFolder + "/cores/ffprobe";
const std::string kExpectations = PALOMIX_SOURCE_DIR "/tests/e2e/expectations.tsv";
const MediaTools kTools{kFfmpeg, kFfprobe};

// What a later version puts before the extension of the names it writes until a job is done.
constexpr const char* kInfix = ".palomix-part";

const ExpectationsFile& Expectations() {
    static const ExpectationsFile file = LoadExpectations(kExpectations);
    return file;
}

InputLibrary& Inputs() {
    static InputLibrary library(kFfmpeg);
    return library;
}

bool ToolsAreThere() {
    return IsExecutable(kFfmpeg) && IsExecutable(kFfprobe) && IsExecutable(kBatch);
}

std::vector<std::string> ExpectedSettingsFiles() {
    std::set<std::string> names;
    for (const ExpectedOutput& row : Expectations().rows) {
        names.insert(row.settingsFile);
    }
    return {names.begin(), names.end()};
}

// The rows of one settings file by item, in file order.
std::map<int, std::vector<ExpectedOutput>> RowsByItem(const std::string& file) {
    std::map<int, std::vector<ExpectedOutput>> items;
    for (const ExpectedOutput& row : Expectations().rows) {
        if (row.settingsFile == file) {
            items[row.item].push_back(row);
        }
    }
    return items;
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

std::string WithInfix(const std::string& path) {
    const fs::path name(path);
    return (name.parent_path() / (name.stem().string() + kInfix + name.extension().string()))
        .string();
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
    static fs::path MakeDrive(const fs::path& root, const std::string& marker) {
        fs::create_directories(root / marker);
        return root;
    }

    // An output folder and a PSP and a WALKMAN for one run, below the test's folder.
    struct Places {
        fs::path out;
        fs::path drives;
        fs::path psp;
        fs::path walkman;
    };
    Places MakePlaces(const std::string& name) const {
        Places places;
        places.out = root_ / ("out-" + name);
        places.drives = root_ / ("drives-" + name);
        places.psp = MakeDrive(places.drives / "psp", "PSP/GAME");
        places.walkman = MakeDrive(places.drives / "walkman", "MP_ROOT");
        return places;
    }

    // palomix-batch converting `inputs` with the command of `row` of `settings`.
    static ProcessOutput Convert(const std::string& settings, int row, const Places& places,
                                 const std::vector<std::string>& inputs) {
        std::vector<std::string> arguments = {kBatch,
                                              "--settings",
                                              settings,
                                              "--command",
                                              std::to_string(row),
                                              "--output",
                                              places.out.string(),
                                              "--drive",
                                              places.psp.string(),
                                              "--drive",
                                              places.walkman.string()};
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        return RunProcess(arguments);
    }

    // Where a row's file is written in `places`.
    static std::string OutputPath(const ExpectedOutput& row, const Places& places) {
        fs::path path = ExpandOutput(row.output, BaseOf(InputFileName(row.input)),
                                     places.psp.string(), places.walkman.string());
        return (path.is_relative() ? places.out / path : path).string();
    }

    static std::set<std::string> Written(const Places& places) {
        std::set<std::string> written = FilesBelow(places.out);
        written.merge(FilesBelow(places.drives));
        return written;
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
        EXPECT_FALSE(InputFileName(row.input).empty()) << "unknown input " << row.input;
    }
    for (const auto& [file, rows] : lists.rows) {
        for (const auto& [item, row] : rows) {
            EXPECT_TRUE(expected.contains({file, item}))
                << file << " Item" << item << " has no expected output";
        }
    }
}

// Every command names the file types it takes (Extensions= in its item or in [Info]), as a
// list of lower-case extensions without dots, and takes the inputs it is tested with.
TEST(ShippedSettingsTest, EveryCommandNamesTheFileTypesItTakes) {
    const CommandLists lists = ListCommands();
    ASSERT_EQ(lists.error, "");
    IniReader reader;
    for (const auto& [file, rows] : lists.rows) {
        const std::map<int, std::vector<ExpectedOutput>> items = RowsByItem(file);
        for (const auto& [item, row] : rows) {
            SCOPED_TRACE(file + " Item" + std::to_string(item));
            const std::string path = lists.paths.at(file);
            std::string list = reader.ReadString(path, "Item" + std::to_string(item), "Extensions");
            if (list.empty()) {
                list = reader.ReadString(path, "Info", "Extensions");
            }
            std::set<std::string> extensions;
            std::istringstream in(list);
            for (std::string extension; std::getline(in, extension, ',');) {
                EXPECT_TRUE(
                    !extension.empty() &&
                    std::all_of(extension.begin(), extension.end(),
                                [](unsigned char c) { return std::islower(c) || std::isdigit(c); }))
                    << "'" << extension << "' in " << list;
                extensions.insert(extension);
            }
            EXPECT_FALSE(extensions.empty()) << "no Extensions";
            if (!items.contains(item)) {
                continue;
            }
            for (const ExpectedOutput& expected : items.at(item)) {
                const std::string extension =
                    fs::path(InputFileName(expected.input)).extension().string().substr(1);
                EXPECT_TRUE(extensions.contains(extension))
                    << "tested with ." << extension << " but does not take it";
            }
        }
    }
}

using TemplateCheckTest = TemporaryFolderTest;

// The first file type a command of a shipped file takes ("mp4" when it takes any).
std::string TakenType(const std::string& settingsFile, int item) {
    IniReader reader;
    const auto types = ReadCommandExtensions(*reader.Document(settingsFile), item);
    return types ? types->front() : std::string("mp4");
}

// Every command line of every shipped file reaches ffmpeg as written: none is taken for a tool
// line, each keeps its quoted converter path, and none holds an option that the rewriting rules
// for old settings files would change behind the author's back.
TEST_F(TemplateCheckTest, EveryShippedTemplateRunsAsWrittenInADryRun) {
    const CommandLists lists = ListCommands();
    ASSERT_EQ(lists.error, "");
    const Places places = MakePlaces("dry");
    const std::vector<std::string> rewritten = {"-title \"<%Title%>\" ",
                                                "-timestamp \"<%TimeStamp%>\" ",
                                                "-fixaspect ",
                                                "-passlogfile ",
                                                "<%OutputPath%>",
                                                "<%TemporaryFile%>",
                                                "<%RandomNumber5%>",
                                                "<%OutputFile%>.THM",
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
                EXPECT_NE(commandTemplate.find(" -stats "), std::string::npos)
                    << "no progress statistics in " << commandTemplate;
                for (const std::string& token : rewritten) {
                    EXPECT_EQ(commandTemplate.find(token), std::string::npos)
                        << "'" << token << "' in " << commandTemplate;
                }
            }

            // An input of a type the command takes (it would skip the others).
            const fs::path input = root_ / ("clip." + TakenType(lists.paths.at(file), item));
            std::ofstream(input) << "media";
            const ProcessOutput dry = RunProcess(
                {kBatch, "--dry-run", "--settings", file, "--command", std::to_string(row),
                 "--output", places.out.string(), "--drive", places.psp.string(), "--drive",
                 places.walkman.string(), input.string()});
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
                              public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        if (!ToolsAreThere()) {
            GTEST_SKIP() << "ffmpeg and ffprobe are not in " << kProgramFolder
                         << "/cores (install ffmpeg and build again)";
        }
        TemporaryFolderTest::SetUp();
        ASSERT_EQ(Expectations().error, "");
        lists_ = ListCommands();
        ASSERT_EQ(lists_.error, "");
        ASSERT_TRUE(lists_.rows.contains(GetParam()));
    }

    // The path of an input, made on first use.
    static std::string InputPath(const std::string& kind) {
        std::string error;
        std::string path = Inputs().Path(kind, error);
        EXPECT_FALSE(path.empty()) << error;
        return path;
    }

    int CommandRow(int item) const { return lists_.rows.at(GetParam()).at(item); }

    CommandLists lists_;
};

TEST_P(ShippedConversionTest, EveryCommandMakesWhatItsTitlePromises) {
    const std::string file = GetParam();
    for (const auto& [item, rows] : RowsByItem(file)) {
        SCOPED_TRACE(file + " Item" + std::to_string(item));
        ASSERT_TRUE(lists_.rows.at(file).contains(item));
        const Places places = MakePlaces(std::to_string(item));

        // One run for all the inputs of the command, in the order the rows name them.
        std::vector<std::string> kinds;
        std::vector<std::string> inputs;
        for (const ExpectedOutput& row : rows) {
            if (std::find(kinds.begin(), kinds.end(), row.input) == kinds.end()) {
                kinds.push_back(row.input);
                inputs.push_back(InputPath(row.input));
            }
        }
        const ProcessOutput result = Convert(file, CommandRow(item), places, inputs);
        EXPECT_EQ(result.exitCode, 0) << result.err;

        std::set<std::string> expectedFiles;
        for (const ExpectedOutput& row : rows) {
            const std::string path = OutputPath(row, places);
            expectedFiles.insert(path);
            CheckOutput(kTools, row, path);
        }
        // Nothing else is written, to the output folder or to the players.
        EXPECT_EQ(Written(places), expectedFiles);
    }
    // The inputs are as they were, and nothing was written beside them.
    EXPECT_EQ(Inputs().ChangesSinceMade(), "");
}

// The output format of every command follows from the command line, not from the name: with
// ".palomix-part" before each output's extension (in a copy of the file), each command still
// writes its files, under those names.
TEST_P(ShippedConversionTest, EveryCommandWritesTheSameFilesUnderTemporaryNames) {
    const std::string file = GetParam();
    const fs::path copy = root_ / file;
    {
        std::ifstream in(lists_.paths.at(file), std::ios::binary);
        std::ofstream out(copy, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            // A command line ends with its quoted output name and the outer quote: NAME.EXT""
            if (line.starts_with("Command") && line.ends_with("\"\"")) {
                const std::size_t dot = line.rfind('.');
                ASSERT_NE(dot, std::string::npos) << line;
                line.insert(dot, kInfix);
            }
            out << line << '\n';
        }
    }
    for (const auto& [item, rows] : RowsByItem(file)) {
        SCOPED_TRACE(file + " Item" + std::to_string(item));
        const Places places = MakePlaces(std::to_string(item));
        // The input of the item's first row, and every file the item makes from it.
        const std::string kind = rows.front().input;
        const ProcessOutput result =
            Convert(copy.string(), CommandRow(item), places, {InputPath(kind)});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        std::set<std::string> expectedFiles;
        for (const ExpectedOutput& row : rows) {
            if (row.input == kind) {
                const std::string path = WithInfix(OutputPath(row, places));
                expectedFiles.insert(path);
                CheckStreams(kTools, row, path);
            }
        }
        EXPECT_EQ(Written(places), expectedFiles);
    }
}

// A file that holds no media fails every command and leaves nothing behind.
TEST_P(ShippedConversionTest, ABrokenFileFailsEveryCommandAndWritesNothing) {
    const std::string file = GetParam();
    for (const auto& [item, row] : lists_.rows.at(file)) {
        SCOPED_TRACE(file + " Item" + std::to_string(item));
        const Places places = MakePlaces(std::to_string(item));
        // Under a name of a type the command takes, so that it is converted, not skipped.
        const fs::path broken = root_ / ("broken-" + std::to_string(item) + "." +
                                         TakenType(lists_.paths.at(file), item));
        fs::copy_file(InputPath("broken"), broken, fs::copy_options::overwrite_existing);
        const ProcessOutput result = Convert(file, row, places, {broken.string()});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_EQ(Written(places), std::set<std::string>());
    }
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
