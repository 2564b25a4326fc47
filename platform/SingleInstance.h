// One running instance per user: the first process takes a named lock and holds it until it
// ends; a later process finds it taken and leaves without a window.
//
// Windows: the named mutex of the session, opened first (a running instance is found by the
// open), then created and held. POSIX: an flock held on "<name>.lock" in a folder that only
// this user can write, chosen from the user id and the user's temporary folder (TMPDIR, which
// every process of a session is started with, else /tmp), so that every process of the user
// finds the same lock whenever it starts: $TMPDIR/palomix-<uid> or /tmp/palomix-<uid>
// (created 0700 when missing, and checked to be ours, private and no link), else, when another
// user took that name, .cache/palomix in the home folder of the user database. (The session's
// runtime folder /run/user/<uid> is not used: a window started before it appeared, and a later
// start after, would look in two places.) The holder also keeps a shared lock on the folder,
// which /tmp's ageing (systemd-tmpfiles) respects. A name in a folder that others can write
// could be taken first by another user, so none is ever used. The lock is released by the
// system when the process ends, however it ends.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace palomix {

class SingleInstanceLock {
public:
    enum class Outcome {
        Held,           // this process holds the lock
        HeldElsewhere,  // another instance holds it
        Unavailable,    // no lock could be made (no private folder, no mutex): run anyway
    };

    // Tries the lock named `name` at once; never waits.
    explicit SingleInstanceLock(const std::string& name);
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    Outcome Result() const { return outcome_; }
    bool AnotherInstanceRunning() const { return outcome_ == Outcome::HeldElsewhere; }

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    Outcome outcome_ = Outcome::Unavailable;
};

// Where the lock named `name` is kept, to show or check it: POSIX the lock file's path (its
// folder is made when missing), Windows the mutex name; nullopt when there is no such place.
std::optional<std::string> SingleInstanceLockPlace(const std::string& name);

// The name every instance of the program locks.
inline constexpr const char* kSingleInstanceName = "Dorimba";

}  // namespace palomix
