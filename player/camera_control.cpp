// The player's camera: mouse look with a vertical limit, keyboard walking, strafing and
// flying at a speed scaled by the measured frame time (the game pad's sticks in
// pad_control.cpp), and the view transform.
#include "core/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "core/game_state.h"
#include "platform/platform.h"
#include "player/frame_counter.h"
#include "player/pad_control.h"

void Camera::PositionCamera(float positionX, float positionY, float positionZ, float viewX,
                            float viewY, float viewZ, float upX, float upY, float upZ) {
  position = Vec3(positionX, positionY, positionZ);
  view = Vec3(viewX, viewY, viewZ);
  up = Vec3(upX, upY, upZ);
}

void Camera::UpdateCamera() {
  UpdateFrameRate();
  frameRate = gFrameCounter.lastFrameCount;
  strafe = Normalize(Cross(view - position, up));
  SetViewByMouse();
  CheckKeyboard();
  MoveByPad(*this, platform::Current().GetPadSticks(), gFrameCounter.frameInterval);
}

void Camera::SetViewByMouse() {
  // The cursor is held at the centre of the game window (wherever the window is) and
  // every frame's offset from there turns the view.
  platform::Backend& p = platform::Current();
  int width = 0, height = 0;
  p.GetClientSize(&width, &height);
  const int centreX = width / 2, centreY = height / 2;
  int x = 0, y = 0;
  p.GetMouse(&x, &y);
  if (x == centreX && y == centreY) return;
  p.SetMouse(centreX, centreY);

  const float angleY = static_cast<float>(centreX - x) / MouseDivisor;
  float angleZ = static_cast<float>(centreY - y) / MouseDivisor;
  if (mouseLook.invertMouse) angleZ = -angleZ;

  // NOTE: at the limit the whole move is dropped, the horizontal turn as well.
  mouseLook.verticalAngle -= angleZ;
  if (mouseLook.verticalAngle > 1.0f) {
    mouseLook.verticalAngle = 1.0f;
    return;
  }
  if (mouseLook.verticalAngle < -1.0f) {
    mouseLook.verticalAngle = -1.0f;
    return;
  }

  Vec3 axis = Normalize(Cross(view - position, up));
  RotateView(angleZ, axis.x, axis.y, axis.z);  // mouse up looks up
  RotateView(angleY, 0, 1, 0);                 // mouse left turns left
}

void Camera::RotateView(float angle, float x, float y, float z) {
  const Vec3 v = view - position;
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  const float t = 1 - c;
  Vec3 n;
  n.x = (c + t * x * x) * v.x + (t * x * y - z * s) * v.y + (t * x * z + y * s) * v.z;
  n.y = (t * x * y + z * s) * v.x + (c + t * y * y) * v.y + (t * y * z - x * s) * v.z;
  n.z = (t * x * z - y * s) * v.x + (t * y * z + x * s) * v.y + (c + t * z * z) * v.z;
  view = position + n;
}

void Camera::MoveCamera(float speed) {
  // Horizontal only: looking up or down slows walking by the cosine of the pitch.
  const Vec3 v = Normalize(view - position);
  position.x += v.x * speed;
  position.z += v.z * speed;
  view.x += v.x * speed;
  view.z += v.z * speed;
}

void Camera::StrafeCamera(float speed) {
  position.x += strafe.x * speed;
  position.z += strafe.z * speed;
  view.x += strafe.x * speed;
  view.z += strafe.z * speed;
}

void Camera::LiftCamera(float speed) {
  position.y += speed;
  view.y += speed;
}

void Camera::CheckKeyboard() {
  const float speed = CameraSpeed * gFrameCounter.frameInterval;
  moveStartPosition = position;
  moveStartView = view;

  // Every held key applies; twins add up and opposites cancel.
  platform::Backend& p = platform::Current();
  using namespace platform;
  if (p.KeyHeld(KeyUp)) MoveCamera(speed);
  if (p.KeyHeld(KeyDown)) MoveCamera(-speed);
  if (p.KeyHeld(KeyLeft)) StrafeCamera(-speed);
  if (p.KeyHeld(KeyRight)) StrafeCamera(speed);
  if (p.KeyHeld(KeyW)) MoveCamera(speed);
  if (p.KeyHeld(KeyS)) MoveCamera(-speed);
  if (p.KeyHeld(KeyA)) StrafeCamera(-speed);
  if (p.KeyHeld(KeyD)) StrafeCamera(speed);
  if (p.KeyHeld(KeyHome)) LiftCamera(speed);
  if (p.KeyHeld(KeyEnd)) LiftCamera(-speed);
}

void Camera::MoveTo(float x, float y, float z) {
  // The view point keeps the offset from the eye it had before the move.
  position = Vec3(x, y, z);
  view = moveStartView + (position - moveStartPosition);
}

void Camera::ApplyGravity() {
  moveStartPosition = position;
  moveStartView = view;
  LiftCamera(-CameraSpeed * gFrameCounter.frameInterval);
}

void Camera::SetInvertMouse(bool invert) { mouseLook.invertMouse = invert; }

void Camera::Look() const {
  gluLookAt(position.x, position.y, position.z, view.x, view.y, view.z, up.x, up.y, up.z);
}
