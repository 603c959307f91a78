#include "command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Builds a CommandLine from the words after the program name.
CommandLine makeCommandLine(const std::vector<std::string>& words)
{
    std::vector<const char*> argv{"tool"};
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    return CommandLine("tool", int(argv.size()), argv.data());
}

struct Failure {
    std::optional<std::string> option;
    std::string message;
};

template <typename Lookup>
std::optional<Failure> failureOf(Lookup lookup)
{
    try {
        lookup();
    } catch (const CommandLineException& error) {
        return Failure{error.option(), error.what()};
    }
    return std::nullopt;
}

ArgumentList list(std::initializer_list<const char*> words)
{
    return ArgumentList(words.begin(), words.end());
}

} // namespace

TEST(UnsignedArgumentParser, AcceptsWhatStrtoulReadsWholeAndRefusesTheRest)
{
    struct Case {
        const char* text;
        std::optional<uint32_t> value; // nullopt: refused
        const char* message;
    };
    const Case cases[] = {
        {"007", 7u, ""},
        {"+65", 65u, ""},
        {" 12", 12u, ""},
        {"4294967295", 4294967295u, ""},
        {"4294967296", std::nullopt, "invalid numeric value"},
        {"4294967297", std::nullopt, "invalid numeric value"},
        {"99999999999999999999999", std::nullopt, "invalid numeric value"},
        {" -5", std::nullopt, "invalid numeric value"},
        {"12abc", std::nullopt, "invalid numeric value"},
        {"abc", std::nullopt, "invalid numeric value"},
        {"0x10", std::nullopt, "invalid numeric value"},
        {"-5", std::nullopt, "missing numeric value"},
        {"-", std::nullopt, "missing numeric value"},
        {"", std::nullopt, "missing numeric value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ArgumentList arguments = list({c.text, "next"});
        uint32_t target = 0;
        UnsignedArgumentParser parser(target, 10);
        std::optional<Failure> failure = failureOf([&] { parser.parse(arguments.begin(), arguments); });
        if (c.value) {
            ASSERT_FALSE(failure);
            EXPECT_EQ(target, *c.value);
            EXPECT_EQ(arguments, list({"next"}));
        } else {
            ASSERT_TRUE(failure);
            EXPECT_FALSE(failure->option);
            EXPECT_EQ(failure->message, c.message);
        }
    }
}

// Byte counts and offsets in files: the whole 64-bit range, and nothing that
// wraps into it.
TEST(Unsigned64ArgumentParser, TakesEvery64BitValueAndRefusesWhatWraps)
{
    const struct {
        const char* text;
        std::optional<uint64_t> value; // nullopt: refused
        const char* message;
    } cases[] = {
        {"4294967296", uint64_t(1) << 32, ""},
        {"18446744073709551615", UINT64_MAX, ""},
        {"18446744073709551616", std::nullopt, "invalid numeric value"},
        {" -5", std::nullopt, "invalid numeric value"},
        {" -0", std::nullopt, "invalid numeric value"},
        {"12abc", std::nullopt, "invalid numeric value"},
        {"-5", std::nullopt, "missing numeric value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ArgumentList arguments = list({c.text, "next"});
        uint64_t target = 0;
        Unsigned64ArgumentParser parser(target, 10);
        std::optional<Failure> failure = failureOf([&] { parser.parse(arguments.begin(), arguments); });
        EXPECT_EQ(failure ? failure->message : "", c.message);
        if (c.value) {
            EXPECT_EQ(target, *c.value);
            EXPECT_EQ(arguments, list({"next"}));
        }
    }
}

TEST(StringArgumentParser, TakesOneWordAndRefusesOptionsEmptyAndEnd)
{
    std::string target;
    StringArgumentParser parser(target);
    ArgumentList arguments = list({"name", "rest"});
    EXPECT_EQ(*parser.parse(arguments.begin(), arguments), "rest");
    EXPECT_EQ(target, "name");
    EXPECT_EQ(arguments, list({"rest"}));

    for (ArgumentList bad : {list({"-x"}), list({""}), list({})}) {
        std::optional<Failure> failure = failureOf([&] { parser.parse(bad.begin(), bad); });
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->message, "missing value");
        EXPECT_EQ(bad.size(), bad.empty() ? 0u : 1u);
    }
}

TEST(GetOption, ConsumesTheFirstOccurrenceAndItsValueOnly)
{
    CommandLine commandLine = makeCommandLine({"a", "--fb", "x", "--fb=y", "b"});
    std::string value;
    StringArgumentParser parser(value);
    EXPECT_TRUE(commandLine.getOption("--fb", "", parser));
    EXPECT_EQ(value, "x");
    EXPECT_EQ(commandLine.remaining(), list({"a", "--fb=y", "b"}));
    EXPECT_FALSE(commandLine.getOption("--missing", "", parser));
    EXPECT_EQ(commandLine.remaining().size(), 3u);
}

TEST(GetOption, ReportsValueErrorsBeforeRepetitionUnderTheDisplayName)
{
    uint32_t number = 0;
    UnsignedArgumentParser parser(number, 10);

    CommandLine twice = makeCommandLine({"--width", "3", "--width", "4"});
    std::optional<Failure> failure = failureOf([&] { twice.getOption("--width", "", parser); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->option, "--width");
    EXPECT_EQ(failure->message, "duplicate option");

    CommandLine badFirst = makeCommandLine({"--width", "x", "--width", "4"});
    failure = failureOf([&] { badFirst.getOption("--width", "", parser); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->message, "invalid numeric value");

    CommandLine aliased = makeCommandLine({"-w", "-1"});
    failure = failureOf([&] { aliased.getOption("--width", "-w", parser); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->option, "--width, -w");
    EXPECT_EQ(failure->message, "missing numeric value");
}

TEST(GetOption, AllowMultipleLeavesLaterOccurrencesForTheNextCall)
{
    CommandLine commandLine = makeCommandLine({"--in", "a", "--in", "b"});
    std::string value;
    StringArgumentParser parser(value);
    EXPECT_TRUE(commandLine.getOption("--in", "", parser, true));
    EXPECT_EQ(value, "a");
    EXPECT_TRUE(commandLine.getOption("--in", "", parser, true));
    EXPECT_EQ(value, "b");
    EXPECT_TRUE(commandLine.remaining().empty());
}

TEST(GetPositional, SkipsOptionValuesAndEmptyWords)
{
    struct Case {
        std::vector<std::string> words;
        std::optional<std::string> taken;
        ArgumentList left;
    };
    const Case cases[] = {
        {{"one"}, "one", {}},
        {{"one", "two"}, "one", list({"two"})},
        {{"--x", "value", "word"}, "word", list({"--x", "value"})},
        {{"--x", "word"}, std::nullopt, list({"--x", "word"})},
        {{"", "word"}, "word", list({""})},
        {{""}, std::nullopt, list({""})},
    };
    for (const Case& c : cases) {
        CommandLine commandLine = makeCommandLine(c.words);
        std::string value;
        StringArgumentParser parser(value);
        const bool found = commandLine.getPositional(parser);
        EXPECT_EQ(found, c.taken.has_value());
        if (c.taken) {
            EXPECT_EQ(value, *c.taken);
        }
        EXPECT_EQ(commandLine.remaining(), c.left);
    }
}

TEST(GetPositional, RethrowsParserErrorsWithAnEmptyOption)
{
    class Refusing final : public ArgumentParser {
    public:
        ArgumentPosition parse(ArgumentPosition, ArgumentList&) override
        {
            throw CommandLineException(std::nullopt, "bad word");
        }
    } parser;
    CommandLine commandLine = makeCommandLine({"word"});
    std::optional<Failure> failure = failureOf([&] { commandLine.getPositional(parser); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->option, "");
    EXPECT_EQ(failure->message, "bad word");
}

TEST(CheckUnused, NamesOnlyTheFirstLeftover)
{
    EXPECT_FALSE(failureOf([] { makeCommandLine({}).checkUnused(); }));
    std::optional<Failure> failure = failureOf([] { makeCommandLine({"stray", "other"}).checkUnused(); });
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->option);
    EXPECT_EQ(failure->message, "invalid argument stray");
}

TEST(PrintUsage, ListsRowsInRegistrationOrderAndPushesLongSyntax)
{
    CommandLine commandLine = makeCommandLine({});
    commandLine.addOption("--b <x>", "Second");
    commandLine.addOption("--a-very-long-option-syntax <value text>", "Long");
    testing::internal::CaptureStdout();
    commandLine.printUsage();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
        std::string("\n\nUSAGE: tool [options]\n"
                    "where [options] can be any of the following:\n\n") +
            "\n --b <x>" + std::string(32 - 7, ' ') +
            "  -  Second\n"
            "\n --a-very-long-option-syntax <value text>  -  Long\n");
}
