// How far a run has come: the inputs' lengths, asked of the media prober a few at a time below
// the host's priority (the converting jobs' first, then the waiting ones in list order), and
// from them and the converting jobs' own progress the share of the whole run done and the time
// left. The batch run owns it, tells it what converts, and hands it the probe answers it asked
// for.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/JobQueue.h"
#include "engine/MediaProbe.h"
#include "engine/OutputCheck.h"
#include "engine/Progress.h"

namespace palomix {

// A converting job as the run's progress sees it.
struct ConvertingShare {
    JobId id = 0;
    const std::string* path = nullptr;
    const JobProgressTracker* progress = nullptr;
    // Its input's length is wanted now: for its percentages, or for the check of its outputs.
    bool wantsLength = false;
    // The check of its outputs asks about its input itself.
    bool checkAsks = false;
};

class RunProgress {
public:
    // `prober`: nullptr when there is none (no lengths, no percentages). `onLength` is called
    // with every length that becomes known.
    using LengthKnown = std::function<void(const std::string& path, std::optional<double>)>;
    RunProgress(const JobQueue& jobs, MediaProber* prober, LengthKnown onLength);

    // A new run: its share done and its time start again; known lengths stay.
    void BeginRun();
    // Whether the queue's progress is followed (on by default): the waiting jobs' lengths are
    // asked for only then.
    void SetFollow(bool on) { follow_ = on; }
    bool Follows() const { return follow_; }

    // The input's lengths as known: nullptr when they have not been asked for or answered yet.
    const InputLengths* LengthOf(const std::string& path) const;
    // Takes over the running question about the input's length (the check of a job's outputs
    // waits for it as its own); nullopt when none runs.
    std::optional<ProbeTicket> TakeOver(const std::string& path);
    // Records what the probe said of an input (answered to a question taken over).
    void Record(const std::string& path, const ProbeAnswer& answer);
    // The prober cannot be asked: no lengths, and no check.
    bool ProbingFailed() const { return failed_; }
    void SetProbingFailed() { failed_ = true; }

    // Asks for the lengths wanted: the converting jobs' first, then the waiting ones'.
    void AskLengths(std::span<const ConvertingShare> converting, bool runActive);
    // An answer to a question of its own; false when the ticket is not one of them.
    bool Answered(ProbeTicket ticket, const ProbeAnswer& answer);

    // A job of the run is over: its media seconds count as done.
    void JobOver(double mediaSeconds) { mediaDone_ += mediaSeconds; }
    // One second more of the run: the share and time left worked out anew.
    void Tick(std::span<const ConvertingShare> converting);
    const QueueProgress& Queue() const { return queue_; }

private:
    bool Wanted(const std::string& path, std::span<const ConvertingShare> converting) const;
    bool Ask(const std::string& path);
    void Update(std::span<const ConvertingShare> converting);

    const JobQueue& jobs_;
    MediaProber* prober_;
    LengthKnown onLength_;
    std::unordered_map<std::string, InputLengths> lengths_;  // probed inputs
    std::unordered_map<ProbeTicket, std::string> asking_;    // running questions
    bool failed_ = false;
    bool follow_ = true;
    QueueProgress queue_;
    std::int64_t seconds_ = 0;
    double mediaDone_ = 0;  // media seconds of the jobs of this run that are over
};

}  // namespace palomix
