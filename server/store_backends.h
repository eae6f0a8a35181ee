// The two kinds of score store; only the store choice includes this.
#pragma once

#include "server/score_store.h"

// Raised with every change of the tables; a store holding a newer version is not touched.
const int scoreSchemaVersion = 1;

std::unique_ptr<ScoreBackend> openSqliteBackend(const std::string& path, std::string* error);
std::unique_ptr<ScoreBackend> openPostgresBackend(const std::string& uri, std::string* error);
