// Command lines read from a program's table of options.
#include "args.h"

#include <cassert>
#include <cstring>

#include "uci/version.h"

namespace {

// The help text sets each option's description at this column.
constexpr size_t HELP_COLUMN = 19;

bool Is(const char* argument, const char* name) { return *name && strcmp(argument, name) == 0; }

// The option argument names, "" when it names none. An argument
// "--name=VALUE" names --name; value then points at VALUE.
int FindOption(const Program& program, const char* argument, bool first, const char*& value) {
    value = nullptr;
    for (size_t i = 0; i < program.options.size(); i++) {
        const ::Option& o = program.options[i];
        if (o.kind == WORD) {
            if (first && Is(argument, o.name)) return int(i);
            continue;
        }
        if (Is(argument, o.name) || Is(argument, o.alias)) return int(i);
        const size_t length = strlen(o.name);
        if (o.kind != FLAG && strncmp(argument, o.name, length) == 0 && argument[length] == '=') {
            value = argument + length + 1;
            return int(i);
        }
    }
    return -1;
}

void PrintVersion(const Program& program) {
    if (strcmp(program.name, ENGINE_NAME) == 0)
        printf("%s %s\n", ENGINE_NAME, ENGINE_VERSION);
    else
        printf("%s (%s) %s\n", program.name, ENGINE_NAME, ENGINE_VERSION);
}

}  // namespace

bool ParseNumber(const char* text, uint64_t max, uint64_t& value) {
    value = 0;
    if (*text == '\0') return false;
    for (; *text; text++) {
        if (*text < '0' || *text > '9') return false;
        const uint64_t digit = uint64_t(*text - '0');
        if (value > (max - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

ParseOutcome ParseArguments(const Program& program, int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc && !(program.rest_after_dashes && strcmp(argv[i], "--") == 0); i++) {
        if (Is(argv[i], "--help") || Is(argv[i], "-h")) {
            PrintHelp(program, stdout);
            return ANSWERED;
        }
        if (Is(argv[i], "--version")) {
            PrintVersion(program);
            return ANSWERED;
        }
    }
    args = Arguments();
    args.options.resize(program.options.size());
    for (int i = 1; i < argc; i++) {
        const char* argument = argv[i];
        if (program.rest_after_dashes && strcmp(argument, "--") == 0) {
            while (++i < argc) args.positional.push_back(argv[i]);
            break;
        }
        const char* value = nullptr;
        const int found = FindOption(program, argument, i == 1, value);
        if (found < 0) {
            // "-" alone and negative numbers are arguments, not options.
            const bool option =
                argument[0] == '-' && argument[1] != '\0' && !(argument[1] >= '0' && argument[1] <= '9');
            if (!option && int(args.positional.size()) < program.max_positional) {
                args.positional.push_back(argument);
            } else if (program.lenient) {
                args.unknown.push_back(argument);
            } else {
                UsageError(program, option ? "unknown option" : "unexpected argument", argument);
                return USAGE_ERROR;
            }
            continue;
        }
        const ::Option& o = program.options[found];
        Given& given = args.options[found];
        given.given = true;
        if (o.kind == FLAG || o.kind == WORD) continue;
        if (!value) {
            if (i + 1 >= argc) {
                UsageError(program, "missing value after", argument);
                return USAGE_ERROR;
            }
            value = argv[++i];
        }
        given.text = value;
        if (o.kind == NUMBER && (!ParseNumber(value, o.max, given.number) || given.number < o.min)) {
            char what[96];
            if (o.max == UINT64_MAX && o.min == 0)
                snprintf(what, sizeof what, "%s takes a number", o.name);
            else
                snprintf(what, sizeof what, "%s takes a number from %llu to %llu", o.name,
                         static_cast<unsigned long long>(o.min), static_cast<unsigned long long>(o.max));
            UsageError(program, what, value);
            return USAGE_ERROR;
        }
    }
    return PARSED;
}

const Given& Value(const Program& program, const Arguments& args, const char* name) {
    for (size_t i = 0; i < program.options.size(); i++)
        if (strcmp(program.options[i].name, name) == 0) return args.options[i];
    assert(!"the program declares no such option");
    static const Given none;
    return none;
}

void PrintUsage(const Program& program, FILE* out) {
    const char* lead = "usage:";
    for (const char* form : program.forms) {
        fprintf(out, "%-6s %s%s%s\n", lead, program.name, *form ? " " : "", form);
        lead = "";
    }
}

void PrintHelp(const Program& program, FILE* out) {
    PrintUsage(program, out);
    if (*program.about) fprintf(out, "\n%s", program.about);
    fputc('\n', out);
    for (const ::Option& o : program.options) {
        char left[64];
        snprintf(left, sizeof left, "  %s%s%s%s%s", o.alias, *o.alias ? ", " : "", o.name, *o.value_name ? " " : "",
                 o.value_name);
        fputs(left, out);
        // A long name takes a line of its own.
        size_t column = strlen(left);
        if (column >= HELP_COLUMN - 1) {
            fputc('\n', out);
            column = 0;
        }
        for (const char* line = o.help; *line;) {
            const char* end = strchr(line, '\n');
            const size_t length = end ? size_t(end - line) : strlen(line);
            fprintf(out, "%*s%.*s\n", int(HELP_COLUMN - column), "", int(length), line);
            column = 0;
            line += length + (end ? 1 : 0);
        }
    }
    if (*program.notes) fprintf(out, "\n%s", program.notes);
}

int UsageError(const Program& program, const char* what, const char* argument) {
    fprintf(stderr, "%s: %s%s%s\n", program.name, what, *argument ? ": " : "", argument);
    PrintUsage(program, stderr);
    fprintf(stderr, "See %s --help.\n", program.name);
    return 2;
}
