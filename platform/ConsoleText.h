// Text for the terminal. Inside the program text is UTF-8, and so is what palomix-batch
// writes to files and pipes. A Windows console shows UTF-8 bytes right only when it is set to
// code page 65001, which it seldom is (a Japanese console uses 932): there the text goes to
// the console as UTF-16 with WriteConsoleW, which shows every character whatever the code
// page. Files and pipes get the UTF-8 bytes as they are, as does every stream on POSIX.
//
//     palomix::ConsoleTextStream out(palomix::StandardStream::Output);
//     palomix::ConsoleTextStream err(palomix::StandardStream::Error);
//     return palomix::RunPalomixBatch(arguments, out, err);
//
// A stream writes to the system's handle of its standard stream directly, past C's stdio
// and std::cout: what the program writes to one standard stream should all go through one
// ConsoleTextStream. Output is buffered until a flush (std::flush, std::endl) or until the
// stream is destroyed; the error stream flushes after every output operation, as std::cerr.
#pragma once

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace palomix {

enum class StandardStream { Output, Error };

// The stream buffer of a ConsoleTextStream. A console is written whole UTF-8 characters at a
// time: a character split between two writes waits for its last bytes.
class ConsoleTextBuffer : public std::streambuf {
public:
    class Sink;
    explicit ConsoleTextBuffer(StandardStream stream);
    // Writing to a sink of one's own (tests).
    explicit ConsoleTextBuffer(std::unique_ptr<Sink> sink);
    ~ConsoleTextBuffer() override;
    ConsoleTextBuffer(const ConsoleTextBuffer&) = delete;
    ConsoleTextBuffer& operator=(const ConsoleTextBuffer&) = delete;

    // True when the stream is a console that is written as UTF-16 (Windows only).
    bool WritesToConsole() const;

    // Where the text goes: the handle of a standard stream, made per platform by
    // OpenStandardStreamSink.
    class Sink {
    public:
        virtual ~Sink() = default;
        // Writes the text; false when it could not be written.
        virtual bool Write(std::string_view utf8) = 0;
        virtual bool IsConsole() const = 0;
    };

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    // Writes what is pending; with `all`, even a character still missing bytes.
    bool Flush(bool all);

    std::unique_ptr<Sink> sink_;
    std::string pending_;
};

// True when the standard stream is a terminal (a console on Windows), where a line can be
// redrawn in place; false for files and pipes.
bool IsTerminal(StandardStream stream);

// Made per platform: the sink of a standard stream.
std::unique_ptr<ConsoleTextBuffer::Sink> OpenStandardStreamSink(StandardStream stream);

// An std::ostream of UTF-8 text for standard output or standard error.
class ConsoleTextStream : public std::ostream {
public:
    explicit ConsoleTextStream(StandardStream stream);
    ~ConsoleTextStream() override;

    bool WritesToConsole() const { return buffer_.WritesToConsole(); }

private:
    ConsoleTextBuffer buffer_;
};

}  // namespace palomix
