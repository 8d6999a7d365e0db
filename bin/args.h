// Argument reading shared by tarvik-perft and tarvik-bench.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "uci/version.h"

// --help or --version as the first argument: prints the usage and help text,
// or the program's name and version, and gives true.
inline bool AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage, const char* help) {
    if (argc < 2) return false;
    if (strcmp(argv[1], "--help") == 0) {
        printf("%s%s", usage, help);
        return true;
    }
    if (strcmp(argv[1], "--version") == 0) {
        printf("%s (%s) %s\n", program, ENGINE_NAME, ENGINE_VERSION);
        return true;
    }
    return false;
}

// A whole argument read as a decimal number of at most max; false for
// anything else ("", "5x", "-1", "0x10", too large).
inline bool ParseNumber(const char* text, uint64_t max, uint64_t& value) {
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

// A usage error: the program, what is wrong, the usage lines; status 2.
inline int UsageError(const char* program, const char* usage, const char* what, const char* argument) {
    fprintf(stderr, "%s: %s%s%s\n%s", program, what, *argument ? ": " : "", argument, usage);
    return 2;
}
