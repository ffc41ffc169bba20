#include "common/CommandLine.h"

#include <gtest/gtest.h>

namespace {

const std::vector<OptionSpec> kSpecs = { { "--output", "-o", true }, { "--json", "", false } };

} // namespace

TEST(CommandLine, OptionsInEveryFormAndPlace)
{
    const CommandLine line({ "a", "-o", "x", "b", "--json", "--output=y" }, kSpecs);
    EXPECT_EQ(line.Operands(), (std::vector<std::string> { "a", "b" }));
    EXPECT_EQ(line.Value("--output"), "y") << "the last value wins";
    EXPECT_TRUE(line.Has("--json"));
}

TEST(CommandLine, DoubleDashEndsOptions)
{
    const CommandLine line({ "--", "--json", "-o" }, kSpecs);
    EXPECT_FALSE(line.Has("--json"));
    EXPECT_EQ(line.Operands(), (std::vector<std::string> { "--json", "-o" }));
    EXPECT_FALSE(AsksForHelp({ "--", "--help" }));
    EXPECT_TRUE(AsksForHelp({ "x", "-h" }));
}

TEST(CommandLine, BadArgumentsAreUsageErrors)
{
    EXPECT_THROW(CommandLine({ "--nope" }, kSpecs), EUsageError);
    EXPECT_THROW(CommandLine({ "-o" }, kSpecs), EUsageError);
    EXPECT_THROW(CommandLine({ "--json=1" }, kSpecs), EUsageError);
    const CommandLine line({ "a", "b" }, kSpecs);
    EXPECT_THROW(line.ExpectOperands(1, 1, "BOOK"), EUsageError);
    EXPECT_THROW(line.ExpectOperands(3, 4, "BOOK"), EUsageError);
    EXPECT_NO_THROW(line.ExpectOperands(2, 2, "BOOK"));
}

TEST(CommandLine, NumberOptionsSayWhatTheyTake)
{
    const std::vector<OptionSpec> specs = { { "--level", "", true }, { "--cache-mb", "", true } };
    const CommandLine line({ "--level", "7", "--cache-mb", "x" }, specs);
    EXPECT_EQ(NumberOption(line, "--level", 0, 12, 5), 7);
    EXPECT_EQ(NumberOption(CommandLine({}, specs), "--level", 0, 12, 5), 5) << "absent gives the fallback";
    for (const auto& [name, highest] : { std::pair { "--level", 6 }, std::pair { "--cache-mb", 100 } }) {
        try {
            NumberOption(line, name, 0, highest, 0);
            ADD_FAILURE() << name << " was accepted";
        } catch (const EUsageError& error) {
            EXPECT_EQ(error.what(),
                std::string(name) + " must be a number from 0 to " + std::to_string(highest) + ", not '"
                    + *line.Value(name) + "'");
        }
    }
}
