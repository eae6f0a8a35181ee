#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "game/command_line.h"

namespace {
// The first line written to the file, which is closed.
std::string firstLine(FILE* file) {
    char line[200] = "";
    std::rewind(file);
    std::fgets(line, sizeof line, file);
    std::fclose(file);
    return line;
}

// The complaint about the quoted argument, or nothing.
std::string unknown(const std::string& quoted) {
    return quoted.empty() ? ""
                          : "orbelle: unknown argument " + quoted + " (try 'orbelle --help')\n";
}
} // namespace

TEST(CommandLine, HelpAndVersionPrintAndEndOtherArgumentsAreNamed) {
    const struct {
        std::vector<const char*> args;
        int status;
        const char *out, *err;
    } cases[] = {
        {{"orbelle"}, playOn, "", ""},
        {{"orbelle", "--help"}, 0, "Usage: orbelle [--help | --version]\n", ""},
        {{"orbelle", "--version"}, 0, "orbelle 1.0\n", ""},
        {{"orbelle", "--bogus"}, 2, "", "'--bogus'"},
        {{"orbelle", "-h"}, 2, "", "'-h'"},
        {{"orbelle", "--help", "x"}, 2, "", "'x'"},
        {{"orbelle", "--version", "y"}, 2, "", "'y'"},
        {{"orbelle", ""}, 2, "", "''"},
    };
    for (const auto& c : cases) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        ASSERT_TRUE(out && err);
        const int status =
            handleCommandLine(int(c.args.size()), const_cast<char**>(c.args.data()), out, err);
        EXPECT_EQ(std::make_tuple(status, firstLine(out), firstLine(err)),
                  std::make_tuple(c.status, std::string(c.out), unknown(c.err)))
            << c.args.back();
    }
}
