// What the tests of the real palomix program share (POSIX): starting it as a child process with
// an environment of the test's own, waiting for it to end, and looking at the single-instance
// lock it holds.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace palomix::testing {

// Starts the program with the arguments given and this process's environment, but for its
// runtime folder, Qt platform and display, which come from `environment` when it names them.
// `output`: files its standard output and error go to (none: this process's).
inline pid_t Spawn(const std::string& program, const std::vector<std::string>& environment,
                   const std::vector<std::string>& arguments = {},
                   const std::optional<std::pair<std::string, std::string>>& output = {}) {
    std::vector<std::string> variables = environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('=') + 1);
        bool given = false;
        for (const std::string& variable : environment) {
            given = given || variable.rfind(name, 0) == 0;
        }
        if (!given && name != "XDG_RUNTIME_DIR=" && name != "QT_QPA_PLATFORM=") {
            variables.push_back(text);
        }
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (output) {
        ::posix_spawn_file_actions_addopen(&actions, 1, output->first.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::posix_spawn_file_actions_addopen(&actions, 2, output->second.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = 0;
    const int failed =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    return failed != 0 ? -1 : pid;
}

// The exit status of the child, or nullopt when it is still running after the time given.
inline std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

inline bool LockIsHeld(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

}  // namespace palomix::testing
