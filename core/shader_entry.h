// What the shader scripts say about a surface name: its picture, how it is blended, tested
// and wrapped, whether both sides are seen, and whether it is never drawn or is sky. The
// level keeps these records; level/shader_script.h reads them.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

// How a surface's picture meets what is behind it.
enum class SurfaceBlend : uint8_t {
  Opaque,    // replaces it (also every blend the drawing does not know)
  Additive,  // `blendFunc add` or `GL_ONE GL_ONE`: added to it
  Alpha,     // `blendFunc blend` or `GL_SRC_ALPHA GL_ONE_MINUS_SRC_ALPHA`: mixed by alpha
  Filter,    // `blendFunc filter`, `GL_DST_COLOR GL_ZERO` or `GL_ZERO GL_SRC_COLOR`: multiplies it
};

// Which texels of a surface's picture are drawn at all (`alphaFunc`), by their alpha.
enum class AlphaTest : uint8_t {
  None,   // every texel
  GT0,    // alpha above 0
  LT128,  // alpha below one half
  GE128,  // alpha of one half or more
};

struct ShaderEntry {
  std::string name;     // lower case, '/'-separated (files::NormalName)
  // The picture for the name: the map of the first stage that maps an image (not $lightmap,
  // $whiteimage or another $ name), else the first frame of the first animMap, else the
  // qer_editorimage; empty when the entry names none. As written in the script.
  std::string picture;
  SurfaceBlend blend = SurfaceBlend::Opaque;  // of the stage that gave the picture
  AlphaTest alphaTest = AlphaTest::None;      // of the stage that gave the picture
  bool clamp = false;     // the picture came from clampMap: not repeated past its edges
  bool twoSided = false;  // cull none, twosided or disable: seen from both sides
  bool nodraw = false;  // surfaceparm nodraw: never drawn
  bool sky = false;     // surfaceparm sky: a view into the sky
  // skyParms' far box: the pictures are skyBox + "_rt", "_bk", "_lf", "_ft", "_up", "_dn".
  // Empty when the entry has none, or writes "-".
  std::string skyBox;
};

// Every entry of the scripts, by name. When two entries share a name the first one read
// (scripts in name order) stays.
struct ShaderLibrary {
  std::unordered_map<std::string, ShaderEntry> entries;
  // The entry for a surface name (any case, '/' or '\'), or null.
  const ShaderEntry* Find(const std::string& name) const;
  void Add(ShaderEntry entry);
};
