// What the game and the score server must agree on: where the requests go and the salt that
// follows name and score in the text whose MD5 signs an uploaded entry.
#pragma once

const char* const scoreRankPath = "/velmo/orbelle/haeennatykset.php";
const char* const scoreUploadPath = "/velmo/orbelle/lisaaennatys.php";
const char* const scoreSalt = "kovrenaltu37";
// A replay of a local entry, POSTed after the signed uploads: the file itself is the body.
const char* const scoreReplayPath = "/replays";
