// How the score folder's files are read and written: never waiting on anything but a regular
// file, never replacing anything else, and replacing a file only whole, through a fresh file
// beside it renamed over it, so that a crash, a full disk or a failed write leaves the old one.
#pragma once

#include <cstddef>
#include <string>

// The folder part of path with its trailing slash; empty for a bare file name.
std::string folderOf(const std::string& path);
// The file a link points to, through every link on the way; a path that is no link is its own.
std::string saveTarget(const char* path);
// Something at path that is not a regular file (a folder, a FIFO, a device).
bool isSomethingElse(const std::string& path);
// A read-only descriptor of path when it is a regular file, opened without waiting; else -1.
int openRegularFile(const char* path);
// Reads until size bytes or the end; the number read.
size_t readUpTo(int fd, unsigned char* bytes, size_t size);
// Saves in one folder wait for each other while this is held (close it to let go); -1 where
// there is no lock to be had.
int lockFolderOf(const std::string& path);
// Removes what killed saves of path left beside it (the temp files nobody holds).
void removeLeftoverTemps(const std::string& path);
// The file a temp file of this name was made for; empty when the name is none of a temp file.
std::string targetOfTemp(const std::string& name);
// Writes target whole or not at all (the previous contents stay), keeping its mode. Where no
// file can be made beside it, target itself is rewritten if rewriteWithoutTemp, else nothing
// is written. False when the file could not be written.
bool writeFileSafely(const std::string& target, const unsigned char* bytes, size_t size,
                     bool rewriteWithoutTemp);
