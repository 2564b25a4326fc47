// The place of the single-instance lock on POSIX (platform/SingleInstance.h), with the system's
// folders looked for below a root of the caller's: "/" for the system itself, a folder of a
// test's own to play the system's.
#pragma once

#include <optional>
#include <string>

namespace palomix {

// As SingleInstanceLockPlace, with the system's folders below `root` ("<root>tmp" for /tmp).
// `root` ends with a '/'.
std::optional<std::string> SingleInstanceLockPlaceUnder(const std::string& root,
                                                        const std::string& name);
// As SingleInstanceLockPlace, with `temporaryFolder` for the user's temporary folder (TMPDIR or
// /tmp): the lock is "<temporaryFolder>/palomix-<uid>/<name>.lock".
std::optional<std::string> SingleInstanceLockPlaceIn(const std::string& temporaryFolder,
                                                     const std::string& name);

}  // namespace palomix
