// Option parser shared by the command-line tools.
//
// A tool registers its options for the usage listing, then asks for them one
// by one. Each lookup consumes the option and its value from the list of
// arguments still unconsumed, so whatever is left at the end is an error.
#pragma once

#include <cstdint>
#include <exception>
#include <list>
#include <optional>
#include <string>
#include <vector>

using ArgumentList = std::list<std::string>;
using ArgumentPosition = ArgumentList::iterator;

// A command-line error: an optional option text ("--width") and a message.
// The option text is absent for errors not tied to an option, and present
// but empty for errors raised while reading the stand-alone argument.
class CommandLineException : public std::exception {
public:
    CommandLineException(std::optional<std::string> option, std::string message);

    const char* what() const noexcept override { return mMessage.c_str(); }
    const std::optional<std::string>& option() const { return mOption; }

private:
    std::optional<std::string> mOption; // option the error belongs to, if any
    std::string mMessage;               // short lower-case phrase
};

// Converts and consumes the value argument(s) of one option. Parsers are
// small values made on the spot for one lookup and never deleted through the
// base, hence the protected non-virtual destructor.
class ArgumentParser {
public:
    // Consumes the arguments from `position` on that form the value, erasing
    // them from `arguments`, and returns the position after them. Throws
    // CommandLineException without an option text on a bad value.
    virtual ArgumentPosition parse(ArgumentPosition position, ArgumentList& arguments) = 0;

protected:
    ArgumentParser() = default;
    ~ArgumentParser() = default;
};

// Flags: consumes nothing.
class NullArgumentParser final : public ArgumentParser {
public:
    ArgumentPosition parse(ArgumentPosition position, ArgumentList& arguments) override;
};

// One value text that does not begin with '-' and is not empty.
class StringArgumentParser final : public ArgumentParser {
public:
    explicit StringArgumentParser(std::string& target) : mTarget(target) { }
    ArgumentPosition parse(ArgumentPosition position, ArgumentList& arguments) override;

private:
    std::string& mTarget;
};

// One unsigned number in the given strtoull base that fits in `Value`: 32
// bits for UnsignedArgumentParser, 64 for Unsigned64ArgumentParser (byte
// counts and offsets in files).
template <typename Value>
class BasicUnsignedArgumentParser final : public ArgumentParser {
public:
    BasicUnsignedArgumentParser(Value& target, int base) : mTarget(target), mBase(base) { }
    ArgumentPosition parse(ArgumentPosition position, ArgumentList& arguments) override;

private:
    Value& mTarget;
    int mBase; // numeric base as strtoull takes it: 0 or 2..36
};
using UnsignedArgumentParser = BasicUnsignedArgumentParser<uint32_t>;
using Unsigned64ArgumentParser = BasicUnsignedArgumentParser<uint64_t>;

class CommandLine {
public:
    CommandLine(std::string programName, int argc, const char* const* argv);

    // Adds a row to the usage listing; matching never looks at it.
    void addOption(std::string syntax, std::string help);

    // Finds the first argument equal to `name` or `alias`, removes it and
    // lets `parser` consume its value. Returns false when the option is
    // absent. Throws CommandLineException (with the option's display name)
    // on a bad value, and on a second occurrence unless allowMultiple.
    bool getOption(
        const std::string& name, const std::string& alias, ArgumentParser& parser, bool allowMultiple = false);

    // Hands the first stand-alone argument (one that is not an option's
    // value) to `parser`. Returns false when there is none.
    bool getPositional(ArgumentParser& parser);

    // Throws "invalid argument <first leftover>" if anything is unconsumed.
    void checkUnused() const;

    // Writes the usage listing to standard output.
    void printUsage() const;

    const ArgumentList& remaining() const { return mArguments; }

private:
    struct OptionEntry {
        std::string syntax; // left column of the usage listing
        std::string help;   // right column of the usage listing
    };

    std::vector<OptionEntry> mOptions; // in registration order
    std::string mProgramName;          // usage name printed in the listing header
    ArgumentList mArguments;           // arguments not consumed yet, in command-line order
};
