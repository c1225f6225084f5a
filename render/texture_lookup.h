// Finding the image file of a picture name as other tools write them (without an extension,
// or with ".tga" where only the ".jpg" exists and the other way round), making a texture of
// it without any message box, and the checker picture that stands in for a missing one.
#pragma once
#include <string>

#include "render/texture.h"

// The data file (through platform/files.h) holding the picture called `name`:
//  - a name ending in ".jpg", ".jpeg" or ".tga" (any case): itself when it exists, else the
//    same base with the other kind (".tga" for a JPEG name, ".jpg" for a Targa name);
//  - any other name: name + ".jpg", else name + ".tga" (JPEG wins when both exist).
// Empty when none exists.
std::string FindImageFile(const std::string& name);

// Decodes an image file by its ending (".jpg"/".jpeg" or ".tga", any case) within the
// texture limits. Never shows a box: false with the reason in *error.
// BottomFirst (for level surfaces and skies): rows bottom first whatever the file stores
// (JPEG and top-first Targa pictures are turned over). AsStored: the file's own order, as
// CreateTexture keeps it (character skins).
enum class RowOrder { BottomFirst, AsStored };
bool DecodeImageFile(const std::string& fileName, ImageData* image, std::string* error,
                     RowOrder order = RowOrder::BottomFirst);

// Makes a mipmapped texture from an image file, choosing the decoder by the file's ending
// (".jpg"/".jpeg" or ".tga", any case). Never shows a box: false with the reason in *error
// when the file cannot be read or decoded; the reference is then untouched.
bool CreateTextureQuietly(Texture& texture, const std::string& fileName, std::string* error,
                          RowOrder order = RowOrder::BottomFirst);

// A 64 x 64 mipmapped texture of 8-texel squares, magenta and black: what a surface whose
// picture is missing shows, so the gap is plain to see.
constexpr int CheckerSide = 64;
constexpr int CheckerSquare = 8;
bool CreateCheckerTexture(Texture& texture);
