// ALSA reports a missing sound card on stderr, line after line, before SDL gives up on it.
#pragma once

// Routes ALSA's error messages to nowhere, if ALSA is present at all.
void silenceAlsaErrors();
