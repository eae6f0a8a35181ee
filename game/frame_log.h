// Optional frame timing log for pacing measurements: ORBELLE_FRAME_LOG=<file> appends one line
// per drawn frame with the monotonic time in microseconds; the first frame's line ends in
// " first". Off (and free) when the variable is unset.
#pragma once

void openFrameLog();
void logFrame();
