// Levels compiled from level sources by the tests: the compiler's output read back the way
// the game reads a level file.
#pragma once
#include <string>

#include "core/level.h"
#include "tools/levelc/level_compiler.h"

// One worker and no visibility lump: quick for the small sources of the tests.
CompileOptions QuickCompileOptions();

// Writes `data` as a level file and parses it into `level`; false with the loader's reason.
bool LoadCompiled(const BspFileData& data, Level* level, std::string* error);

// Compiles `source` and loads the result into `level`; false with the compiler's or the
// loader's reason.
bool CompileAndLoad(const std::string& source, const CompileOptions& options, Level* level, std::string* error);
