// The internet list for the web: an HTML page for browsers and JSON for other tools. Pure
// functions of the list, apart from the HTTP layer.
#pragma once

#include <string>
#include <vector>

#include "server/score_store.h"

// True when an Accept header asks for text/html (with a quality above 0) by name; "*/*" alone,
// as curl and the game send, keeps the short answer.
bool acceptsHtml(const std::string& accept);
// Where a stored replay is served: this and its number.
const char* const replayPathPrefix = "/replays/";

// A name as UTF-8 for people, read as the Latin-1 that the game's name entry types. Control
// characters, C0 and DEL and also C1 (0x80 to 0x9F, which Latin-1 leaves to control), show
// as \x and two hex digits, and a backslash as two, so that no two names look alike.
std::string shownName(const std::string& name);
// The text as HTML character data, safe both between tags and inside quoted attributes.
std::string htmlEscaped(const std::string& text);
// The page: rank, name, score and the link to the replay of each entry, best first; the footer
// names the program.
std::string leaderboardPage(const std::vector<RankedScore>& scores, const std::string& footer);
// [{"rank":1,"name":"...","score":900,"verified":true,"replay":"/replays/7"},...] with names
// as shownName gives them; "replay" only for verified entries.
std::string scoresJson(const std::vector<RankedScore>& scores);
