// Opening a file or a web page with the program the system associates with it (a text
// editor for a settings file, the browser for a page). The caller never waits for the program.
#pragma once

#include <functional>
#include <string>

namespace palomix {

// Why a file or page could not be opened.
struct OpenFailure {
    enum class Kind {
        NotStarted,  // the system's opener could not be started (code: errno or, on Windows,
                     // the error ShellExecuteW gave)
        Failed,      // the opener ran and ended with an error (code: its exit code)
    };
    Kind kind = Kind::NotStarted;
    int code = 0;
};

// Called with the failure: at once, before TryOpenWithDefaultProgram returns, when the opener
// cannot be started; on a thread of the opener's own when it ends with an error later.
using OpenFailureHandler = std::function<void(const OpenFailure&)>;

// Hands the path or URL to the system's default handler: ShellExecuteW with "open" on
// Windows (every failure known at once), xdg-open on POSIX (started directly, never through a
// shell, detached from our standard streams, and reaped so it leaves no zombie; it may run as
// long as the program it starts, so its exit code can come much later). Returns at once.
void TryOpenWithDefaultProgram(const std::string& pathOrUrl, OpenFailureHandler onFailure);
// The same without a word about failures.
void OpenWithDefaultProgram(const std::string& pathOrUrl);

// How the front ends hand the opener to the core, so tests can pass a fake that launches
// nothing.
using DefaultProgramOpener = std::function<void(const std::string& pathOrUrl)>;
// The same for a front end that tells the user when opening failed.
using ReportingProgramOpener =
    std::function<void(const std::string& pathOrUrl, OpenFailureHandler onFailure)>;

}  // namespace palomix
