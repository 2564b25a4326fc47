// The comma text of the multi-column lists: any line splits without fault, CommaTextField
// agrees with SplitCommaText, a NUL ends the line, and fields written as quoted comma text
// (quotes doubled) read back exactly.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "controllogic/CommaText.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace palomix;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> fields = SplitCommaText(line);
    for (std::size_t i = 0; i <= fields.size() && i < 8; ++i) {
        PALOMIX_FUZZ_CHECK(CommaTextField(line, i) == (i < fields.size() ? fields[i] : ""));
    }
    PALOMIX_FUZZ_CHECK(SplitCommaText(line.substr(0, line.find('\0'))) == fields);

    FuzzedDataProvider input(data, size);
    std::vector<std::string> written;
    std::string text;
    while (input.remaining_bytes() > 0 && written.size() < 16) {
        std::string field = input.ConsumeRandomLengthString(64);
        field.erase(std::min(field.find('\0'), field.size()));
        text += written.empty() ? "\"" : ",\"";
        for (const char c : field) {
            text += c == '"' ? "\"\"" : std::string(1, c);
        }
        text += '"';
        written.push_back(std::move(field));
    }
    PALOMIX_FUZZ_CHECK(SplitCommaText(text) == written);
    return 0;
}
