// A helper program of Palomix that lives as long as it is needed and is spoken to over its
// standard input and output (palomix-probe). Whatever it writes is handed to the host's thread
// as it comes; its end is handed over once, with how it ended. A time limit, set while an
// answer is awaited, kills it when the answer is late. It never outlives its owner: destroying
// the object kills it and waits for it, and the helper itself ends with the program that
// started it (platform/ParentWatch.h) or when its input ends.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ProcessLauncher.h"

namespace palomix {

class HelperProcess {
public:
    struct Events {
        // Bytes it wrote, in order, on the host's thread.
        std::function<void(std::string bytes)> received;
        // Its end, once, on the host's thread, after the last bytes it wrote.
        std::function<void(ProcessExit exit)> ended;
    };

    // Kills the helper (if it still runs) and waits for it; no event comes after.
    virtual ~HelperProcess() = default;
    // Writes to its standard input; false when it cannot (it has ended).
    virtual bool Send(std::string_view bytes) = 0;
    // From now on it must write something within `limit`, or it is killed (its end then says
    // timeLimitReached); nullopt: no limit. Each call starts the time again.
    virtual void SetTimeLimit(std::optional<std::chrono::milliseconds> limit) = 0;
    // Kills it now; its end follows.
    virtual void Kill() = 0;
};

// Starts `program` with no arguments, its standard error to the null device. Null, with the
// reason in `failure`, when it cannot be started (or helpers cannot be started here).
std::unique_ptr<HelperProcess> StartHelperProcess(const std::string& program, PostToHost post,
                                                  HelperProcess::Events events,
                                                  std::string& failure);

}  // namespace palomix
