#pragma once

#include <string>

// 1 on success, -1 when the server does not answer, -2 when internet scores are off.
int downloadInternetScores();
// -1 when the server does not answer the probe, -2 when internet scores are off; otherwise
// non-zero when the tenth upload was answered.
int uploadLocalScores();
// The score server's host (and port), from the build option or ORBELLE_SCORE_SERVER.
const char* scoreServerHost();
// A text made safe for a URL query value: every byte but letters, digits, "-", ".", "_" and
// "~" becomes %XX with upper-case hex digits.
std::string encodeQueryValue(const std::string& text);
