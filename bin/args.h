// Command lines read from one declaration per program: the table of its
// options gives both the parsing and the help text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

enum ValueKind : uint32_t {
    FLAG,    // --name alone
    NUMBER,  // --name N, a decimal number in [min, max]
    TEXT,    // --name VALUE, any one argument
    WORD,    // a bare word, recognised only as the first argument ("go")
};

struct Option {
    const char* name;   // "--depth", or the word itself
    const char* alias;  // "-h", or "" for none
    ValueKind kind;
    const char* value_name;  // what the help calls the value ("D"); "" without one
    uint64_t min, max;       // the range of a NUMBER
    const char* help;        // lines separated by '\n', set beside the option
};

struct Program {
    const char* name;
    std::span<const char* const> forms;  // the usage lines, each after the name
    const char* about;                   // between the usage and the options; may be ""
    std::span<const Option> options;     // --help and --version among them
    const char* notes;                   // after the options: exit status, manual page
    int max_positional;                  // arguments that are not options
    bool rest_after_dashes;              // everything after "--" is positional
    bool lenient;                        // unknown arguments are collected, not refused
};

// What one option was given: whether, and its value.
struct Given {
    bool given = false;
    uint64_t number = 0;
    const char* text = "";
};

struct Arguments {
    std::vector<Given> options;           // one for each of the program's options, in order
    std::vector<const char*> positional;  // in order, those after "--" included
    std::vector<const char*> unknown;     // with lenient: what was not understood
};

enum ParseOutcome : uint32_t {
    PARSED,       // run with the arguments
    ANSWERED,     // --help or --version printed: exit 0
    USAGE_ERROR,  // the error and the usage printed on standard error: exit 2
};

// Reads argv by the program's table. --help (or -h) and --version anywhere
// before "--" are answered before anything else is looked at. Options may
// come in any order, among the positional arguments, as "--name VALUE" or
// "--name=VALUE".
ParseOutcome ParseArguments(const Program& program, int argc, char** argv, Arguments& args);

// The value given to the option named name, which the program declares.
const Given& Value(const Program& program, const Arguments& args, const char* name);

// Prints the usage lines alone, or the whole help text.
void PrintUsage(const Program& program, FILE* out);
void PrintHelp(const Program& program, FILE* out);

// A usage error found after parsing: the program, what is wrong and the
// argument concerned on standard error, then the usage; gives exit status 2.
int UsageError(const Program& program, const char* what, const char* argument);

// A whole argument read as a decimal number of at most max; false for
// anything else ("", "5x", "-1", "0x10", too large).
bool ParseNumber(const char* text, uint64_t max, uint64_t& value);
