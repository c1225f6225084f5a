// Shader scripts (scripts/*.shader): the few things a level's surface names take from them.
// A script holds entries `NAME { keywords... { stage... } ... }`. Of those, the drawing uses
// which picture stands for the name, how that picture is blended, and whether the surface is
// never drawn or is sky (with the six pictures of its sky box). Every other keyword is read
// past without complaint.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// How a surface's picture meets what is behind it.
enum class SurfaceBlend : uint8_t {
  Opaque,    // replaces it (also every blend the drawing does not know)
  Additive,  // `blendFunc add` or `GL_ONE GL_ONE`: added to it
  Alpha,     // `blendFunc blend` or `GL_SRC_ALPHA GL_ONE_MINUS_SRC_ALPHA`: mixed by alpha
};

struct ShaderEntry {
  std::string name;     // lower case, '/'-separated (files::NormalName)
  // The picture for the name: the map of the first stage that maps an image (not $lightmap,
  // $whiteimage or another $ name), else the first frame of the first animMap, else the
  // qer_editorimage; empty when the entry names none. As written in the script.
  std::string picture;
  SurfaceBlend blend = SurfaceBlend::Opaque;  // of the stage that gave the picture
  bool nodraw = false;  // surfaceparm nodraw: never drawn
  bool sky = false;     // surfaceparm sky: a view into the sky
  // skyParms' far box: the pictures are skyBox + "_rt", "_bk", "_lf", "_ft", "_up", "_dn".
  // Empty when the entry has none, or writes "-".
  std::string skyBox;
};

// Limits that keep a hostile script cheap: longer tokens are cut, deeper nesting and larger
// files are refused.
constexpr size_t MaxShaderScriptBytes = size_t{8} << 20;
constexpr size_t MaxShaderTokenLength = 1024;
constexpr int MaxShaderNesting = 16;

// Reads the entries of one script in the order written. False, with the reason, when the
// braces do not balance or nest too deep; the entries completed before the fault are kept.
bool ParseShaderScript(std::string_view text, std::vector<ShaderEntry>* entries, std::string* error);

// Every entry of the scripts, by name. When two entries share a name the first one read
// (scripts in name order) stays.
struct ShaderLibrary {
  std::unordered_map<std::string, ShaderEntry> entries;
  // The entry for a surface name (any case, '/' or '\'), or null.
  const ShaderEntry* Find(const std::string& name) const;
  void Add(ShaderEntry entry);
};

// Reads scripts/*.shader through the data search path. A script that cannot be read, or that
// is malformed, gives one line on stderr; a malformed one still gives the entries before the
// fault.
ShaderLibrary LoadShaderLibrary();
