// Settings files come from users: whatever the bytes and the names asked for, the reader must
// neither crash nor break its promises on the returned count and length.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(32);
    const std::string key = input.ConsumeRandomLengthString(32);
    const std::string defaultValue = input.ConsumeRandomLengthString(300);
    const auto bufferSize = input.ConsumeIntegralInRange<std::uint32_t>(0, 300);
    const std::string file = input.ConsumeRemainingBytesAsString();

    const qelt::ProfileValue value =
        qelt::ReadProfileText(file, section, key, defaultValue, bufferSize);
    std::uint32_t characters = 0;
    for (const char c : value.text) {
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    if (characters != value.count || (bufferSize > 0 && value.count > bufferSize - 1) ||
        (bufferSize == 0 && value.count != 0)) {
        __builtin_trap();
    }
    return 0;
}
