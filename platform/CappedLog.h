// A command's log kept to its head and its tail. A converter may print without end (a log of
// 62 MB was seen), so the launcher writes its output here rather than letting it grow: the first
// bytes (how the converter started: its version, the streams it found) stay as they are, and of
// the rest only the last bytes, after a line that says how much was left out. The file always
// ends with the latest output, so what reads the end of the log (the progress, the last lines of
// a failed command, a probe's answer) reads it as the command wrote it.
//
// The tail is kept in the file as it comes; when it has grown to twice its size the file is
// written again from the end of its head: that line, then the last bytes, and the file ends
// there. Readers of the file's end meanwhile read the same latest bytes before and after.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace palomix {

// The log file as the launcher writes it (platform/posix, platform/win32).
class LogFileWriter {
public:
    virtual ~LogFileWriter() = default;
    // Writes the bytes at the end of the file; false when the system refused.
    virtual bool Append(std::string_view bytes) = 0;
    // Writes the bytes at `offset` and ends the file after them; false when the system refused.
    virtual bool Rewrite(std::uint64_t offset, std::string_view bytes) = 0;
};

// How much of a command's output its log keeps: the head, and the tail (as much as any reader
// of the log's end reads: a probe's answer is read from its last mebibyte).
inline constexpr std::size_t kLogHeadBytes = 64 * 1024;
inline constexpr std::size_t kLogTailBytes = 1024 * 1024;

class CappedLog {
public:
    // Nothing is owned; `file` must outlive the log.
    CappedLog(LogFileWriter& file, std::size_t headBytes = kLogHeadBytes,
              std::size_t tailBytes = kLogTailBytes);

    // The output's next bytes. Once the file refuses a write, the rest is read and dropped, so
    // that the command never waits for its log.
    void Take(std::string_view bytes);

    // The bytes of output not in the file.
    std::uint64_t LeftOut() const { return leftOut_; }

    // The line put where output was left out.
    static std::string LeftOutLine(std::uint64_t bytes);

private:
    void Write(bool ok);
    void CutTail();

    LogFileWriter& file_;
    const std::size_t headBytes_;
    const std::size_t tailBytes_;
    std::size_t head_ = 0;  // bytes of the head written
    std::string tail_;      // the output after the head that the file holds after its head
    std::uint64_t leftOut_ = 0;
    bool failed_ = false;
};

}  // namespace palomix
