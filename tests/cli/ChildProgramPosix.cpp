#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "ChildProgram.h"

extern char** environ;

namespace palomix::testing {

std::string FromTextMode(std::string text) {
    return text;
}

struct ChildPrograms::Processes {};

ChildPrograms::ChildPrograms() = default;
ChildPrograms::~ChildPrograms() = default;

long ChildPrograms::Start(const std::vector<std::string>& arguments, const std::string& folder,
                          const std::string& inFile, const std::string& outFile,
                          const std::string& errFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inFile.empty() ? "/dev/null" : inFile.c_str(),
                                     O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, texts[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? static_cast<long>(pid) : -1;
}

ChildEnd ChildPrograms::Wait(long id) {
    ChildEnd end;
    int status = 0;
    if (id <= 0 || waitpid(static_cast<pid_t>(id), &status, 0) != static_cast<pid_t>(id)) {
        return end;
    }
    end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return end;
}

}  // namespace palomix::testing
