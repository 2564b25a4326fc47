// Runs a copy of the built palomix-batch in a program folder of the test's own, so that it
// finds the test's convert_settings beside itself. The binary is copied, not linked: the
// program finds its folder through /proc/self/exe, which resolves links.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace palomix::testing {

struct BatchResult {
    int exitCode = -1;  // -1 when it ended by a signal
    int signal = 0;     // the signal that ended it, if one did
    std::string out;
    std::string err;
};

class BatchProgramFixture : public ::testing::Test {
protected:
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
        std::filesystem::copy_file(PALOMIX_PROGRAM_DIR "/palomix-batch",
                                   program_ / "palomix-batch");
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    std::string ProgramFolder() const { return program_.string(); }
    std::string WorkFolder() const { return work_.string(); }
    std::string SettingsFolder() const { return (program_ / "convert_settings").string(); }

    // Writes a file (folders made as needed) and gives its path.
    static std::string WriteFile(const std::filesystem::path& path, const std::string& text) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::string WriteSettings(const std::string& relative, const std::string& text) const {
        return WriteFile(program_ / "convert_settings" / relative, text);
    }
    std::string WriteWork(const std::string& relative, const std::string& text = "media") const {
        return WriteFile(work_ / relative, text);
    }

    // Runs the copied program with the arguments, in the work folder, and waits for it.
    // Standard input holds `input`.
    BatchResult Run(const std::vector<std::string>& arguments,
                    const std::string& input = {}) const {
        return Wait(Start(arguments, input));
    }

    // Starts the copied program with the arguments, in the work folder, and gives its process
    // id (-1 when it cannot be started); Wait collects its result.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& input = {}) const {
        const std::string inFile = WriteFile(root_ / "stdin.bin", input);
        const std::string outFile = (root_ / "stdout.txt").string();
        const std::string errFile = (root_ / "stderr.txt").string();
        const std::string program = (program_ / "palomix-batch").string();

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, inFile.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addchdir_np(&actions, work_.c_str());

        std::vector<std::string> texts{program};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& text : texts) {
            argv.push_back(text.data());
        }
        argv.push_back(nullptr);

        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << program;
            return -1;
        }
        return pid;
    }

    BatchResult Wait(pid_t pid) const {
        BatchResult result;
        if (pid <= 0) {
            return result;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.out = ReadAll((root_ / "stdout.txt").string());
        result.err = ReadAll((root_ / "stderr.txt").string());
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
};

}  // namespace palomix::testing
