#include "platform/ConsoleText.h"

#include <utility>

namespace palomix {

namespace {

// Text is handed on in pieces of at most this size, and at once on a console.
constexpr std::size_t kBufferBytes = 4096;

// The length of the longest start of text that ends with a whole UTF-8 character: text less
// the bytes of a character cut off at its end. Bytes that are not UTF-8 count as whole.
std::size_t WholeUtf8Length(std::string_view text) {
    // A cut character is a lead byte within the last three bytes, with fewer bytes after it
    // than its length.
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(text[size - back]);
        if (byte < 0x80) {
            return size;
        }
        if (byte >= 0xC2 && byte <= 0xF4) {
            const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            return back < length ? size - back : size;
        }
        if (byte >= 0xC0) {
            return size;  // no UTF-8 lead byte: no character to wait for
        }
    }
    return size;
}

}  // namespace

ConsoleTextBuffer::ConsoleTextBuffer(StandardStream stream)
    : ConsoleTextBuffer(OpenStandardStreamSink(stream)) {}

ConsoleTextBuffer::ConsoleTextBuffer(std::unique_ptr<Sink> sink) : sink_(std::move(sink)) {}

ConsoleTextBuffer::~ConsoleTextBuffer() {
    Flush(true);
}

bool ConsoleTextBuffer::WritesToConsole() const {
    return sink_->IsConsole();
}

ConsoleTextBuffer::int_type ConsoleTextBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    pending_ += traits_type::to_char_type(c);
    if (pending_.size() >= kBufferBytes && !Flush(false)) {
        return traits_type::eof();
    }
    return c;
}

std::streamsize ConsoleTextBuffer::xsputn(const char* text, std::streamsize count) {
    pending_.append(text, static_cast<std::size_t>(count));
    if (pending_.size() >= kBufferBytes && !Flush(false)) {
        return 0;
    }
    return count;
}

int ConsoleTextBuffer::sync() {
    return Flush(false) ? 0 : -1;
}

bool ConsoleTextBuffer::Flush(bool all) {
    const std::size_t length =
        all || !sink_->IsConsole() ? pending_.size() : WholeUtf8Length(pending_);
    if (length == 0) {
        return true;
    }
    const bool written = sink_->Write(std::string_view(pending_).substr(0, length));
    pending_.erase(0, length);  // not written again after a failure either
    return written;
}

ConsoleTextStream::ConsoleTextStream(StandardStream stream)
    : std::ostream(nullptr), buffer_(stream) {
    rdbuf(&buffer_);
    if (stream == StandardStream::Error) {
        setf(std::ios::unitbuf);
    }
}

ConsoleTextStream::~ConsoleTextStream() {
    flush();
}

}  // namespace palomix
