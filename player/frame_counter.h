// The frame-rate counter the camera runs first thing every frame (see gFrameCounter).
#pragma once

// Measures the time since the previous call into gFrameCounter.frameInterval and writes the
// frames of each whole second into the window title.
void UpdateFrameRate();
