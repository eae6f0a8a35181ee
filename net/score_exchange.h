#pragma once

#include <string>

// 1 on success, -1 when the server does not answer, -2 when internet scores are off.
int downloadInternetScores();
// -1 when the server does not answer the probe, -2 when internet scores are off; otherwise
// non-zero when the tenth upload was answered.
int uploadLocalScores();
// The score server's host (and port): ORBELLE_SCORE_SERVER when set, else the one chosen in
// the settings, else the one built in.
const char* scoreServerHost();
// The settings' choice of server; empty for none.
void chooseScoreServer(const std::string& hostAndPort);
// A host name, an IPv4 address or an IPv6 one in brackets, optionally ":" and a port from 1 to
// 65535: nothing that could change the meaning of the URL it is put into.
bool isScoreServerAddress(const std::string& text);
// A text made safe for a URL query value: every byte but letters, digits, "-", ".", "_" and
// "~" becomes %XX with upper-case hex digits.
std::string encodeQueryValue(const std::string& text);
