#include "player/camera.h"

MouseLookState mouseLook;
