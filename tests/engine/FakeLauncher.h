// A launcher for the batch run tests: it starts nothing, records every launch and lets the test
// play the host, which delivers "that process ended" when the test says so.
#pragma once

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CommandLineSplit.h"
#include "platform/ProcessLauncher.h"

namespace palomix::testing {

class FakeLauncher : public ProcessLauncher {
public:
    enum class State {
        Running,    // started, not ended
        Exited,     // ended, but the host has not delivered the end yet
        Delivered,  // the end has been handed to the run
    };

    struct Process {
        ProcessHandle handle;
        std::string commandLine;
        std::string logPath;
        ProcessEndedHandler onEnded;
        State state = State::Running;
        ProcessExit exit;
        int terminateCalls = 0;
    };

    // Programs (first token of the line) that cannot be started.
    std::set<std::string> missingPrograms;
    // When set, every launch gets a log file in this folder holding logText(commandLine).
    std::string logFolder;
    std::function<std::string(const std::string&)> logText;

    std::vector<Process> processes;
    std::vector<ProcessHandle> discarded;  // DiscardLog calls, in order
    int refusedLaunches = 0;

    // The options of each launch, in order (the default ones for a plain launch).
    std::vector<LaunchOptions> launchOptions;

    LaunchResult Launch(const std::string& commandLine, const LaunchOptions& options,
                        ProcessEndedHandler onEnded) override {
        LaunchResult result = Launch(commandLine, std::move(onEnded));
        if (result.launched) {
            launchOptions.back() = options;
        }
        return result;
    }

    LaunchResult Launch(const std::string& commandLine, ProcessEndedHandler onEnded) override {
        if (std::count_if(processes.begin(), processes.end(),
                          [](const Process& p) { return p.state != State::Delivered; }) > 0) {
            // The run must never have two processes at once.
            ++overlappingLaunches;
        }
        LaunchResult result;
        const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
        if (candidates.empty()) {
            ++refusedLaunches;
            result.reason = "the command line is empty";
            result.failure = LaunchFailure{LaunchError::EmptyLine, {}, 0, result.reason};
            return result;
        }
        if (const std::string program(candidates.front().program);
            missingPrograms.count(program) > 0) {
            ++refusedLaunches;
            result.reason = "the program \"" + program + "\" was not found";
            result.failure = LaunchFailure{LaunchError::ProgramNotFound, program, 0, result.reason};
            return result;
        }
        Process process;
        process.handle = ProcessHandle{++lastId_};
        process.commandLine = commandLine;
        process.onEnded = std::move(onEnded);
        if (!logFolder.empty()) {
            process.logPath = logFolder + "/log-" + std::to_string(lastId_) + ".txt";
            std::ofstream(process.logPath, std::ios::binary)
                << (logText ? logText(commandLine) : std::string());
        }
        processes.push_back(std::move(process));
        launchOptions.emplace_back();
        result.launched = true;
        result.handle = processes.back().handle;
        result.logPath = processes.back().logPath;
        return result;
    }

    bool Terminate(ProcessHandle handle) override {
        Process* process = Find(handle);
        if (process == nullptr) {
            return false;
        }
        ++process->terminateCalls;
        return process->state == State::Running;
    }

    void DiscardLog(ProcessHandle handle) override { discarded.push_back(handle); }

    // The command lines launched, in order.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const Process& process : processes) {
            lines.push_back(process.commandLine);
        }
        return lines;
    }

    int Running() const {
        return static_cast<int>(std::count_if(processes.begin(), processes.end(),
                                              [](auto& p) { return p.state == State::Running; }));
    }

    Process& Last() {
        if (processes.empty()) {
            throw std::logic_error("nothing was launched");
        }
        return processes.back();
    }

    // The last process ends; its end is not delivered yet.
    void Exit(ProcessExit exit = {}) {
        Process& process = Last();
        if (process.state != State::Running) {
            throw std::logic_error("the last process is not running");
        }
        process.state = State::Exited;
        process.exit = exit;
    }

    // The host delivers the end of the last process (which may start the next one).
    void Deliver() {
        Process& process = Last();
        if (process.state != State::Exited) {
            throw std::logic_error("the last process has no end to deliver");
        }
        process.state = State::Delivered;
        // The handler may launch again and so move `processes`: call a copy.
        const ProcessEndedHandler onEnded = process.onEnded;
        onEnded(process.handle, process.exit);
    }

    // The last process ends and the host delivers its end at once.
    void Finish(ProcessExit exit = {}) {
        Exit(exit);
        Deliver();
    }

    // The process whose command line is `line` ends and its end is delivered at once.
    void Finish(const std::string& line, ProcessExit exit = {}) {
        for (Process& process : processes) {
            if (process.commandLine == line && process.state == State::Running) {
                process.state = State::Delivered;
                process.exit = exit;
                const ProcessEndedHandler onEnded = process.onEnded;
                onEnded(process.handle, exit);
                return;
            }
        }
        throw std::logic_error("no running process for " + line);
    }

    // The command lines of the processes running now, in the order they started.
    std::vector<std::string> RunningLines() const {
        std::vector<std::string> lines;
        for (const Process& process : processes) {
            if (process.state == State::Running) {
                lines.push_back(process.commandLine);
            }
        }
        return lines;
    }

    int overlappingLaunches = 0;

private:
    Process* Find(ProcessHandle handle) {
        for (Process& process : processes) {
            if (process.handle == handle) {
                return &process;
            }
        }
        return nullptr;
    }

    std::uint64_t lastId_ = 0;
};

}  // namespace palomix::testing
