// The GL state the level's extra passes (stages, cloud skies, fog volumes) change: saved at
// their start and put back at their end, and the texture units left as the level uses them.
#pragma once
#include <GL/gl.h>

#include <cstddef>

#include "level/face_arrays.h"

struct SavedDrawState {
  bool blend = false, fog = false, culling = false;
  GLint source = GL_ONE, destination = GL_ZERO, depthFunction = GL_LESS;
  GLboolean depthWrites = GL_TRUE;
  CurrentColour colour;

  void Save();
  // Blend, fog, culling, depth test and writes, and the current colour (the colour array off).
  void Restore() const;
};

// Selects texture unit `unit` (GL_TEXTURE0_ARB + n) for texture state, where there are units.
void ActiveTextureUnit(unsigned int unit);
// The texture units as the level leaves them: surface textures on unit 0 (when textures are
// on), lightmaps on unit 1 (when lightmaps are on, and then unit 1 active).
void LevelTextureUnits();
// Selects client texture unit `unit` (0, 1, ...) for texture coordinate arrays.
void ClientTextureUnit(size_t unit);
// Whether polygons are filled on both sides (not outlined or dotted).
bool PolygonsFilled();
