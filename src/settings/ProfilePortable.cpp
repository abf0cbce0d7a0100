// Profile files where there is no Windows profile reader: our own reader.

#include "settings/ProfileFile.h"

namespace qelt {

ProfileBackend& SystemProfileReader() {
    static ProfileFileReader reader;
    return reader;
}

}  // namespace qelt
