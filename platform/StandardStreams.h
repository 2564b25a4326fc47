// Standard streams a program was started without. A POSIX program started with a standard
// stream closed hands that descriptor to the next file it opens: it would then read its list
// of paths from that file, or write its messages into it.
#pragma once

namespace palomix {

struct ClosedStandardStreams {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Puts the null device in the place of each standard stream that is closed, so that no file
// takes it, and says which were closed. Call it first in main, before anything is opened.
// (On Windows a missing standard handle is only reported: no file can take its place.)
ClosedStandardStreams HoldClosedStandardStreams();

}  // namespace palomix
