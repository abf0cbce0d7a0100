#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Generated profile files and lookups for comparing two profile readers: files made of the
// line forms real settings files and hand edits produce (blanks, quotes, letter case, line
// ends, byte-order marks, duplicate sections and keys, ';' keys, lines without '=', long
// values), each with one lookup. ASCII only: encodings are tested on their own.
namespace qelt::testing_support {

struct ProfileCase {
    bool fileExists = true;
    std::string fileBytes;
    std::string section;
    std::string key;
    std::string defaultValue;
};

// The same cases for the same seed on every platform and standard library.
std::vector<ProfileCase> GenerateProfileCorpus(std::size_t count, std::uint32_t seed);

// The case as readable text for a failure message.
std::string Describe(const ProfileCase& profileCase);

}  // namespace qelt::testing_support
