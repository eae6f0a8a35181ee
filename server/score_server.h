// The score server's HTTP face: the probe, the rank lines and the uploads.
#pragma once

#include "server/score_store.h"

namespace httplib {
class Server;
}

const char* const scoreRankPath = "/velmo/orbelle/haeennatykset.php";
const char* const scoreUploadPath = "/velmo/orbelle/lisaaennatys.php";

// Adds the server's routes; store must outlive server.
void addScoreRoutes(httplib::Server& server, ScoreStore& store);
