// A name and value written into any settings text with ApplyIniWrites read back equal with
// IniDocument (cut to kMaxIniValueBytes at a character boundary when longer), and writing the
// same again changes nothing. Names and values it refuses with std::invalid_argument are fine.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/TextCodec.h"
#include "settings/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    const std::string value = input.ConsumeRandomLengthString(4 * palomix::kMaxIniValueBytes);
    const std::string original = palomix::DecodeText(input.ConsumeRemainingBytesAsString());
    // Inside the program every text is UTF-8.
    if (!palomix::IsValidUtf8(section) || !palomix::IsValidUtf8(key) ||
        !palomix::IsValidUtf8(value)) {
        return 0;
    }
    const std::vector<std::pair<std::string, std::string>> write{{key, value}};
    std::string written;
    try {
        written = palomix::ApplyIniWrites(original, section, write);
    } catch (const std::invalid_argument&) {
        return 0;
    }
    const std::optional<std::string> read = palomix::IniDocument::Parse(written).Find(section, key);
    PALOMIX_FUZZ_CHECK(read.has_value());
    PALOMIX_FUZZ_CHECK(*read == palomix::fuzz::CutAtCharacter(value, palomix::kMaxIniValueBytes));
    PALOMIX_FUZZ_CHECK(palomix::ApplyIniWrites(written, section, write) == written);
    return 0;
}
