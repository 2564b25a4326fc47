// Asking what a media file holds: an input's length (for progress and the check of its
// outputs) and what a finished output is (for the check). The run asks through this one
// interface and never knows how the answer is found. There are two ways, each keeping the
// parsing of untrusted files out of the program's own process: palomix-probe, a helper started
// once and asked question after question over a pipe (started again when a file crashes it or
// a question takes too long), and the probe program cores/ffprobe started once per question
// through the process launcher (where there is no helper, as on Windows).
//
// Answers come on the host's thread, each exactly once per ticket given out, never inside Ask.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/OutputCheck.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

enum class ProbeKind {
    Length,  // how long an input lasts
    Output,  // what a finished output is
};

using ProbeTicket = std::uint64_t;

struct ProbeAnswer {
    bool cancelled = false;  // the question was called off before it was answered
    // What the probe says of the file (not readable when the probe failed, with why).
    ProbedMedia media;
};

class MediaProber {
public:
    // Called on the host's thread with each answer.
    using Answered = std::function<void(ProbeTicket, const ProbeAnswer&)>;

    virtual ~MediaProber() = default;
    // Asks about the file; the ticket its answer will carry, or nullopt when nothing can be
    // asked (the probe program cannot be started).
    virtual std::optional<ProbeTicket> Ask(const std::string& path, ProbeKind kind,
                                           bool lowPriority) = 0;
    // Calls a question off: its answer comes as cancelled once the probe has let go of the
    // file. False when it has been answered already.
    virtual bool Cancel(ProbeTicket ticket) = 0;
    // How answers are found, for the About box and --version ("ffprobe per file").
    virtual std::string_view Way() const = 0;
};

// The probe program started once per question through `launcher`, each with the time limit
// (an output's grows with its size, for a slow card).
std::unique_ptr<MediaProber> ProgramProber(ProcessLauncher& launcher, std::string program,
                                           std::chrono::milliseconds timeLimit,
                                           MediaProber::Answered answered);

// The helper `program` (palomix-probe), started when the first question comes and kept; its
// answers and ends come through `post`.
std::unique_ptr<MediaProber> HelperProber(std::string program, PostToHost post,
                                          std::chrono::milliseconds timeLimit,
                                          MediaProber::Answered answered);

}  // namespace palomix
