// The README and the manual page against the tables the programs are built from.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "auditscript/ExitCodes.h"
#include "cli/ColumnsFile.h"
#include "support/CaseName.h"

namespace qelt::cli {
namespace {

using ::testing::HasSubstr;

std::string ReadSourceFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_TRUE(file) << path << " cannot be read";
    return text.str();
}

// The text from the first line that starts with `first` to the line before the next one that
// starts with `next`.
std::string Section(const std::string& text, const std::string& first, const std::string& next) {
    const auto begin = text.find("\n" + first);
    EXPECT_NE(begin, std::string::npos) << "no section " << first;
    const auto end = text.find("\n" + next, begin + 1);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// A line of the page as man shows it: font macros give their arguments, joined without spaces
// where they alternate fonts; "\-" is a hyphen.
std::string ShownLine(std::string line) {
    for (const std::string_view macro : {".B ", ".I "}) {
        if (line.starts_with(macro)) {
            line.erase(0, macro.size());
        }
    }
    for (const std::string_view macro : {".BR ", ".RB ", ".IR ", ".RI ", ".BI ", ".IB "}) {
        if (line.starts_with(macro)) {
            line.erase(0, macro.size());
            std::erase(line, ' ');
        }
    }
    for (auto at = line.find("\\-"); at != std::string::npos; at = line.find("\\-", at)) {
        line.erase(at, 1);
    }
    return line;
}

// The EXIT STATUS section's codes of a page, each with its text in lower case.
std::map<int, std::string> ManualPageExitCodes(const char* page) {
    std::istringstream section(Section(ReadSourceFile(page), ".SH EXIT STATUS", ".SH "));
    std::map<int, std::string> codes;
    std::string* text = nullptr;
    bool tagNext = false;
    for (std::string line; std::getline(section, line);) {
        if (line == ".TP") {
            tagNext = true;
        } else if (tagNext) {
            tagNext = false;
            text = &codes[std::stoi(ShownLine(line))];
        } else if (text != nullptr) {
            *text += ShownLine(line) + " ";
        }
    }
    for (auto& [code, meaning] : codes) {
        std::ranges::transform(meaning, meaning.begin(),
                               [](unsigned char c) { return std::tolower(c); });
    }
    return codes;
}

// A program's exit code table and the manual page that explains its codes.
struct ProgramExitCodes {
    const char* name;
    const char* page;
    std::span<const exitcode::ExitCodeMeaning> table;
};

const ProgramExitCodes kPrograms[] = {
    {"qeltaudit", QELT_QELTAUDIT_PAGE, exitcode::kQeltAuditExitCodes},
    {"QeltAuditTrigger", QELT_WINDOW_PAGE, exitcode::kWindowExitCodes},
};

class ManualPageExitStatus : public ::testing::TestWithParam<ProgramExitCodes> {};

TEST_P(ManualPageExitStatus, ListsExactlyTheExitCodes) {
    std::vector<int> tableCodes;
    for (const exitcode::ExitCodeMeaning& exit : GetParam().table) {
        tableCodes.push_back(exit.code);
    }
    std::vector<int> pageCodes;
    for (const auto& [code, text] : ManualPageExitCodes(GetParam().page)) {
        pageCodes.push_back(code);
    }
    EXPECT_EQ(pageCodes, tableCodes);
}

TEST_P(ManualPageExitStatus, StatesTheMeaningHelpGives) {
    const std::map<int, std::string> codes = ManualPageExitCodes(GetParam().page);
    for (const exitcode::ExitCodeMeaning& exit : GetParam().table) {
        const auto page = codes.find(exit.code);
        ASSERT_NE(page, codes.end()) << "the page does not explain exit code " << exit.code;
        std::string meaning(exit.meaning);
        std::ranges::transform(meaning, meaning.begin(),
                               [](unsigned char c) { return std::tolower(c); });
        EXPECT_THAT(page->second, HasSubstr(meaning)) << "exit code " << exit.code;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ManualPageExitStatus, ::testing::ValuesIn(kPrograms),
                         test::CaseNameOf());

std::string FactTestName(const ::testing::TestParamInfo<ColumnFactField>& info) {
    std::string name(info.param.name);
    std::erase(name, '-');
    return name;
}

class ReadmeColumnsFile : public ::testing::TestWithParam<ColumnFactField> {};

TEST_P(ReadmeColumnsFile, DescribesTheFact) {
    const std::string section =
        Section(ReadSourceFile(QELT_README), "- `--columns FILE`", "- `--table`");
    EXPECT_THAT(section, HasSubstr("| `" + GetParam().Shown() + "` |"));
}

INSTANTIATE_TEST_SUITE_P(EveryFact, ReadmeColumnsFile, ::testing::ValuesIn(ColumnFactFields()),
                         FactTestName);

class ManualPageColumnsFile : public ::testing::TestWithParam<ColumnFactField> {};

TEST_P(ManualPageColumnsFile, DescribesTheFact) {
    std::istringstream section(
        Section(ReadSourceFile(QELT_QELTAUDIT_PAGE), ".BI \\-\\-columns", ".TP"));
    std::string shown;
    for (std::string line; std::getline(section, line);) {
        shown += ShownLine(line) + " ";
    }
    EXPECT_THAT(shown, HasSubstr(GetParam().Shown()));
}

INSTANTIATE_TEST_SUITE_P(EveryFact, ManualPageColumnsFile, ::testing::ValuesIn(ColumnFactFields()),
                         FactTestName);

}  // namespace
}  // namespace qelt::cli
