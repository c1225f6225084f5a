// Shader scripts (scripts/*.shader): the few things a level's surface names take from them.
// A script holds entries `NAME { keywords... { stage... } ... }`. Of those, the drawing uses
// which picture stands for the name, how that picture is blended, alpha-tested and wrapped,
// whether both sides of the surface are seen, and whether it is never drawn or is sky (with
// the six pictures of its sky box). Every other keyword is read
// past without complaint.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/shader_entry.h"

// Limits that keep a hostile script cheap: longer tokens are cut, deeper nesting and larger
// files are refused.
constexpr size_t MaxShaderScriptBytes = size_t{8} << 20;
constexpr size_t MaxShaderTokenLength = 1024;
constexpr int MaxShaderNesting = 16;
constexpr size_t MaxShaderStages = 8;       // stages past these are read and dropped
constexpr size_t MaxTexMods = 8;            // per stage
constexpr size_t MaxAnimationFrames = 16;   // per animMap

// Reads the entries of one script in the order written. False, with the reason, when the
// braces do not balance or nest too deep; the entries completed before the fault are kept.
bool ParseShaderScript(std::string_view text, std::vector<ShaderEntry>* entries, std::string* error);

// Reads scripts/*.shader through the data search path. A script that cannot be read, or that
// is malformed, gives one line on stderr; a malformed one still gives the entries before the
// fault.
ShaderLibrary LoadShaderLibrary();
