#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TableOptions.h"

namespace {

struct TSettings {
    std::string name;
    int count = 0;
    bool quiet = false;
    bool help = false;
};

std::string ReadName(const std::string& value, TSettings& s)
{
    if (value.empty())
        return "--name: empty";
    s.name = value;
    return "";
}

std::string ReadCount(const std::string& value, TSettings& s)
{
    if (value != "1" && value != "2")
        return "--count: 1 or 2 expected, got '" + value + "'";
    s.count = value == "1" ? 1 : 2;
    return "";
}

std::string ReadQuiet(const std::string& value, TSettings& s)
{
    s.quiet = value.empty();  // a flag's reader is given ""
    return "";
}

std::string ReadHelp(const std::string&, TSettings& s)
{
    s.help = true;
    return "";
}

using TRow = TOptionRow<TSettings>;

const std::vector<TRow>& Rows()
{
    static const std::vector<TRow> kRows = {
        {"--name", "TEXT", "what it is called", ReadName},
        {"--count", "N", "how many:\n1 or 2", ReadCount},
        {"--quiet", nullptr, "say nothing", ReadQuiet},
        {"--help", nullptr, "show this text", ReadHelp, {}, "-h"},
    };
    return kRows;
}

std::string Missing(const std::string& argument, const TRow& row)
{
    return argument + " needs " + row.value;
}

std::string Read(const std::vector<std::string>& arguments, TSettings& s)
{
    return ReadOptions(Rows(), arguments, s, Missing);
}

}  // namespace

TEST(TableOptions, FindsByNameAndByAlias)
{
    EXPECT_EQ(FindOption(Rows(), "--help"), &Rows()[3]);
    EXPECT_EQ(FindOption(Rows(), "-h"), &Rows()[3]);
    EXPECT_EQ(FindOption(Rows(), "--count"), &Rows()[1]);
    EXPECT_EQ(FindOption(Rows(), "--coun"), nullptr);
    EXPECT_EQ(FindOption(Rows(), "-q"), nullptr);
    TSettings s;
    EXPECT_EQ(Read({"-h"}, s), "");
    EXPECT_TRUE(s.help);
}

TEST(TableOptions, TakesTheNextArgumentAsTheValue)
{
    TSettings s;
    EXPECT_EQ(Read({"--count", "2", "--name", "--quiet"}, s), "");
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.name, "--quiet");  // taken as it stands
    EXPECT_FALSE(s.quiet);

    const std::vector<std::string> arguments = {"--quiet", "--name", "x", "y"};
    std::size_t i = 0;
    TTakenOption<TRow> taken = TakeOption(Rows(), arguments, i);
    EXPECT_EQ(taken.status, TOptionStatus::Taken);
    EXPECT_EQ(taken.row, &Rows()[2]);
    EXPECT_EQ(taken.value, "");
    EXPECT_EQ(i, 0u);  // a flag leaves the index where it is
    i = 1;
    taken = TakeOption(Rows(), arguments, i);
    EXPECT_EQ(taken.status, TOptionStatus::Taken);
    EXPECT_EQ(taken.value, "x");
    EXPECT_EQ(i, 2u);  // on the value
}

TEST(TableOptions, MissingValue)
{
    const std::vector<std::string> arguments = {"--quiet", "--count"};
    std::size_t i = 1;
    const TTakenOption<TRow> taken = TakeOption(Rows(), arguments, i);
    EXPECT_EQ(taken.status, TOptionStatus::MissingValue);
    EXPECT_EQ(taken.row, &Rows()[1]);
    EXPECT_EQ(i, 1u);
    TSettings s;
    EXPECT_EQ(Read(arguments, s), "--count needs N");
    EXPECT_TRUE(s.quiet);  // what came before was read
}

TEST(TableOptions, AFlagTakesNoValue)
{
    TSettings s;
    // The word after a flag is an argument of its own, and "=" joins nothing.
    EXPECT_EQ(Read({"--quiet", "yes"}, s), "unknown option 'yes'");
    EXPECT_TRUE(s.quiet);
    EXPECT_EQ(Read({"--quiet=yes"}, s), "unknown option '--quiet=yes'");
    EXPECT_EQ(Read({"--name=x"}, s), "unknown option '--name=x'");
}

TEST(TableOptions, UnknownOptionAndRefusedValue)
{
    TSettings s;
    EXPECT_EQ(Read({"--count", "1", "--colour", "red"}, s), "unknown option '--colour'");
    EXPECT_EQ(s.count, 1);
    EXPECT_EQ(Read({"file"}, s), "unknown option 'file'");
    const std::vector<std::string> arguments = {"--frobnicate"};
    std::size_t i = 0;
    EXPECT_EQ(TakeOption(Rows(), arguments, i).status, TOptionStatus::Unknown);
    EXPECT_EQ(TakeOption(Rows(), arguments, i).row, nullptr);
    EXPECT_EQ(Read({"--count", "3", "--quiet"}, s), "--count: 1 or 2 expected, got '3'");
    EXPECT_EQ(Read({"--name", ""}, s), "--name: empty");
    EXPECT_EQ(Read({}, s), "");
}

TEST(TableOptions, HelpLines)
{
    const auto all = SelectOptions(Rows(), [](const TRow&) { return true; });
    EXPECT_EQ(OptionHelpLines(all, 16),
              "  --name TEXT   what it is called\n"
              "  --count N     how many:\n"
              "                1 or 2\n"
              "  --quiet       say nothing\n"
              "  --help        show this text\n");
    // A name that reaches the column gets two spaces; further lines still start at the column.
    EXPECT_EQ(OptionHelpLines(all, 10),
              "  --name TEXT  what it is called\n"
              "  --count N  how many:\n"
              "          1 or 2\n"
              "  --quiet  say nothing\n"
              "  --help  show this text\n");
    const auto flags = SelectOptions(Rows(), [](const TRow& row) { return row.value == nullptr; });
    EXPECT_EQ(OptionHelpLines(flags, 12), "  --quiet   say nothing\n  --help    show this text\n");
    EXPECT_EQ(OptionHelpLines(std::vector<const TRow*>{}, 12), "");
}

// The fields a program adds to each row.
TEST(TableOptions, RowsWithExtraFields)
{
    struct TScope {
        int section = 0;
        std::vector<int> commands;
    };
    using TScopedRow = TOptionRow<TSettings, TScope>;
    const std::vector<TScopedRow> rows = {
        {"--name", "TEXT", "what it is called", ReadName, {1, {2, 3}}},
        {"--help", nullptr, "show this text", ReadHelp, {2, {}}, "-h"},
    };
    ASSERT_NE(FindOption(rows, "-h"), nullptr);
    EXPECT_EQ(FindOption(rows, "-h")->extra.section, 2);
    const auto second = SelectOptions(rows, [](const TScopedRow& row) { return row.extra.section == 2; });
    EXPECT_EQ(OptionHelpLines(second, 10), "  --help  show this text\n");
    EXPECT_EQ(FindOption(rows, "--name")->extra.commands, (std::vector<int>{2, 3}));
}
