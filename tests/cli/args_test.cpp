#include "cli/args.h"

#include <gtest/gtest.h>

namespace vellum {
namespace cli {
namespace {

ParseResult parse(std::vector<std::string> args) { return parse_args(args); }

TEST(ArgsTest, CommandWordsAndAliasesTakeArchiveAndOperands) {
    const struct {
        const char* word;
        CommandName command;
    } cases[] = {{"add", CommandName::add},       {"a", CommandName::add},
                 {"extract", CommandName::extract}, {"x", CommandName::extract},
                 {"delete", CommandName::remove},   {"d", CommandName::remove}};
    for (const auto& c : cases) {
        const ParseResult r = parse({c.word, "arc.vlm", "one", "two"});
        ASSERT_EQ("", r.error) << c.word;
        EXPECT_EQ(c.command, r.options.command) << c.word;
        EXPECT_EQ("arc.vlm", r.options.archive);
        EXPECT_EQ((std::vector<std::string>{"one", "two"}), r.options.operands);
    }
    for (const char* word : {"list", "l", "info", "i", "test", "t"}) {
        const ParseResult r = parse({word, "arc"});
        EXPECT_EQ("", r.error) << word;
        EXPECT_EQ("arc", r.options.archive);
    }
}

TEST(ArgsTest, AddOptionsAnywhereAfterTheCommand) {
    ParseResult r = parse({"add", "arc", "--solid", "f1", "--block", "8M", "f2"});
    ASSERT_EQ("", r.error);
    EXPECT_TRUE(r.options.solid);
    EXPECT_TRUE(r.options.block_given);
    EXPECT_EQ(0, r.options.buffer_setting);
    EXPECT_EQ((std::vector<std::string>{"f1", "f2"}), r.options.operands);

    r = parse({"-q", "a", "--block=512m", "arc", "f"});
    ASSERT_EQ("", r.error);
    EXPECT_TRUE(r.options.quiet);
    EXPECT_EQ(6, r.options.buffer_setting);

    r = parse({"add", "arc", "f"});
    EXPECT_FALSE(r.options.block_given);
    EXPECT_EQ(4, r.options.buffer_setting);  // 128 MiB
    EXPECT_FALSE(r.options.solid);
}

TEST(ArgsTest, OutputFolderForms) {
    for (const auto& args : {std::vector<std::string>{"x", "-o", "dest", "arc"},
                             std::vector<std::string>{"x", "-odest", "arc"},
                             std::vector<std::string>{"x", "arc", "--output", "dest"},
                             std::vector<std::string>{"x", "arc", "--output=dest"}}) {
        const ParseResult r = parse(args);
        ASSERT_EQ("", r.error) << args[1];
        EXPECT_EQ("dest", r.options.output_folder);
        EXPECT_EQ("arc", r.options.archive);
        EXPECT_TRUE(r.options.operands.empty());
    }
    EXPECT_NE("", parse({"x", "arc", "-o"}).error);
    EXPECT_NE("", parse({"x", "arc", "--output="}).error);
}

TEST(ArgsTest, DoubleDashMakesOperandsOfOptionLikeNames) {
    const ParseResult r = parse({"add", "arc", "--", "--solid", "-q"});
    ASSERT_EQ("", r.error);
    EXPECT_FALSE(r.options.solid);
    EXPECT_FALSE(r.options.quiet);
    EXPECT_EQ((std::vector<std::string>{"--solid", "-q"}), r.options.operands);
}

TEST(ArgsTest, BadUsageIsAnErrorWithItsReason) {
    EXPECT_NE(std::string::npos, parse({}).error.find("no command"));
    EXPECT_NE(std::string::npos, parse({"pack", "arc"}).error.find("unknown command 'pack'"));
    EXPECT_NE(std::string::npos, parse({"add", "arc"}).error.find("nothing to add"));
    EXPECT_NE(std::string::npos, parse({"add"}).error.find("missing archive"));
    EXPECT_NE(std::string::npos, parse({"delete", "arc"}).error.find("entries to delete"));
    EXPECT_NE(std::string::npos, parse({"list", "arc", "extra"}).error.find("unexpected operand"));
    EXPECT_NE(std::string::npos, parse({"list", "--solid", "arc"}).error.find("does not apply"));
    EXPECT_NE(std::string::npos, parse({"x", "--entries", "arc"}).error.find("does not apply"));
    EXPECT_NE(std::string::npos, parse({"add", "--block", "7M", "arc", "f"}).error.find("'7M'"));
    EXPECT_NE(std::string::npos, parse({"add", "arc", "f", "--block"}).error.find("needs a size"));
    EXPECT_NE(std::string::npos, parse({"add", "--solid=1", "arc", "f"}).error.find("no value"));
    EXPECT_NE(std::string::npos, parse({"list", "-z", "arc"}).error.find("unknown option '-z'"));
    EXPECT_NE(std::string::npos, parse({"list", "-qz", "arc"}).error.find("unknown option"));
    EXPECT_NE(std::string::npos, parse({"--solid", "add", "arc", "f"}).error.find("after the command"));
    EXPECT_NE("", parse({"add", "", "f"}).error);
    EXPECT_NE("", parse({"x", "arc", ""}).error);
}

TEST(ArgsTest, HelpAndVersionNeedNoOperands) {
    ParseResult r = parse({"--help"});
    EXPECT_EQ("", r.error);
    EXPECT_TRUE(r.options.help);
    EXPECT_EQ(CommandName::none, r.options.command);

    r = parse({"x", "-h"});
    EXPECT_EQ("", r.error);
    EXPECT_TRUE(r.options.help);
    EXPECT_EQ(CommandName::extract, r.options.command);

    r = parse({"--version"});
    EXPECT_EQ("", r.error);
    EXPECT_TRUE(r.options.version);
}

TEST(ArgsTest, BlockSizesMapToTheSevenSettings) {
    const char* sizes[] = {"8M", "16M", "32M", "64M", "128M", "256M", "512M"};
    for (int setting = 0; setting < 7; ++setting) EXPECT_EQ(setting, parse_block_size(sizes[setting]));
    EXPECT_EQ(4, parse_block_size("128MiB"));
    EXPECT_EQ(1, parse_block_size("16mb"));
    for (const char* bad : {"", "M", "4M", "1024M", "128", "128K", "128MM", "-8M", "0008M", "8 M"})
        EXPECT_EQ(-1, parse_block_size(bad)) << bad;
}

}  // namespace
}  // namespace cli
}  // namespace vellum
