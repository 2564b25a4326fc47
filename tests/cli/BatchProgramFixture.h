// Runs a copy of the built palomix-batch in a program folder of the test's own, so that it
// finds the test's convert_settings beside itself. The binary is copied, not linked: the
// program finds its folder through /proc/self/exe, which resolves links. Paths are UTF-8 texts
// with the system's separators.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProgram.h"

namespace palomix::testing {

struct BatchResult {
    int exitCode = -1;  // -1 when it ended by a signal
    int signal = 0;     // the signal that ended it, if one did
    std::string out;
    std::string err;
};

class BatchProgramFixture : public ::testing::Test {
protected:
    static constexpr const char* kProgramName = "palomix-batch" PALOMIX_EXECUTABLE_SUFFIX;

    void SetUp() override {
        std::random_device random;
        root_ = std::filesystem::temp_directory_path() /
                ("palomix-batch-test-" + std::to_string(random()) + std::to_string(random()));
        program_ = root_ / "program";
        work_ = root_ / "work";
        std::filesystem::create_directories(program_ / "convert_settings");
        std::filesystem::create_directories(work_);
        // The program sees its folder and the current folder with links resolved.
        program_ = std::filesystem::canonical(program_);
        work_ = std::filesystem::canonical(work_);
        std::filesystem::copy_file(std::filesystem::path(PALOMIX_PROGRAM_DIR) / kProgramName,
                                   program_ / kProgramName);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // A UTF-8 path text written with '/' as a path, and a path as UTF-8 text.
    static std::filesystem::path PathOf(const std::string& text) {
        return std::filesystem::path(std::u8string(text.begin(), text.end())).make_preferred();
    }
    static std::string Text(const std::filesystem::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

    std::string ProgramFolder() const { return Text(program_); }
    std::string WorkFolder() const { return Text(work_); }
    std::string SettingsFolder() const { return Text(program_ / "convert_settings"); }

    // Writes a file (folders made as needed) and gives its path.
    static std::string WriteFile(const std::filesystem::path& path, const std::string& text) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return Text(path);
    }
    std::string WriteSettings(const std::string& relative, const std::string& text) const {
        return WriteFile(program_ / "convert_settings" / PathOf(relative), text);
    }
    std::string WriteWork(const std::string& relative, const std::string& text = "media") const {
        return WriteFile(work_ / PathOf(relative), text);
    }

    // Runs the copied program with the arguments, in the work folder, and waits for it.
    // Standard input holds `input`.
    BatchResult Run(const std::vector<std::string>& arguments, const std::string& input = {}) {
        return Wait(Start(arguments, input));
    }

    // Starts the copied program with the arguments, in the work folder, and gives its process
    // id (-1 when it cannot be started); Wait collects its result.
    long Start(const std::vector<std::string>& arguments, const std::string& input = {}) {
        const std::string inFile = WriteFile(root_ / "stdin.bin", input);
        std::vector<std::string> texts{(program_ / kProgramName).string()};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        const long id = children_.Start(texts, work_.string(), inFile,
                                        (root_ / "stdout.txt").string(),
                                        (root_ / "stderr.txt").string());
        if (id < 0) {
            ADD_FAILURE() << "cannot start " << texts[0];
        }
        return id;
    }

    BatchResult Wait(long id) {
        BatchResult result;
        if (id < 0) {
            return result;
        }
        const ChildEnd end = children_.Wait(id);
        result.exitCode = end.exitCode;
        result.signal = end.signal;
        result.out = FromTextMode(ReadAll((root_ / "stdout.txt").string()));
        result.err = FromTextMode(ReadAll((root_ / "stderr.txt").string()));
        return result;
    }

    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::filesystem::path root_;
    std::filesystem::path program_;
    std::filesystem::path work_;
    ChildPrograms children_;
};

}  // namespace palomix::testing
