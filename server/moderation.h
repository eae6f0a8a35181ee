// The operator's commands on the list: they act on the database and exit, also while a
// server runs on it.
#pragma once

#include <string>

#include "server/score_store.h"
#include "server/server_options.h"

// The name as one word for the shell: as it is when it is plain, otherwise in bash's $'...'
// with \xHH for every byte but printable ASCII, so that it can be pasted into --remove or --ban.
std::string shellWord(const std::string& name);
// Carries out options.action on the open store, printing the outcome; the exit status: 0 when
// done, 1 when the store failed or there was no such entry to remove.
int runModeration(const ServerOptions& options, ScoreStore& store,
                  std::chrono::milliseconds storeTime);
