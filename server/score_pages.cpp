#include "server/score_pages.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace {
const char* const hexDigits = "0123456789abcdef";

// A Latin-1 character as UTF-8.
void appendLatin1(std::string& out, unsigned char byte) {
    if (byte < 0x80) {
        out += char(byte);
    } else {
        out += char(0xC0 | byte >> 6);
        out += char(0x80 | (byte & 0x3F));
    }
}

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The q value of a media range's parameters; 1 when none is given.
double qualityOf(const std::string& parameters) {
    size_t at = 0;
    while (at < parameters.size()) {
        size_t end = parameters.find(';', at);
        std::string parameter = trimmed(parameters.substr(at, end - at));
        if (parameter.size() > 2 && strncasecmp(parameter.c_str(), "q=", 2) == 0)
            return atof(parameter.c_str() + 2);
        at = end == std::string::npos ? parameters.size() : end + 1;
    }
    return 1;
}

// Shown names hold no control characters, so quotes and backslashes are all to escape.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string replayPath(int64_t id) {
    return std::string(replayPathPrefix) + std::to_string(id);
}

const char* const pageHead =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<title>Orbelle high scores</title>\n<style>\n"
    "body{margin:0;padding:1em;font-family:sans-serif;background:#0b2a45;color:#eef6ff}\n"
    "main{max-width:36em;margin:0 auto}\nh1{font-size:1.6em;text-align:center}\n"
    "table{width:100%;border-collapse:collapse}\n"
    "th,td{padding:.4em .6em;border-bottom:1px solid #2d5578;text-align:left}\n"
    "td:first-child,td:nth-child(3),th:first-child,th:nth-child(3){text-align:right}\n"
    "td:nth-child(4),th:nth-child(4){text-align:center}\n"
    "a{color:#8fd3ff;text-decoration:none}\n"
    "td:nth-child(2){white-space:pre-wrap;word-break:break-all}\n"
    "tbody tr:nth-child(odd){background:#123a5c}\n"
    "footer{margin-top:2em;text-align:center;font-size:.8em;color:#9cb8d0}\n"
    "</style>\n</head>\n<body>\n<main>\n<h1>Orbelle high scores</h1>\n";
} // namespace

bool acceptsHtml(const std::string& accept) {
    size_t at = 0;
    while (at < accept.size()) {
        size_t end = accept.find(',', at);
        std::string range = accept.substr(at, end - at);
        size_t parameters = range.find(';');
        std::string type = trimmed(range.substr(0, parameters));
        if (strcasecmp(type.c_str(), "text/html") == 0)
            return parameters == std::string::npos || qualityOf(range.substr(parameters + 1)) > 0;
        at = end == std::string::npos ? accept.size() : end + 1;
    }
    return false;
}

std::string shownName(const std::string& name) {
    std::string out;
    for (unsigned char byte : name) {
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            const char escape[] = {'\\', 'x', hexDigits[byte >> 4], hexDigits[byte & 0x0F]};
            out.append(escape, sizeof(escape));
        } else {
            if (byte == '\\')
                out += '\\';
            appendLatin1(out, byte);
        }
    }
    return out;
}

std::string htmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string leaderboardPage(const std::vector<RankedScore>& scores, const std::string& footer) {
    std::string page = pageHead;
    if (scores.empty()) {
        page += "<p>No scores yet.</p>\n";
    } else {
        page += "<table>\n<thead><tr><th>Rank</th><th>Name</th><th>Score</th><th>Verified</th>"
                "</tr></thead>\n<tbody>\n";
        for (size_t i = 0; i < scores.size(); ++i) {
            const RankedScore& entry = scores[i];
            std::string proof = entry.replayId == 0
                                    ? ""
                                    : "<a href=\"" + replayPath(entry.replayId) +
                                          "\" title=\"Verified by its replay: download it\">"
                                          "&#10003;</a>";
            page += "<tr><td>" + std::to_string(i + 1) + "</td><td>" +
                    htmlEscaped(shownName(entry.name)) + "</td><td>" + std::to_string(entry.score) +
                    "</td><td>" + proof + "</td></tr>\n";
        }
        page += "</tbody>\n</table>\n";
    }
    return page + "</main>\n<footer>" + htmlEscaped(footer) + "</footer>\n</body>\n</html>\n";
}

std::string scoresJson(const std::vector<RankedScore>& scores) {
    std::string json = "[";
    for (size_t i = 0; i < scores.size(); ++i) {
        const RankedScore& entry = scores[i];
        json += std::string(i ? "," : "") + "{\"rank\":" + std::to_string(i + 1) +
                ",\"name\":" + jsonString(shownName(entry.name)) +
                ",\"score\":" + std::to_string(entry.score) + ",\"verified\":" +
                (entry.replayId == 0 ? "false"
                                     : "true,\"replay\":\"" + replayPath(entry.replayId) + "\"") +
                "}";
    }
    return json + "]\n";
}
