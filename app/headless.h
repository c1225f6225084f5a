// Scripted runs of the real game without anybody at the keyboard (memory checks, soak runs):
// environment variables, read once when the window is made and when the loop starts.
//   KORVALIS_FRAMES=n       after n frames the game closes as if its window were closed
//   KORVALIS_FIRE_EVERY=k   every k frames the next step of a fixed script is sent through
//                           the window procedure: weapon 1, fire, weapon 2, fire, and the
//                           diagnostic, night-vision and slow-motion toggles in turn
//   KORVALIS_WINDOW=WxH     the window's size instead of 1024 x 768 (tiny windows let slow
//                           checkers such as valgrind draw hundreds of frames)
// Without them the game runs as usual.
#pragma once

struct HeadlessScript {
  long frameLimit = 0;   // 0: no limit
  long fireEvery = 0;    // 0: no scripted input
  long frames = 0;       // frames run so far
  int step = 0;          // next step of the input script
};

HeadlessScript HeadlessScriptFromEnvironment();
// The window size KORVALIS_WINDOW asks for, when it is set and well formed (each side 1 to
// 8192); otherwise the sizes are left as they are.
void HeadlessWindowSize(int* width, int* height);
// Called after each frame; may hand events to the window procedure.
void AfterHeadlessFrame(HeadlessScript* script);
