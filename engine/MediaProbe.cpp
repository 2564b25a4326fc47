#include "engine/MediaProbe.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/CommandLineSplit.h"
#include "platform/FileSystem.h"
#include "platform/HelperProcess.h"
#include "platform/LogTail.h"

namespace palomix {

namespace {

// How long one probe may take: the time given, and for an output, which is read to its end,
// time to read it from a slow card besides.
constexpr std::int64_t kSlowestReadBytesPerSecond = 10 * 1024 * 1024;

std::chrono::milliseconds TimeLimitFor(std::chrono::milliseconds limit, const std::string& path,
                                       ProbeKind kind) {
    if (kind == ProbeKind::Output) {
        limit += std::chrono::milliseconds(FileSizeOf(path).value_or(0) * 1000 /
                                           kSlowestReadBytesPerSecond);
    }
    return limit;
}

// The end of the probe program's answer that is read: an output's answer lists every packet,
// and the last ones, the streams and the format come last.
constexpr std::size_t kAnswerTailBytes = 1024 * 1024;

class ProgramMediaProber final : public MediaProber {
public:
    ProgramMediaProber(ProcessLauncher& launcher, std::string program,
                       std::chrono::milliseconds timeLimit, Answered answered)
        : launcher_(launcher),
          program_(std::move(program)),
          timeLimit_(timeLimit),
          answered_(std::move(answered)) {}

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
        options.timeLimit = TimeLimitFor(timeLimit_, path, kind);
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
            for (const std::string& line :
                 LastLines(asked.logPath, kAnswerTailBytes, kAnswerTailBytes)) {
                text.append(line).append("\n");
            }
        }
        launcher_.DiscardLog(handle);
        ProbeAnswer answer;
        answer.cancelled = asked.cancelled;
        answer.media = ReadProbeAnswer(text, exit.Succeeded());
        if (exit.timeLimitReached) {
            answer.media.failure = OutputFault::ProbeTimedOut;
        }
        answered_(ticket, answer);
    }

    ProcessLauncher& launcher_;
    std::string program_;
    std::chrono::milliseconds timeLimit_;
    Answered answered_;
    std::map<ProbeTicket, Asked> asked_;
    ProbeTicket lastTicket_ = 0;
    // The launcher's end handlers hold a weak reference, so an end that arrives after the
    // prober is gone touches nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// The questions of one helper's life: asked in turn, each answered by the lines up to "end".
class HelperMediaProber final : public MediaProber {
public:
    HelperMediaProber(std::string program, PostToHost post, std::chrono::milliseconds timeLimit,
                      Answered answered)
        : program_(std::move(program)),
          post_(std::move(post)),
          timeLimit_(timeLimit),
          answered_(std::move(answered)) {}

    std::optional<ProbeTicket> Ask(const std::string& path, ProbeKind kind,
                                   bool /*lowPriority*/) override {
        if (unusable_) {
            return std::nullopt;
        }
        const ProbeTicket ticket = ++lastTicket_;
        waiting_.push_back(Question{ticket, path, kind});
        Pump();
        if (unusable_) {
            return std::nullopt;  // the helper cannot be started at all
        }
        return ticket;
    }

    bool Cancel(ProbeTicket ticket) override {
        for (Slot& slot : slots_) {
            if (slot.asked && slot.asked->ticket == ticket && !slot.cancelled) {
                // It may be reading the file: it lets go only when it ends.
                slot.cancelled = true;
                slot.helper->Kill();
                return true;
            }
        }
        const auto found = std::find_if(waiting_.begin(), waiting_.end(),
                                        [ticket](const Question& q) { return q.ticket == ticket; });
        if (found == waiting_.end()) {
            return false;
        }
        waiting_.erase(found);
        post_([alive = std::weak_ptr<int>(alive_), this, ticket] {
            if (alive.lock()) {
                answered_(ticket, ProbeAnswer{true, {}});
            }
        });
        return true;
    }

    std::string_view Way() const override { return "palomix-probe (FFmpeg's libraries)"; }

private:
    struct Question {
        ProbeTicket ticket = 0;
        std::string path;
        ProbeKind kind = ProbeKind::Length;
    };
    // One helper process and the question it answers now.
    struct Slot {
        std::unique_ptr<HelperProcess> helper;
        std::optional<Question> asked;
        std::string received;  // the answer so far
        bool cancelled = false;
    };
    // Two helpers: a long output read to its end does not hold up the inputs' lengths.
    static constexpr std::size_t kHelpers = 2;

    void Pump() {
        for (std::size_t i = 0; i < slots_.size() && !waiting_.empty(); ++i) {
            Slot& slot = slots_[i];
            if (slot.asked) {
                continue;
            }
            if (!slot.helper && !Start(i)) {
                return;
            }
            Question question = std::move(waiting_.front());
            waiting_.pop_front();
            const std::string request =
                std::string(question.kind == ProbeKind::Length ? "length " : "output ") +
                std::to_string(question.path.size()) + "\n" + question.path + "\n";
            slot.helper->SetTimeLimit(TimeLimitFor(timeLimit_, question.path, question.kind));
            slot.asked = std::move(question);
            slot.received.clear();
            slot.cancelled = false;
            slot.helper->Send(request);  // a helper that has gone is noticed by its end
        }
    }

    bool Start(std::size_t index) {
        HelperProcess::Events events;
        const std::weak_ptr<int> alive = alive_;
        events.received = [this, alive, index](std::string bytes) {
            if (alive.lock()) {
                Received(index, std::move(bytes));
            }
        };
        events.ended = [this, alive, index](ProcessExit exit) {
            if (alive.lock()) {
                Ended(index, exit);
            }
        };
        std::string failure;
        slots_[index].helper = StartHelperProcess(program_, post_, std::move(events), failure);
        if (!slots_[index].helper && std::none_of(slots_.begin(), slots_.end(), [](const Slot& s) {
                return s.helper != nullptr;
            })) {
            unusable_ = true;
            FailWaiting();
        }
        return slots_[index].helper != nullptr;
    }

    void Received(std::size_t index, std::string bytes) {
        Slot& slot = slots_[index];
        slot.received += bytes;
        const std::size_t end = slot.received.rfind("end\n");
        if (!slot.asked || slot.cancelled || end == std::string::npos ||
            (end != 0 && slot.received[end - 1] != '\n')) {
            return;
        }
        const ProbeTicket ticket = slot.asked->ticket;
        ProbeAnswer answer;
        answer.media = ReadProbeAnswer(slot.received, true);
        slot.asked.reset();
        slot.received.clear();
        slot.helper->SetTimeLimit(std::nullopt);
        Pump();
        answered_(ticket, answer);
    }

    void Ended(std::size_t index, ProcessExit exit) {
        Slot& slot = slots_[index];
        std::optional<Question> asked = std::move(slot.asked);
        const bool cancelled = slot.cancelled;
        slot = Slot{};  // started again for the next question
        Pump();
        if (asked) {
            ProbeAnswer answer;
            answer.cancelled = cancelled;
            answer.media.failure =
                exit.timeLimitReached ? OutputFault::ProbeTimedOut : OutputFault::ProbeCrashed;
            answered_(asked->ticket, answer);
        }
    }

    // Answers every waiting question as a probe that cannot be started.
    void FailWaiting() {
        std::deque<Question> failed = std::move(waiting_);
        waiting_.clear();
        for (const Question& question : failed) {
            post_([alive = std::weak_ptr<int>(alive_), this, ticket = question.ticket] {
                if (alive.lock()) {
                    ProbeAnswer answer;
                    answer.media.failure = OutputFault::ProbeCrashed;
                    answered_(ticket, answer);
                }
            });
        }
    }

    const std::string program_;
    const PostToHost post_;
    const std::chrono::milliseconds timeLimit_;
    const Answered answered_;
    std::deque<Question> waiting_;
    std::vector<Slot> slots_ = std::vector<Slot>(kHelpers);
    ProbeTicket lastTicket_ = 0;
    bool unusable_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace

std::unique_ptr<MediaProber> HelperProber(std::string program, PostToHost post,
                                          std::chrono::milliseconds timeLimit,
                                          MediaProber::Answered answered) {
    return std::make_unique<HelperMediaProber>(std::move(program), std::move(post), timeLimit,
                                               std::move(answered));
}

std::unique_ptr<MediaProber> ProgramProber(ProcessLauncher& launcher, std::string program,
                                           std::chrono::milliseconds timeLimit,
                                           MediaProber::Answered answered) {
    return std::make_unique<ProgramMediaProber>(launcher, std::move(program), timeLimit,
                                                std::move(answered));
}

}  // namespace palomix
