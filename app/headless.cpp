// The scripted headless run (see headless.h): events go through HandleEvent exactly as the
// window's own would, so the run exercises the game's real paths.
#include "app/headless.h"

#include <cstdlib>

#include "app/game.h"
#include "platform/platform.h"

namespace {

long PositiveFromEnvironment(const char* name) {
  const char* text = std::getenv(name);
  if (!text) return 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  return (end != text && *end == '\0' && value > 0) ? value : 0;
}

void Send(platform::Event::Type type, int key = 0) {
  platform::Event event;
  event.type = type;
  event.key = key;
  event.button = platform::MouseButton::Left;
  HandleEvent(event);
}

}  // namespace

HeadlessScript HeadlessScriptFromEnvironment() {
  HeadlessScript script;
  script.frameLimit = PositiveFromEnvironment("KORVALIS_FRAMES");
  script.fireEvery = PositiveFromEnvironment("KORVALIS_FIRE_EVERY");
  return script;
}

void HeadlessWindowSize(int* width, int* height) {
  const char* text = std::getenv("KORVALIS_WINDOW");
  if (!text) return;
  char* end = nullptr;
  const long w = std::strtol(text, &end, 10);
  if (end == text || *end != 'x') return;
  const char* second = end + 1;
  const long h = std::strtol(second, &end, 10);
  if (end == second || *end != '\0' || w < 1 || h < 1 || w > 8192 || h > 8192) return;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
}

void AfterHeadlessFrame(HeadlessScript* script) {
  ++script->frames;
  if (script->fireEvery > 0 && script->frames % script->fireEvery == 0) {
    using platform::Event;
    // Every toggle comes round twice per cycle, so the game ends a cycle as it began.
    switch (script->step++ % 16) {
      case 0: Send(Event::KeyDown, platform::Key1); break;
      case 2: Send(Event::KeyDown, platform::Key2); break;
      case 4: case 12: Send(Event::KeyDown, platform::KeyF4); break;     // information text
      case 6: case 14: Send(Event::KeyDown, platform::KeyF5); break;     // waypoint graph
      case 8: case 10: Send(Event::KeyDown, platform::KeyN); break;      // night vision
      case 9: case 11: Send(Event::KeyDown, platform::KeyF11); break;    // slow motion
      default: Send(Event::MouseDown); break;                            // fire
    }
  }
  if (script->frameLimit > 0 && script->frames == script->frameLimit) Send(platform::Event::CloseRequest);
}
