// Opening a file or a web page with the program the system associates with it (a text
// editor for a settings file, the browser for a page). Fire and forget: the caller never
// waits for the program, and a failure to start it is not reported.
#pragma once

#include <functional>
#include <string>

namespace palomix {

// Hands the path or URL to the system's default handler: ShellExecuteW with "open" on
// Windows, xdg-open on POSIX (started directly, never through a shell, detached from our
// standard streams, and reaped so it leaves no zombie). Returns at once.
void OpenWithDefaultProgram(const std::string& pathOrUrl);

// How the front ends hand the opener to the core, so tests can pass a fake that launches
// nothing.
using DefaultProgramOpener = std::function<void(const std::string& pathOrUrl)>;

}  // namespace palomix
