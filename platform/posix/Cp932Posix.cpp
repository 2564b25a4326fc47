#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/TextCodec.h"

namespace palomix {

namespace posix {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// An iconv conversion descriptor, closed when it goes out of scope.
class IconvConverter {
public:
    IconvConverter(const char* to, const char* from) : handle_(::iconv_open(to, from)) {}
    ~IconvConverter() {
        if (IsOpen()) {
            ::iconv_close(handle_);
        }
    }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool IsOpen() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return handle_; }

private:
    iconv_t handle_;
};

// Without a CP932 converter (a system without its iconv modules) ASCII still reads right
// and every other character becomes U+FFFD.
std::string AsciiOnly(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = Cp932CharacterLength(bytes);
        if (static_cast<unsigned char>(bytes[0]) < 0x80) {
            out += bytes[0];
        } else {
            out += kReplacementCharacter;
        }
        bytes.remove_prefix(length);
    }
    return out;
}

}  // namespace
}  // namespace posix

std::string Cp932ToUtf8(std::string_view bytes) {
    const posix::IconvConverter converter("UTF-8", "CP932");
    if (!converter.IsOpen()) {
        return posix::AsciiOnly(bytes);
    }
    // One CP932 byte never gives more than three UTF-8 bytes, and neither does a byte that
    // is replaced, so the buffer should not need to grow; grow it anyway if it does.
    std::string out(bytes.size() * 3, '\0');
    char* outPos = out.data();
    std::size_t outLeft = out.size();
    const auto grow = [&](std::size_t extra) {
        const auto used = static_cast<std::size_t>(outPos - out.data());
        out.resize(out.size() + extra);
        outPos = out.data() + used;
        outLeft = out.size() - used;
    };
    // iconv takes a non-const input pointer but does not write through it.
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        if (::iconv(converter.Handle(), &in, &inLeft, &outPos, &outLeft) !=
            static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            grow(inLeft * 3 + 16);
            continue;
        }
        // EILSEQ (no such character), EINVAL (a lead byte cut off at the end) or anything
        // else: one replacement character for the undecodable character, then go on.
        const std::string_view replacement = posix::kReplacementCharacter;
        if (outLeft < replacement.size()) {
            grow(inLeft * 3 + 16);
        }
        replacement.copy(outPos, replacement.size());
        outPos += replacement.size();
        outLeft -= replacement.size();
        const std::size_t skip = Cp932CharacterLength(std::string_view(in, inLeft));
        in += skip;
        inLeft -= skip;
    }
    out.resize(static_cast<std::size_t>(outPos - out.data()));
    return out;
}

}  // namespace palomix
