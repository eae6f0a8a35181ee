// Writes the game's data files. Each returns false, and names the file on stderr, when a
// file cannot be written.
#pragma once

#include <string>
#include <vector>

// Every picture the game loads, plus the desktop icons (PNG at each theme size and SVG)
// under `dataDir`/icons.
bool writeImages(const std::string& dataDir);
// The blip sample, into `dataDir`.
bool writeSoundEffects(const std::string& dataDir);
// The three tracks as WAV files named <track>.wav into `wavDir`, for the MP3 encoder.
bool writeMusicWavs(const std::string& wavDir);

// File names of the pictures and icons writeImages makes, relative to the data directory.
std::vector<std::string> imageFileNames();
