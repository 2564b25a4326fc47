// Run with:
//   cmake --build build --target bench-catalogue && build/bench/bench-catalogue
//
// The settings catalogue and the command lines of one job, on generated settings files:
// - loading a catalogue of 200 files of 256 items each (target: at most 5 ms per file),
//   with a new reader (every file parsed) and again with the reader of the previous load;
// - refilling the command list of one such file (256 titles);
// - reading and preparing the 256 command lines of one job from a 256-item file (target: at
//   most 5 ms), with the reader a run keeps and with a new one.
// The files live in a temporary program folder that is removed afterwards.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/CommandLine.h"
#include "engine/RunPolicy.h"
#include "platform/Drives.h"
#include "settings/IniFile.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;

constexpr int kCatalogueFiles = 200;
constexpr int kItemsPerFile = 256;
constexpr int kCommandsPerItem = 8;

std::string TemplateText(int item, int i) {
    switch (i % 4) {
        case 0:
            return "\"<%AppPath%>\\cores\\ffmpeg\" -y -i \"<%InputFile%>\" -title \"<%Title%>\" "
                   "-vcodec xvid -b " +
                   std::to_string(300 + item) +
                   " -acodec mp3 -ab 128 -maxfr 30 -bitexact \"<%OutputFile%>.avi\" -y";
        case 1:
            return "\"<%AppPath%>\\cores\\ffmpeg\" -y -i \"<%InputFile%>\" -f image2 "
                   "\"<%OutputFile%>.THM\" -y";
        case 2:
            return "\"<%AppPath%>\\cores\\ffmpeg\" -y -i \"<%InputFile%>\" -vcodec h264 -b 768 "
                   "\"<%PSPVideoOutputFile%>.MP4\" -y";
        default:
            return "rm \"<%TemporaryFile%>.log\"";
    }
}

// A settings file of `items` items with `commands` command lines each; item `fullItem` has
// all 256.
void WriteSettingsFile(const fs::path& path, int index, int items, int commands, int fullItem) {
    std::ofstream out(path, std::ios::binary);
    out << "[Info]\nTitle=\xE8\xA8\xAD\xE5\xAE\x9A " << index << "\nDescription=file " << index
        << "\nTitleE=Settings " << index << "\nDescriptionE=the \"file\" " << index << "\n";
    for (int n = 0; n < items; ++n) {
        out << "[Item" << n << "]\nTitle=\xE5\xA4\x89\xE6\x8F\x9B " << n << "\nTitleE=Convert " << n
            << "\n";
        const int count = n == fullItem ? kCommandTemplateCount : commands;
        for (int i = 0; i < count; ++i) {
            out << "Command" << i << '=' << TemplateText(n, i) << '\n';
        }
    }
}

// A program folder with a convert_settings tree of generated files, removed at the end.
class GeneratedProgram {
public:
    GeneratedProgram() {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("palomix-bench-" + std::to_string(random()));
        const fs::path settings = root_ / "convert_settings";
        fs::create_directories(settings / "more");
        for (int k = 0; k < kCatalogueFiles; ++k) {
            // A quarter of the files in a subfolder, as shipped trees have them.
            const fs::path folder = k % 4 == 3 ? settings / "more" : settings;
            WriteSettingsFile(folder / ("settings" + std::to_string(k) + ".ini"), k, kItemsPerFile,
                              kCommandsPerItem, -1);
        }
        jobFile_ = (root_ / "job.ini").string();
        WriteSettingsFile(jobFile_, 0, kItemsPerFile, kCommandsPerItem, 0);
    }
    ~GeneratedProgram() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    GeneratedProgram(const GeneratedProgram&) = delete;
    GeneratedProgram& operator=(const GeneratedProgram&) = delete;

    std::string Folder() const { return root_.string(); }
    const std::string& JobFile() const { return jobFile_; }

private:
    fs::path root_;
    std::string jobFile_;
};

void PerFile(benchmark::State& state) {
    state.counters["per_file"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kCatalogueFiles,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void CatalogueLoadNewReader(benchmark::State& state, const GeneratedProgram& program) {
    for (auto _ : state) {
        SettingsCatalogue catalogue(program.Folder());
        catalogue.LoadSettingsCatalogue(Language::Japanese);
        benchmark::DoNotOptimize(catalogue.Entries().data());
    }
    PerFile(state);
}

void CatalogueReload(benchmark::State& state, const GeneratedProgram& program) {
    SettingsCatalogue catalogue(program.Folder());
    catalogue.LoadSettingsCatalogue(Language::English);
    for (auto _ : state) {
        catalogue.LoadSettingsCatalogue(Language::English);
        benchmark::DoNotOptimize(catalogue.Entries().data());
    }
    PerFile(state);
}

void CommandListRefill(benchmark::State& state, const GeneratedProgram& program) {
    SettingsCatalogue catalogue(program.Folder());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    catalogue.SelectSettingsRow(kCatalogueFiles / 2);
    for (auto _ : state) {
        catalogue.MultiComboBox1Change(Language::Japanese);
        benchmark::DoNotOptimize(catalogue.CommandRows().data());
    }
}

// What a run does for one job: the command lines of the chosen item, read from one look at
// the file, each planned by the run policy.
std::size_t PrepareJob(IniReader& reader, const ChosenCommand& command, const CommandValues& values,
                       DeviceAccess& devices) {
    const std::shared_ptr<const IniDocument> document = reader.TryDocument(command.settingsFile);
    if (!document) {
        return 0;
    }
    CommandDefinition definition;
    definition.templates = ReadCommandTemplates(*document, command.itemNumber);
    const RunPolicy policy(values.appFolder, NativePathStyle());
    const JobPlan plan =
        policy.PlanJob(&definition, command.settingsFile,
                       JobInputs{values.inputPath, values.outputFolder, {}}, devices);
    std::size_t prepared = 0;
    for (const PlannedLine& line : plan.lines) {
        prepared += line.commandLine.size();
    }
    return prepared;
}

void JobTemplates(benchmark::State& state, const GeneratedProgram& program, bool newReader) {
    const ChosenCommand command{program.JobFile(), 0};
    const CommandValues values{"/home/user/videos/holiday clip.mpg", "/home/user/out",
                               program.Folder()};
    std::unique_ptr<DeviceAccess> devices = FolderDeviceAccess({});
    IniReader kept;
    PrepareJob(kept, command, values, *devices);
    for (auto _ : state) {
        if (newReader) {
            IniReader reader;
            benchmark::DoNotOptimize(PrepareJob(reader, command, values, *devices));
        } else {
            benchmark::DoNotOptimize(PrepareJob(kept, command, values, *devices));
        }
    }
}

}  // namespace
}  // namespace palomix

int main(int argc, char** argv) {
    using namespace palomix;
    const GeneratedProgram program;
    benchmark::RegisterBenchmark("CatalogueLoad/200files/newReader", CatalogueLoadNewReader,
                                 std::cref(program))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("CatalogueLoad/200files/sameReader", CatalogueReload,
                                 std::cref(program))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("CommandListRefill/256items", CommandListRefill,
                                 std::cref(program))
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("JobTemplates/256/keptReader", JobTemplates, std::cref(program),
                                 false)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("JobTemplates/256/newReader", JobTemplates, std::cref(program),
                                 true)
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
