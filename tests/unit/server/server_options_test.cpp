#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

#include "server/server_options.h"

namespace {
using Fields = std::map<std::string, std::string>;

// The defaults as the manual gives them; an action of 0 serves.
const char* const defaults =
    "listen=127.0.0.1 port=8765 db=orbelle-scores.db password-file= store-timeout=2000 "
    "max-connections=4096 max-per-address=32 timeout=10 header-timeout=5 "
    "connection-memory=32768 max-request-line=1024 threads=0 upload-limit=120 page-size=100 "
    "quiet=0 verified-only=0 replay-cpu=2000 replay-queue=16 action=0 list=0 name= score=0";

// "key=value" words over a copy of base.
Fields with(const std::string& changes, Fields base = {}) {
    std::istringstream words(changes);
    for (std::string word; words >> word;)
        base[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
    return base;
}

Fields fieldsOf(const ServerOptions& o) {
    const ServerLimits& l = o.limits;
    std::ostringstream f;
    f << "listen=" << o.listenAddress << " port=" << o.port << " db=" << o.databasePath
      << " password-file=" << o.passwordFile << " store-timeout=" << o.storeMillis
      << " max-connections=" << l.connections << " max-per-address=" << l.connectionsPerAddress
      << " timeout=" << l.idleSeconds << " header-timeout=" << l.headerSeconds
      << " connection-memory=" << l.memoryPerConnection
      << " max-request-line=" << l.requestLineLength << " threads=" << l.threads
      << " upload-limit=" << o.uploadsPerMinute << " page-size=" << o.pageSize
      << " quiet=" << o.quiet << " verified-only=" << o.verifiedOnly
      << " replay-cpu=" << o.replayCpuMillis << " replay-queue=" << o.replayQueue
      << " action=" << int(o.action) << " list=" << o.listCount << " name=" << o.moderated.name
      << " score=" << o.moderated.score;
    return with(f.str());
}

// The status, the options read and the first line of any complaint.
int parse(std::vector<const char*> args, Fields* fields, std::string* complaint) {
    args.insert(args.begin(), "orbelle-score-server");
    ServerOptions o;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    int status = parseServerOptions(int(args.size()), const_cast<char**>(args.data()), &o);
    testing::internal::GetCapturedStdout();
    *complaint = testing::internal::GetCapturedStderr();
    complaint->resize(std::min(complaint->size(), complaint->find('\n')));
    *fields = fieldsOf(o);
    return status;
}
} // namespace

// The range of every numeric option, from the manual and --help.
const char* const ranges =
    "port 0 65535 max-connections 1 1000000 max-per-address 0 1000000 timeout 1 86400 "
    "connection-memory 4096 16777216 max-request-line 64 16777216 threads 0 256 "
    "upload-limit 0 1000000 page-size 1 1000 header-timeout 1 3600 store-timeout 100 60000 "
    "replay-cpu 10 60000 replay-queue 1 4096 list 1 1000000";

// Names come byte for byte, also ones that look like options or numbers.
TEST(ServerOptions, CommandLinesReadAsTheManualSays) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{}, ""},
        {{"--listen", "::1", "--db", "x.db", "--quiet", "--verified-only", "--upload-limit=0"},
         "listen=::1 db=x.db quiet=1 verified-only=1 upload-limit=0"},
        {{"--listen=0.0.0.0", "--db", "postgres://h/d", "--db-password-file", "pw"},
         "listen=0.0.0.0 db=postgres://h/d password-file=pw"},
        {{"--remove", "J\xFC\x1B", "-2147483648"}, "action=2 name=J\xFC\x1B score=-2147483648"},
        {{"--remove=-x", "2147483647"}, "action=2 name=-x score=2147483647"},
        {{"--ban", "--list"}, "action=3 name=--list"},
        {{"--unban", "7"}, "action=4 name=7"},
        {{"--list", "5"}, "action=1 list=5"},
    };
    Fields got;
    std::string complaint;
    for (const auto& [args, changes] : cases) {
        EXPECT_EQ(parse(args, &got, &complaint), keepRunning) << changes;
        EXPECT_EQ(complaint, "") << changes;
        EXPECT_EQ(got, with(changes, with(defaults)));
    }
    std::istringstream edges(ranges);
    std::string option, low, high;
    while (edges >> option >> low >> high)
        for (const std::string& value : {low, high}) {
            std::string name = "--" + option;
            EXPECT_EQ(parse({name.c_str(), value.c_str()}, &got, &complaint), keepRunning);
            EXPECT_EQ(got[option], value) << name;
        }
}

TEST(ServerOptions, BadCommandLinesAreNamed) {
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"--listen", "localhost"},
         "bad value (a numeric IPv4 or IPv6 address) for --listen 'localhost'"},
        {{"--port"}, "missing value for --port"},
        {{"--bogus"}, "unknown option --bogus"},
        {{"stray"}, "unexpected argument stray"},
        {{"--ban", "A", "B"}, "unexpected argument B"},
        {{"--db-password-file", "pw"}, "a postgresql:// --db is needed for --db-password-file"},
        {{"--remove", "A"}, "a NAME and a SCORE (a whole number) for --remove"},
        {{"--remove", "A", "01"}, "a NAME and a SCORE (a whole number) for --remove '01'"},
        {{"--ban", "A", "--unban", "B"},
         "only one of --list, --remove, --ban and --unban, not also --unban"},
    };
    Fields fields;
    std::string complaint;
    for (const auto& [args, said] : cases) {
        EXPECT_EQ(parse(args, &fields, &complaint), 2) << said;
        EXPECT_EQ(complaint, "orbelle-score-server: " + said);
    }
    // Each number just outside its range, or not plainly written.
    std::istringstream edges(ranges);
    std::string option;
    long low, high;
    while (edges >> option >> low >> high) {
        const std::string name = "--" + option,
                          range = std::to_string(low) + " to " + std::to_string(high);
        for (std::string value :
             {std::to_string(low - 1), std::to_string(high + 1), "+" + std::to_string(high),
              std::string(" 1"), std::string("1x")}) {
            EXPECT_EQ(parse({name.c_str(), value.c_str()}, &fields, &complaint), 2) << name;
            EXPECT_EQ(complaint, "orbelle-score-server: bad value (" + range + ") for " + name +
                                     " '" + value + "'");
        }
    }
    EXPECT_EQ(parse({"--help"}, &fields, &complaint), 0);
    EXPECT_EQ(parse({"--version"}, &fields, &complaint), 0);
}
