// The player's eye: position, view point and up vector, moved by the mouse and the keys.
#pragma once
#include "core/vec3.h"

class Camera {
 public:
  void PositionCamera(float positionX, float positionY, float positionZ, float viewX, float viewY,
                      float viewZ, float upX, float upY, float upZ);
  Vec3 Position() const { return position; }

  void UpdateCamera();      // frame counter, strafe axis, mouse look, keyboard
  void SetViewByMouse();
  void RotateView(float angle, float x, float y, float z);
  void MoveCamera(float speed);
  void StrafeCamera(float speed);
  void LiftCamera(float speed);
  void CheckKeyboard();
  void MoveTo(float x, float y, float z);
  void ApplyGravity();
  void SetInvertMouse(bool invert);
  void Look() const;        // gluLookAt from position to view

  Vec3 moveStartPosition;   // position before the latest keyboard or gravity move
  Vec3 moveStartView;       // view before that move
  int frameRate = 0;        // last whole-second frame count
  Vec3 position;            // eye, level units
  Vec3 view{0, 1, 0.5f};    // point looked at
  Vec3 up{0, 0, 1};
  Vec3 strafe;              // unit right vector
};

// Camera-wide mouse state.
struct MouseLookState {
  bool invertMouse = false;   // F12
  float verticalAngle = 0;    // radians, held within -1 .. 1
};
extern MouseLookState mouseLook;

constexpr float CameraSpeed = 256.0f;        // level units per second
constexpr float MouseDivisor = 500.0f;       // pixels per radian
