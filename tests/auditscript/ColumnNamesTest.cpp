#include "auditscript/ColumnNames.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelt {
namespace {

struct RepeatCase {
    std::string name;
    std::size_t expectedNames;  // what the table is sized for
    std::size_t names;          // distinct names checked before the repeat
    std::size_t repeated;       // the position whose name comes again, in upper case
};

class ColumnNameRulesRepeat : public ::testing::TestWithParam<RepeatCase> {};

// The table keeps every earlier name's position, however often it grew and whatever share of
// its slots the positions take.
TEST_P(ColumnNameRulesRepeat, FindsTheEarlierName) {
    const RepeatCase& test = GetParam();
    std::vector<std::string> names;
    for (std::size_t i = 0; i < test.names; ++i) {
        names.push_back("Name" + std::to_string(i));
    }
    ColumnNameRules rules(test.expectedNames, [&names](std::size_t position) -> std::string_view {
        return names[position];
    });
    for (const std::string& name : names) {
        ASSERT_EQ(rules.CheckNext(name), std::nullopt) << name;
    }
    const std::string again = "NAME" + std::to_string(test.repeated);
    const std::optional<NameRefusal> refusal = rules.CheckNext(again);
    ASSERT_TRUE(refusal) << again << " taken as a new name";
    EXPECT_EQ(refusal->kind, NameRefusal::Kind::kRepeated);
    EXPECT_EQ(refusal->earlier, test.repeated);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ColumnNameRulesRepeat,
                         ::testing::Values(RepeatCase{"SizedForEveryName", 1000, 1000, 517},
                                           RepeatCase{"GrownFromNothing", 0, 1000, 517},
                                           RepeatCase{"FirstNameAfterGrowing", 0, 1000, 0},
                                           RepeatCase{"LastNameAfterGrowing", 1, 1000, 999},
                                           RepeatCase{"PositionsPastSixteenBits", 0, 70000, 65537}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace qelt
