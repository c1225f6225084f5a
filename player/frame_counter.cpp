// The frame-rate counter: measures the time between frames for all time-scaled movement
// and writes the frames of each whole second into the window title.
#include <cstdio>

#include "player/frame_counter.h"

#include "core/game_state.h"
#include "platform/platform.h"

void UpdateFrameRate() {
  FrameCounter& c = gFrameCounter;
  // Raw times stay integer milliseconds; only differences become float seconds.
  const uint32_t now = platform::Ticks();
  c.frameInterval = static_cast<float>(now - c.lastTime) * 0.001f;
  c.lastTime = now;
  c.framesThisSecond += 1;
  // The first run writes the title at once (count 1); after that once a second.
  if (c.lastFrameCount == 0 || now - c.lastSecond > 1000) {
    c.lastSecond = now;
    c.lastFrameCount = static_cast<int>(c.framesThisSecond);
    std::snprintf(c.title, sizeof c.title, "Current Frames Per Second: %d", c.lastFrameCount);
    platform::Current().SetTitle(c.title);
    c.framesThisSecond = 0;
  }
}
