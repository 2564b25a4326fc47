#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/TextCodec.h"
#include "platform/win32/WideText.h"

namespace palomix {

namespace win32 {
namespace {

constexpr UINT kShiftJisCodePage = 932;
constexpr wchar_t kReplacementCharacter = 0xFFFD;

// Texts are decoded in pieces of about this size, cut between characters, so that a failed
// strict decode only costs the per-character pass over one piece.
constexpr std::size_t kPieceBytes = 64 * 1024;

// Appends the UTF-16 form of bytes to out; false (and out unchanged) when any byte sequence
// of them is not a CP932 character.
bool AppendStrict(std::string_view bytes, std::wstring& out) {
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(kShiftJisCodePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                             length, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(needed));
    const int written = ::MultiByteToWideChar(kShiftJisCodePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                              length, out.data() + at, needed);
    if (written != needed) {
        out.resize(at);
        return false;
    }
    return true;
}

// The end of the piece that starts at the front of bytes: at most kPieceBytes, and never in
// the middle of a character.
std::size_t PieceLength(std::string_view bytes) {
    std::size_t length = 0;
    while (length < bytes.size() && length < kPieceBytes) {
        length += Cp932CharacterLength(bytes.substr(length));
    }
    return length;
}

}  // namespace
}  // namespace win32

std::string Cp932ToUtf8(std::string_view bytes) {
    std::wstring wide;
    wide.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::string_view piece = bytes.substr(0, win32::PieceLength(bytes));
        bytes.remove_prefix(piece.size());
        if (win32::AppendStrict(piece, wide)) {
            continue;
        }
        // Some character of the piece is undecodable: go character by character so that only
        // that one becomes U+FFFD.
        std::string_view rest = piece;
        while (!rest.empty()) {
            const std::string_view character = rest.substr(0, Cp932CharacterLength(rest));
            rest.remove_prefix(character.size());
            if (!win32::AppendStrict(character, wide)) {
                wide += win32::kReplacementCharacter;
            }
        }
    }
    return win32::FromWide(wide);
}

}  // namespace palomix
