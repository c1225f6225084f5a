// Game pads through SDL's game-controller interface, for the SDL backend: pads are opened as
// they are plugged in (those present at start arrive the same way) and closed as they go,
// their buttons and trigger pulls become PadDown events, and their sticks are read on demand.
#pragma once
#include <SDL.h>

#include <vector>

#include "platform/platform.h"

class GamePadsSdl {
 public:
  // Starts SDL's game-controller subsystem; without it (no joystick support) the game simply
  // has no pads. Says so once on standard error.
  void Start();
  // Closes every pad and the subsystem.
  void Stop();
  // Handles the pad events among SDL's (plugging, buttons, triggers); true with `out` set
  // when one is a press the game hears of, false for everything else.
  bool HandleEvent(const SDL_Event& event, platform::Event* out);
  platform::PadSticks Sticks() const;

 private:
  struct Pad {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
    bool leftTriggerDown = false, rightTriggerDown = false;
  };
  Pad* Find(SDL_JoystickID id);

  bool started_ = false;
  std::vector<Pad> pads_;
};
