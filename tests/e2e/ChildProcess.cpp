#include "ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace palomix::e2e {
namespace {

// A temporary file that goes with the object.
class TemporaryFile {
public:
    TemporaryFile() {
        const char* base = std::getenv("TMPDIR");
        path_ =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/palomix-e2e-XXXXXX";
        const int fd = ::mkstemp(path_.data());
        if (fd >= 0) {
            ::close(fd);
        } else {
            path_.clear();
        }
    }
    ~TemporaryFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return path_; }
    std::string Text() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string path_;
};

}  // namespace

ProcessOutput RunProcess(const std::vector<std::string>& arguments, const std::string& folder,
                         const std::string& input) {
    ProcessOutput output;
    if (arguments.empty()) {
        return output;
    }
    const TemporaryFile out;
    const TemporaryFile err;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(),
                                     O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.Path().c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.Path().c_str(), O_WRONLY | O_TRUNC, 0);
    if (!folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    }
    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    argv.reserve(texts.size() + 1);
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        output.err = "cannot start " + arguments[0];
        return output;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    output.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    output.out = out.Text();
    output.err = err.Text();
    return output;
}

bool IsExecutable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace palomix::e2e
