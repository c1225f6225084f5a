// Models hung at each other's tags, the frames a clip may show, and how far a model reaches.
#pragma once
#include <cstdint>

#include "core/character.h"

// Hangs child at the parent's first tag named tagName (case ignored); without such a tag
// nothing happens.
void AttachAtTag(Md3Model* parent, Md3Model* child, const char* tagName);

// The frames a clip may show on a model: [*start, *end) inside the model's frames, at least
// one frame long. A clip that runs past the model's frames is cut at its last frame; one
// that starts past them holds the model's last frame; one with no frames holds its start.
void ClipFrameRange(const Md3Model& model, int32_t* start, int32_t* end);

// How far from its origin a model and the models hung at its tags reach in any frame (tags
// turn their children but keep distances), in the model's units; 0 for an empty model.
float ModelReach(const Md3Model& model);
