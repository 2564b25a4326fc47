// Starting a program with its standard streams in files and waiting for its end, for the tests
// that run the built palomix-batch. ChildProgramPosix.cpp and ChildProgramWindows.cpp hold the
// two systems' ways.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace palomix::testing {

struct ChildEnd {
    int exitCode = -1;  // -1 when it ended by a signal or could not be waited for
    int signal = 0;     // the signal that ended it, if one did (POSIX only)
};

// Output of a program in the system's text mode with '\n' line ends: Windows programs end their
// lines with "\r\n".
std::string FromTextMode(std::string text);

// The programs a test started, by process id. Waiting and closing act on the processes these
// started, never on later ones that reuse an id.
class ChildPrograms {
public:
    ChildPrograms();
    ~ChildPrograms();
    ChildPrograms(const ChildPrograms&) = delete;
    ChildPrograms& operator=(const ChildPrograms&) = delete;

    // Starts `arguments[0]` with the arguments, in `folder`, standard input read from `inFile`
    // (the null device when empty), standard output and error written to the two files. The
    // process id, or -1 when it cannot be started.
    long Start(const std::vector<std::string>& arguments, const std::string& folder,
               const std::string& inFile, const std::string& outFile, const std::string& errFile);

    // Waits for the end of a program started here.
    ChildEnd Wait(long id);

private:
    struct Processes;
    std::unique_ptr<Processes> processes_;
};

}  // namespace palomix::testing
