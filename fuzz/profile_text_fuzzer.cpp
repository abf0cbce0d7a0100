// Settings files come from users: whatever the bytes and the names asked for, the reader must
// neither crash nor break its promises on the returned count and length.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "Require.h"
#include "settings/ProfileFile.h"
#include "text/Utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(32);
    const std::string key = input.ConsumeRandomLengthString(32);
    const std::string defaultValue = input.ConsumeRandomLengthString(300);
    const auto bufferSize = input.ConsumeIntegralInRange<std::uint32_t>(0, 300);
    const std::string file = input.ConsumeRemainingBytesAsString();

    const qelt::ProfileValue value =
        qelt::ReadProfileText(file, section, key, defaultValue, bufferSize);
    const std::size_t characters = qelt::text::Utf8ToUtf32(value.text).size();
    Require(characters == value.count && (bufferSize == 0 || value.count <= bufferSize - 1) &&
            (bufferSize > 0 || value.count == 0));
    return 0;
}
