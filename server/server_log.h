// The server's messages and access log. Lines go into a bounded buffer that a thread of its
// own writes out, so an event loop never waits for standard error: when nobody reads it (a
// full pipe, a stalled journal), lines that do not fit are dropped and counted, and the count
// is written once the output takes lines again.
#pragma once

#include <cstddef>
#include <string>

// Lines from now on go to fd through a buffer of at most capacity bytes. Until then, and after
// stopServerLog, they are written at once.
void startServerLog(int fd, size_t capacity);
// One whole line, its newline included.
void logLine(const std::string& line);
// The line "orbelle-score-server: TEXT".
void logMessage(const std::string& text);
// Writes what is buffered, waiting for at most waitMillis for the output to take it.
void stopServerLog(int waitMillis);
// True when standard error is the stream that systemd set up for the journal, which stamps
// every line with its time itself (JOURNAL_STREAM names that stream's device and inode).
bool standardErrorIsJournal();
