// The score server's command line.
#pragma once

#include <string>

#include "server/http_daemon.h"

// What the program does: serve, or act on the database and exit.
enum class ServerAction { serve, list, remove, ban, unban };

struct ServerOptions {
    std::string listenAddress = "127.0.0.1";
    int port = 8765; // 0: any free port
    std::string databasePath = "orbelle-scores.db";
    std::string passwordFile; // empty: the password comes from the URI, PGPASSFILE or nowhere
    unsigned storeMillis = 2000;
    ServerLimits limits;
    unsigned uploadsPerMinute = 120; // per client address; 0: no limit
    unsigned pageSize = 100;         // entries on the web page and in scores.json
    bool quiet = false;
    bool verifiedOnly = false;       // the lists hold only entries proven by a replay
    unsigned replayCpuMillis = 2000; // CPU time that the check of one replay may take
    unsigned replayQueue = 16;       // replays waiting for their check; past it, 503
    ServerAction action = ServerAction::serve;
    unsigned listCount = 0; // for --list
    ScoreUpload moderated;  // the name as bytes, and for --remove the score
};

const int keepRunning = -1;

// Reads the command line into options. Prints the help, the version or what is wrong itself
// and then gives the status to exit with (0, or 2 for a bad command line); keepRunning when
// the server is to start.
int parseServerOptions(int argc, char** argv, ServerOptions* options);
