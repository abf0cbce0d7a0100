// Registry export files come from users and installers: whatever the bytes, reading them and
// looking the host up in the result must neither crash nor leak nor hang.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/RegFuncs.h"
#include "settings/RegeditFile.h"
#include "settings/RegistryHive.h"
#include "settings/modQLXLib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto hive =
        qelt::ParseRegeditFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!hive) {
        return 0;
    }
    qelt::HiveRegistry registry(*hive);
    const qelt::ScopedRegistryBackend scoped(registry);
    qelt::GetInstalledAppPath("QeltOne.exe");
    qelt::GetMyDocumentsFolder();
    qelt::GetAppDataFolder();
    return 0;
}
