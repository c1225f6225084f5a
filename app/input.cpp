// The window procedure: key and mouse-button events, resizing and closing turn into changes
// of the game state. Movement keys and mouse look are polled by the camera instead.
#include <GL/gl.h>

#include "app/game.h"
#include "bots/bot.h"
#include "combat/shots.h"
#include "combat/sound.h"
#include "core/game_state.h"
#include "platform/platform.h"

namespace {

constexpr float FogDensityStep = 0.0005f;
constexpr unsigned int TextureUnit1 = 0x84C1;  // GL_TEXTURE1_ARB

void Toggle(bool& flag) { flag = !flag; }

void SetGLFog(bool on) {
  if (on) {
    glEnable(GL_FOG);
  } else {
    glDisable(GL_FOG);
  }
}

void ChangeFogDensity(float step) {
  gGame.fogDensity += step;
  // The unclamped value goes to GL: a negative one is refused there and the previous
  // density stays in force, while the stored value is clamped.
  glFogf(GL_FOG_DENSITY, gGame.fogDensity);
  if (gGame.fogDensity > 1.0f) gGame.fogDensity = 1.0f;
  if (gGame.fogDensity < 0.0f) gGame.fogDensity = 0.0f;
}

void ToggleNightVision() {
  Toggle(gGame.nightVision);
  if (gGame.nightVision) {
    // Remember what night vision switches off.
    gGame.fogBeforeNightVision = gGame.fogOn;
    if (gGame.fogOn) {
      gGame.fogOn = false;
      glDisable(GL_FOG);
    }
    gGame.lightmapsBeforeNightVision = gGame.lightmapsOn;
    gGame.lightmapsOn = false;
  } else {
    if (gGame.fogBeforeNightVision) {
      gGame.fogOn = true;
      glEnable(GL_FOG);
    }
    if (gGame.lightmapsBeforeNightVision) gGame.lightmapsOn = true;
  }
}

void ToggleSlowMotion() {
  Toggle(gGame.slowMotion);
  StopMusic();
  OpenMusic(gGame.slowMotion ? "sound/matrix.mp3" : "sound/background.mp3");
  PlayMusic(MusicVolume);
}

void HandleKey(int key) {
  using namespace platform;
  switch (key) {
    case KeyReturn: Toggle(gGame.hudOn); break;
    case KeyEscape: PostQuit(0); break;
    case KeyInsert: SetBotsRun(); break;
    case KeyDelete: SendBotsToPlayer(); break;
    case KeyPrintScreen: gGame.screenshotRequested = true; break;
    case Key1: gGame.currentWeapon = WeaponRifle; break;
    case Key2: gGame.currentWeapon = WeaponLauncher; break;
    case KeyF:
      Toggle(gGame.fogOn);
      SetGLFog(gGame.fogOn);
      break;
    case KeyN: ToggleNightVision(); break;
    case KeyAdd: ChangeFogDensity(FogDensityStep); break;
    case KeySubtract: ChangeFogDensity(-FogDensityStep); break;
    case KeyF2:
      Toggle(gGame.filledPolygons);
      glPolygonMode(GL_FRONT_AND_BACK, gGame.filledPolygons ? GL_FILL : GL_LINE);
      break;
    case KeyF3:
      Toggle(gGame.additiveBlendOn);
      if (gGame.additiveBlendOn) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
      } else {
        glDisable(GL_BLEND);
      }
      break;
    case KeyF4: Toggle(gGame.infoTextOn); break;
    case KeyF5: Toggle(gGame.waypointGraphOn); break;
    case KeyF6:
      Toggle(gGame.lightmapsOn);
      // Unit 1 carries the lightmaps; it stays the selected unit afterwards.
      if (!gGame.lightmapsOn && gGame.multitexture.activeTexture) {
        gGame.multitexture.activeTexture(TextureUnit1);
        glDisable(GL_TEXTURE_2D);
      }
      break;
    case KeyF7: Toggle(gGame.gravityOn); break;
    case KeyF11: ToggleSlowMotion(); break;
    case KeyF12:
      Toggle(gGame.invertMouse);
      gGame.camera.SetInvertMouse(gGame.invertMouse);
      break;
    default: break;  // keys outside the table do nothing
  }
}

void HandleMouseButton(platform::MouseButton button) {
  switch (button) {
    case platform::MouseButton::Left:
      FireShot(gGame.shotOrigin, gGame.aimDirection, gGame.currentWeapon, PlayerOwner);
      break;
    case platform::MouseButton::Right:
      // A jump in progress is not restarted.
      if (!gGame.jumping) {
        gGame.jumping = true;
        gGame.jumpOffset = 2.0f;
      }
      break;
    case platform::MouseButton::Middle: Toggle(gGame.collisionOn); break;
  }
}

// A game pad's buttons do what the mouse buttons and the most used keys do.
void HandlePadButton(platform::PadButton button) {
  using platform::PadButton;
  using namespace platform;
  switch (button) {
    case PadButton::RightTrigger: HandleMouseButton(MouseButton::Left); break;  // fire
    case PadButton::LeftTrigger: HandleMouseButton(MouseButton::Right); break;  // jump
    case PadButton::LeftShoulder:
    case PadButton::RightShoulder:  // the other weapon
      HandleKey(gGame.currentWeapon == WeaponRifle ? Key2 : Key1);
      break;
    case PadButton::A: HandleKey(KeyN); break;             // night vision
    case PadButton::B: HandleKey(KeyF); break;             // fog
    case PadButton::X: HandleKey(KeyReturn); break;        // weapon overlay
    case PadButton::Y: HandleKey(KeyF11); break;           // slow motion
    case PadButton::Back: HandleKey(KeyDelete); break;     // bots to the player
    case PadButton::Start: HandleKey(KeyInsert); break;    // bots run or walk
    case PadButton::DpadUp: HandleKey(KeyAdd); break;      // thicker fog
    case PadButton::DpadDown: HandleKey(KeySubtract); break;
    case PadButton::DpadLeft: HandleKey(KeyF4); break;     // diagnostic text
    case PadButton::DpadRight: HandleKey(KeyF5); break;    // waypoint graph
    case PadButton::LeftStick:
    case PadButton::RightStick: break;  // pressed by accident too often to mean anything
  }
}

}  // namespace

void HandleEvent(const platform::Event& event) {
  switch (event.type) {
    case platform::Event::KeyDown: HandleKey(event.key); break;
    case platform::Event::MouseDown: HandleMouseButton(event.button); break;
    case platform::Event::PadDown: HandlePadButton(event.padButton); break;
    case platform::Event::CloseRequest: platform::PostQuit(0); break;
    case platform::Event::Resized:
      // Full screen keeps its projection.
      if (!gGame.fullScreen) {
        ResizeView(event.width, event.height);
        int width = 0, height = 0;
        platform::Current().GetClientSize(&width, &height);
        gGame.clientRect = ClientRect{0, 0, width, height};
      }
      break;
    case platform::Event::Quit:
    case platform::Event::None: break;
  }
}
