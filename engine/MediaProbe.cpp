#include "engine/MediaProbe.h"

#include <chrono>
#include <map>
#include <utility>

#include "engine/Progress.h"
#include "platform/AtomicFile.h"
#include "platform/CommandLineSplit.h"
#include "platform/FileSystem.h"

namespace palomix {

namespace {

// How long one probe may take.
constexpr std::chrono::seconds kProbeTimeLimit{15};

// The arguments after the probe program that ask for an input's length (its path follows).
constexpr std::string_view kLengthProbeArguments =
    "-v error -show_entries format=duration -of csv=p=0";

class ProgramMediaProber final : public MediaProber {
public:
    ProgramMediaProber(ProcessLauncher& launcher, std::string program, Answered answered)
        : launcher_(launcher), program_(std::move(program)), answered_(std::move(answered)) {}

    ~ProgramMediaProber() override {
        for (const auto& [ticket, asked] : asked_) {
            launcher_.Terminate(asked.handle);
        }
    }

    std::optional<ProbeTicket> Ask(const std::string& path, ProbeKind kind,
                                   bool lowPriority) override {
        const std::string line =
            QuoteArgument(program_) + " " +
            std::string(kind == ProbeKind::Length ? kLengthProbeArguments : kOutputProbeArguments) +
            " " + QuoteArgument(path);
        LaunchOptions options;
        options.lowPriority = lowPriority;
        options.timeLimit = kProbeTimeLimit;
        const ProbeTicket ticket = ++lastTicket_;
        const std::weak_ptr<int> alive = alive_;
        const LaunchResult launch = launcher_.Launch(
            line, options, [this, alive, ticket](ProcessHandle handle, ProcessExit exit) {
                if (alive.lock()) {
                    Ended(ticket, handle, exit);
                }
            });
        if (!launch.launched) {
            return std::nullopt;
        }
        asked_[ticket] = Asked{launch.handle, launch.logPath, kind, false};
        return ticket;
    }

    bool Cancel(ProbeTicket ticket) override {
        const auto found = asked_.find(ticket);
        if (found == asked_.end() || !launcher_.Terminate(found->second.handle)) {
            return false;
        }
        found->second.cancelled = true;
        return true;
    }

    std::string_view Way() const override { return "ffprobe per file"; }

private:
    struct Asked {
        ProcessHandle handle;
        std::string logPath;
        ProbeKind kind = ProbeKind::Length;
        bool cancelled = false;
    };

    void Ended(ProbeTicket ticket, ProcessHandle handle, ProcessExit exit) {
        const auto found = asked_.find(ticket);
        if (found == asked_.end()) {
            return;
        }
        const Asked asked = found->second;
        asked_.erase(found);
        std::string text;
        if (!asked.logPath.empty()) {
            try {
                text = ReadFileBytes(asked.logPath).value_or(std::string());
            } catch (const std::exception&) {
                // An unreadable answer is none.
            }
        }
        launcher_.DiscardLog(handle);
        ProbeAnswer answer;
        answer.cancelled = asked.cancelled;
        if (!asked.cancelled) {
            if (asked.kind == ProbeKind::Length) {
                answer.length = exit.Succeeded() ? DurationFromProbe(text) : std::nullopt;
            } else {
                answer.probed = ReadOutputProbe(text, exit.Succeeded());
            }
        }
        answered_(ticket, answer);
    }

    ProcessLauncher& launcher_;
    std::string program_;
    Answered answered_;
    std::map<ProbeTicket, Asked> asked_;
    ProbeTicket lastTicket_ = 0;
    // The launcher's end handlers hold a weak reference, so an end that arrives after the
    // prober is gone touches nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace

std::unique_ptr<MediaProber> ProgramProber(ProcessLauncher& launcher, std::string program,
                                           MediaProber::Answered answered) {
    return std::make_unique<ProgramMediaProber>(launcher, std::move(program), std::move(answered));
}

}  // namespace palomix
