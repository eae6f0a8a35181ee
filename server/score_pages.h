// The internet list for the web: an HTML page for browsers and JSON for other tools. Pure
// functions of the list, apart from the HTTP layer.
#pragma once

#include <string>
#include <vector>

#include "server/score_store.h"

// True when an Accept header asks for text/html (with a quality above 0) by name; "*/*" alone,
// as curl and the game send, keeps the short answer.
bool acceptsHtml(const std::string& accept);
// The text with every byte that is not part of valid UTF-8 replaced by U+FFFD, one for each.
std::string repairedUtf8(const std::string& text);
// The text as HTML character data, safe both between tags and inside quoted attributes.
std::string htmlEscaped(const std::string& text);
// The page: rank, name and score of each entry, best first; the footer names the program.
std::string leaderboardPage(const std::vector<RankedScore>& scores, const std::string& footer);
// [{"rank":1,"name":"...","score":900},...]: names as JSON strings of valid UTF-8.
std::string scoresJson(const std::vector<RankedScore>& scores);
