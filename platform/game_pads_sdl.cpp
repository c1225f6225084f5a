// Game pads (see game_pads_sdl.h).
#include "platform/game_pads_sdl.h"

#include <cmath>
#include <cstdio>

namespace {

// Sticks rest a little off centre: within this share of full travel they count as centred,
// and travel beyond it is stretched to cover 0 .. 1 again.
constexpr float StickDeadZone = 0.24f;
// A trigger is pressed once pulled past half way and let go below a third.
constexpr Sint16 TriggerPress = 16384, TriggerRelease = 10923;

bool PadButtonFromSdl(Uint8 button, platform::PadButton* out) {
  using platform::PadButton;
  switch (button) {
    case SDL_CONTROLLER_BUTTON_A: *out = PadButton::A; return true;
    case SDL_CONTROLLER_BUTTON_B: *out = PadButton::B; return true;
    case SDL_CONTROLLER_BUTTON_X: *out = PadButton::X; return true;
    case SDL_CONTROLLER_BUTTON_Y: *out = PadButton::Y; return true;
    case SDL_CONTROLLER_BUTTON_BACK: *out = PadButton::Back; return true;
    case SDL_CONTROLLER_BUTTON_START: *out = PadButton::Start; return true;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK: *out = PadButton::LeftStick; return true;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK: *out = PadButton::RightStick; return true;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: *out = PadButton::LeftShoulder; return true;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: *out = PadButton::RightShoulder; return true;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: *out = PadButton::DpadUp; return true;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: *out = PadButton::DpadDown; return true;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: *out = PadButton::DpadLeft; return true;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: *out = PadButton::DpadRight; return true;
    default: return false;  // the guide button and the extras some pads have
  }
}

// One stick's two axes with the dead zone applied around the centre (not per axis, so a
// diagonal push keeps its direction).
void ReadStick(SDL_GameController* controller, SDL_GameControllerAxis xAxis,
               SDL_GameControllerAxis yAxis, float* x, float* y) {
  const float rawX = SDL_GameControllerGetAxis(controller, xAxis) / 32767.0f;
  const float rawY = SDL_GameControllerGetAxis(controller, yAxis) / 32767.0f;
  const float length = std::sqrt(rawX * rawX + rawY * rawY);
  if (length <= StickDeadZone) return;
  const float scale = std::fmin(1.0f, (length - StickDeadZone) / (1.0f - StickDeadZone)) / length;
  *x += rawX * scale;
  *y += rawY * scale;
}

float Clamp1(float v) { return std::fmax(-1.0f, std::fmin(1.0f, v)); }

}  // namespace

void GamePadsSdl::Start() {
  if (started_) return;
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    std::fprintf(stderr, "Game pads: not available (%s)\n", SDL_GetError());
    return;
  }
  started_ = true;
}

void GamePadsSdl::Stop() {
  for (Pad& pad : pads_) SDL_GameControllerClose(pad.controller);
  pads_.clear();
  if (started_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  started_ = false;
}

GamePadsSdl::Pad* GamePadsSdl::Find(SDL_JoystickID id) {
  for (Pad& pad : pads_)
    if (pad.id == id) return &pad;
  return nullptr;
}

bool GamePadsSdl::HandleEvent(const SDL_Event& e, platform::Event* out) {
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED: {
      // `which` is a device index here; a pad already open is not opened twice.
      if (Find(SDL_JoystickGetDeviceInstanceID(e.cdevice.which))) return false;
      Pad pad;
      pad.controller = SDL_GameControllerOpen(e.cdevice.which);
      if (!pad.controller) {
        std::fprintf(stderr, "Game pad: cannot open it (%s)\n", SDL_GetError());
        return false;
      }
      pad.id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad.controller));
      pads_.push_back(pad);
      const char* name = SDL_GameControllerName(pad.controller);
      std::printf("Game pad connected: %s\n", name ? name : "unnamed");
      std::fflush(stdout);
      return false;
    }
    case SDL_CONTROLLERDEVICEREMOVED:
      // `which` is the instance id here.
      for (size_t i = 0; i < pads_.size(); ++i) {
        if (pads_[i].id != e.cdevice.which) continue;
        const char* name = SDL_GameControllerName(pads_[i].controller);
        std::printf("Game pad disconnected: %s\n", name ? name : "unnamed");
        std::fflush(stdout);
        SDL_GameControllerClose(pads_[i].controller);
        pads_.erase(pads_.begin() + i);
        break;
      }
      return false;
    case SDL_CONTROLLERBUTTONDOWN:
      if (!Find(e.cbutton.which) || !PadButtonFromSdl(e.cbutton.button, &out->padButton)) return false;
      out->type = platform::Event::PadDown;
      return true;
    case SDL_CONTROLLERAXISMOTION: {
      Pad* pad = Find(e.caxis.which);
      if (!pad) return false;
      bool* down = nullptr;
      platform::PadButton button = platform::PadButton::LeftTrigger;
      if (e.caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT) {
        down = &pad->leftTriggerDown;
        button = platform::PadButton::LeftTrigger;
      } else if (e.caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT) {
        down = &pad->rightTriggerDown;
        button = platform::PadButton::RightTrigger;
      } else {
        return false;  // the sticks are read when the camera asks
      }
      if (*down) {
        if (e.caxis.value < TriggerRelease) *down = false;
        return false;
      }
      if (e.caxis.value < TriggerPress) return false;
      *down = true;
      out->type = platform::Event::PadDown;
      out->padButton = button;
      return true;
    }
    default:
      return false;
  }
}

platform::PadSticks GamePadsSdl::Sticks() const {
  platform::PadSticks sticks;
  for (const Pad& pad : pads_) {
    ReadStick(pad.controller, SDL_CONTROLLER_AXIS_LEFTX, SDL_CONTROLLER_AXIS_LEFTY, &sticks.leftX, &sticks.leftY);
    ReadStick(pad.controller, SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY, &sticks.rightX, &sticks.rightY);
  }
  sticks.leftX = Clamp1(sticks.leftX);
  sticks.leftY = Clamp1(sticks.leftY);
  sticks.rightX = Clamp1(sticks.rightX);
  sticks.rightY = Clamp1(sticks.rightY);
  return sticks;
}
