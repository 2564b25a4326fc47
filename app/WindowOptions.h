// The options of the window program's command line. `palomix --help` and `palomix --version`
// print and end without a window; an option the program does not know is refused with a clear
// error, so that a mistyped option never becomes a file to convert. Qt's own options (-style,
// -platform, ...) are taken out first, by Qt itself, and keep working. What is left, and
// everything after "--", are the paths to convert.
#pragma once

#include <QStringList>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace palomix {

// What the command line asks of the program.
struct WindowOptions {
    enum class Action {
        OpenWindow,   // start (or hand the paths to the window that runs)
        ShowHelp,     // print `text` on the standard output and end with 0
        ShowVersion,  // likewise
        Refuse,       // print `text` on the standard error and end with kRefusedExitCode
    };
    Action action = Action::OpenWindow;
    std::string text;
};

// The exit status of a refused command line, as palomix-batch gives for a usage error.
inline constexpr int kRefusedExitCode = 2;

// Reads the arguments that are left once Qt has taken its own (the first is the program).
// `versionText` is asked only for --version.
WindowOptions ReadWindowOptions(const QStringList& arguments,
                                const std::function<std::string()>& versionText);

// The lines of --version: the program and its version, how media files are probed (as the
// About box says it; "none" where they are not), and the licence.
std::string WindowVersionText(std::string_view version, std::string_view probeWay,
                              std::string_view licence);

// The options of `argv` answered before anything else happens: nothing to answer (the window
// starts) gives -1, else the exit status once the answer is printed. Qt's options are taken out
// by an application object of its own on Qt's minimal platform, which needs no display.
int AnswerWindowOptions(int argc, char* argv[]);

// A copy of the command line with "-platform minimal" added, for a QApplication that reads
// Qt's own options and needs no display (the options answered, a hand-over to a running
// window). `count` and `argv` are what QApplication takes and changes.
class MinimalPlatformArguments {
public:
    MinimalPlatformArguments(int argc, char* argv[]);
    MinimalPlatformArguments(const MinimalPlatformArguments&) = delete;
    MinimalPlatformArguments& operator=(const MinimalPlatformArguments&) = delete;
    int count = 0;
    char** argv() { return pointers_.data(); }

private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;
};

}  // namespace palomix
