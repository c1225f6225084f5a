// Switching texturing off on every texture unit, for plain-coloured drawing over the level.
#pragma once

// Untextured means untextured on every unit: the level leaves its lightmap unit on, and
// plain-coloured fragments (glyphs, markers, lines) would otherwise be tinted by whatever
// texels their texture coordinates pick. Leaves the active unit as it was; callers that
// want texturing back push and pop GL_ENABLE_BIT around it.
void DisableTexturingOnEveryUnit();
