// How the stages of a shader entry move with time, without GL: wave values, texture
// coordinate changes (tcMod), stage colours and alphas, vertex deforms, animation frames, and
// which entries need drawing stage by stage at all.
#pragma once
#include <cstdint>
#include <vector>

#include "core/bsp_format.h"
#include "core/shader_entry.h"

// base + amplitude * function((seconds + phase) * frequency).
float WaveValue(const Wave& wave, double seconds);

// Moves a texture coordinate by the stage's tcMods in the order written, at `seconds`.
// (s, t) are as the level stores them (t turned over on load); `position` (y up) gives turb
// its ripple across the surface.
void MoveTexCoord(const std::vector<TexMod>& mods, double seconds, const float position[3], float st[2]);

// The stage's colour and alpha for a vertex with colour `vertex` (bytes), 0..255 each.
void StageColour(const ShaderStage& stage, double seconds, const uint8_t vertex[4], uint8_t out[4]);

// The frame of an animMap shown at `seconds` (0 for a single picture).
size_t AnimationFrame(const ShaderStage& stage, double seconds);

// Moves the face's vertices along their normals by the deform's wave at `seconds`.
void DeformWave(const VertexDeform& deform, double seconds, BspVertex* vertices, size_t count);
// Turns each quad (four vertices in order) to face the viewer: `right` and `up` are the
// view's axes in the vertices' coordinates.
void DeformAutosprite(const float right[3], const float up[3], BspVertex* vertices, size_t count);

// Whether an entry must be drawn stage by stage: more than a picture and a lightmap, or
// anything that moves. The rest are drawn in one pass, picture times lightmap (or picture
// alone, blended, when the first stage blends).
bool NeedsStages(const ShaderEntry& entry);
