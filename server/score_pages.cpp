#include "server/score_pages.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace {
const char* const replacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at text[at], or 0: no overlong forms, no
// surrogates, nothing above U+10FFFF.
size_t utf8SequenceLength(const std::string& text, size_t at) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    unsigned char second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
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

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : repairedUtf8(text)) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* const pageHead =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<title>Orbelle high scores</title>\n<style>\n"
    "body{margin:0;padding:1em;font-family:sans-serif;background:#0b2a45;color:#eef6ff}\n"
    "main{max-width:36em;margin:0 auto}\nh1{font-size:1.6em;text-align:center}\n"
    "table{width:100%;border-collapse:collapse}\n"
    "th,td{padding:.4em .6em;border-bottom:1px solid #2d5578;text-align:left}\n"
    "td:first-child,td:last-child,th:first-child,th:last-child{text-align:right}\n"
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

std::string repairedUtf8(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            out += replacement;
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
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
        page += "<table>\n<thead><tr><th>Rank</th><th>Name</th><th>Score</th></tr></thead>\n"
                "<tbody>\n";
        for (size_t i = 0; i < scores.size(); ++i)
            page += "<tr><td>" + std::to_string(i + 1) + "</td><td>" +
                    htmlEscaped(repairedUtf8(scores[i].name)) + "</td><td>" +
                    std::to_string(scores[i].score) + "</td></tr>\n";
        page += "</tbody>\n</table>\n";
    }
    return page + "</main>\n<footer>" + htmlEscaped(repairedUtf8(footer)) +
           "</footer>\n</body>\n</html>\n";
}

std::string scoresJson(const std::vector<RankedScore>& scores) {
    std::string json = "[";
    for (size_t i = 0; i < scores.size(); ++i)
        json += std::string(i ? "," : "") + "{\"rank\":" + std::to_string(i + 1) +
                ",\"name\":" + jsonString(scores[i].name) +
                ",\"score\":" + std::to_string(scores[i].score) + "}";
    return json + "]\n";
}
