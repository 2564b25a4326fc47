// Any bytes read as a kept queue either are a queue or are damaged (QueueFileDamaged, never
// another fault), and a queue read is written back to the same text. Any name, as bytes,
// comes back from its escaped form unchanged, and that form is UTF-8 without a control byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "settings/QueueFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string name = input.ConsumeRandomLengthString(256);
    const std::string escaped = palomix::EscapeQueueName(name);
    PALOMIX_FUZZ_CHECK(palomix::fuzz::IsWellFormedUtf8(escaped));
    for (const char c : escaped) {
        PALOMIX_FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
    PALOMIX_FUZZ_CHECK(palomix::UnescapeQueueName(escaped) == name);

    const std::string text = input.ConsumeRemainingBytesAsString();
    palomix::SavedQueue queue;
    try {
        queue = palomix::DecodeQueue(text);
    } catch (const palomix::QueueFileDamaged&) {
        return 0;
    }
    PALOMIX_FUZZ_CHECK(palomix::DecodeQueue(palomix::EncodeQueue(queue)) == queue);
    return 0;
}
