// Any bytes through the text decoder: DecodeText and Cp932ToUtf8 always give well-formed UTF-8,
// IsValidUtf8 agrees with an independent validator, and UTF-8 input comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "platform/TextCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace palomix;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool valid = IsValidUtf8(bytes);
    PALOMIX_FUZZ_CHECK(valid == fuzz::IsWellFormedUtf8(bytes));

    const std::string decoded = DecodeText(bytes);
    PALOMIX_FUZZ_CHECK(fuzz::IsWellFormedUtf8(decoded));
    const bool marked = bytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark;
    if (marked && IsValidUtf8(bytes.substr(kUtf8ByteOrderMark.size()))) {
        PALOMIX_FUZZ_CHECK(decoded == bytes.substr(kUtf8ByteOrderMark.size()));
    } else if (!marked && valid) {
        PALOMIX_FUZZ_CHECK(decoded == bytes);
    }

    PALOMIX_FUZZ_CHECK(fuzz::IsWellFormedUtf8(Cp932ToUtf8(bytes)));
    const std::size_t length = Cp932CharacterLength(bytes);
    PALOMIX_FUZZ_CHECK(length <= 2 && length <= bytes.size() && (length > 0) == !bytes.empty());
    return 0;
}
