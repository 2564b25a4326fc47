#include <windows.h>

#include <string>

#include "platform/ConsoleText.h"
#include "platform/win32/WideText.h"

namespace palomix {

namespace win32 {
namespace {

// A console (GetConsoleMode succeeds on its handle) is written in UTF-16 with WriteConsoleW;
// a file or a pipe gets the UTF-8 bytes with WriteFile. The handle belongs to the process:
// it is not closed here.
class StandardHandleSink final : public ConsoleTextBuffer::Sink {
public:
    explicit StandardHandleSink(DWORD which) : handle_(::GetStdHandle(which)) {
        DWORD mode = 0;
        console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
                   ::GetConsoleMode(handle_, &mode) != 0;
    }

    bool Write(std::string_view utf8) override {
        if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
            return false;
        }
        return console_ ? WriteConsole(utf8) : WriteBytes(utf8);
    }
    bool IsConsole() const override { return console_; }

private:
    bool WriteConsole(std::string_view utf8) const {
        const std::wstring wide = ToWide(utf8);
        std::wstring_view rest = wide;
        while (!rest.empty()) {
            // A console takes a limited amount at once; ask for little enough.
            const auto chunk = static_cast<DWORD>(rest.size() < 8192 ? rest.size() : 8192);
            DWORD written = 0;
            if (!::WriteConsoleW(handle_, rest.data(), chunk, &written, nullptr) || written == 0) {
                return false;
            }
            rest.remove_prefix(written);
        }
        return true;
    }

    bool WriteBytes(std::string_view utf8) const {
        while (!utf8.empty()) {
            const auto chunk =
                static_cast<DWORD>(utf8.size() < (1u << 30) ? utf8.size() : (1u << 30));
            DWORD written = 0;
            if (!::WriteFile(handle_, utf8.data(), chunk, &written, nullptr) || written == 0) {
                return false;
            }
            utf8.remove_prefix(written);
        }
        return true;
    }

    HANDLE handle_;
    bool console_ = false;
};

}  // namespace
}  // namespace win32

bool IsTerminal(StandardStream stream) {
    const HANDLE handle =
        ::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           ::GetConsoleMode(handle, &mode) != 0;
}

std::unique_ptr<ConsoleTextBuffer::Sink> OpenStandardStreamSink(StandardStream stream) {
    return std::make_unique<win32::StandardHandleSink>(
        stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

}  // namespace palomix
