// The bitmap font (FreeType glyphs compiled into display lists), text placed at pixel
// positions, and the switch between the 3D projection and screen space.
#include "render/text.h"

#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/game_state.h"
#include "platform/platform.h"
#include "render/texture_units.h"

namespace {

constexpr const char* FontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int FontListCount = 256;
constexpr int EmptyCharacter = 255;  // its list stays empty, so it draws nothing

// Windows-1252 codes 128..159 as Unicode; 0 where the code page leaves the slot unused.
constexpr uint16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Unicode character for a Windows-1252 code, 0 for control codes and unused slots.
uint32_t CodeToUnicode(int code) {
  if (code < 32 || code == 127) return 0;
  if (code >= 128 && code < 160) return Cp1252High[code - 128];
  return static_cast<uint32_t>(code);  // ASCII and Latin-1 share their numbers
}

// Compiles one glyph: a glBitmap that draws it and moves the raster position on.
// A character the font cannot render becomes a list that neither draws nor moves.
void CompileGlyph(FT_Face face, uint32_t list, uint32_t unicode) {
  glNewList(list, GL_COMPILE);
  if (unicode != 0 && FT_Load_Char(face, unicode, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
    const FT_GlyphSlot glyph = face->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    const int rows = static_cast<int>(bitmap.rows);
    const int width = static_cast<int>(bitmap.width);
    const int pitch = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    // glBitmap wants the bottom row first; FreeType gives the top row first.
    std::vector<GLubyte> bits(static_cast<size_t>(pitch) * rows);
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO && bitmap.buffer) {
      for (int row = 0; row < rows; ++row) {
        const unsigned char* source =
            bitmap.pitch < 0 ? bitmap.buffer + static_cast<size_t>(rows - 1 - row) * pitch
                             : bitmap.buffer + static_cast<size_t>(row) * pitch;
        std::memcpy(&bits[static_cast<size_t>(rows - 1 - row) * pitch], source, pitch);
      }
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch * 8);
    glBitmap(width, rows, static_cast<float>(-glyph->bitmap_left),
             static_cast<float>(rows - glyph->bitmap_top),
             static_cast<float>(glyph->advance.x) / 64.0f, 0.0f, bits.empty() ? nullptr : bits.data());
  }
  glEndList();
}

}  // namespace

uint32_t CreateBitmapFont(const char* /*face: the system font file is used*/, int height) {
  const uint32_t base = glGenLists(FontListCount);
  if (base == 0) return 0;
  // Every list exists and is empty until a glyph is compiled into it.
  for (int code = 0; code < FontListCount; ++code) {
    glNewList(base + code, GL_COMPILE);
    glEndList();
  }

  FT_Library library = nullptr;
  FT_Face face = nullptr;
  // Without the font the game still runs, but the player is told why no text shows.
  if (FT_Init_FreeType(&library) != 0) {
    platform::ShowError("Font: FreeType could not start; text will not be drawn");
    return base;
  }
  if (FT_New_Face(library, FontFile, 0, &face) != 0) {
    char text[256];
    std::snprintf(text, sizeof text, "Font: cannot open %s; text will not be drawn", FontFile);
    platform::ShowError(text);
    FT_Done_FreeType(library);
    return base;
  }
  // `height` is the character cell (ascender plus descender), as a Windows font height is.
  FT_Size_RequestRec request = {};
  request.type = FT_SIZE_REQUEST_TYPE_CELL;
  request.height = static_cast<FT_Long>(height) * 64;
  if (FT_Request_Size(face, &request) != 0) FT_Set_Pixel_Sizes(face, 0, height);

  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  for (int code = 0; code < FontListCount; ++code) {
    if (code == EmptyCharacter) continue;
    CompileGlyph(face, base + code, CodeToUnicode(code));
  }
  glPopClientAttrib();

  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return base;
}

void PositionText(int x, int y) {
  glPushAttrib(GL_TRANSFORM_BIT | GL_VIEWPORT_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  // An empty viewport whose corner is the wanted pixel: the raster position (0, 0) lands on
  // window pixel (x - 1, 742 - y), counted from the bottom-left corner. It lies on the near
  // plane (depth 0), so nothing drawn later in the frame can hide the text behind a wall.
  glViewport(x - 1, 742 - y, 0, 0);
  glRasterPos4f(0, 0, -1, 1);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopAttrib();
}

void PrintText(int x, int y, const char* format, ...) {
  glDisable(GL_TEXTURE_2D);
  if (!format) return;
  char text[256];
  va_list args;
  va_start(args, format);
  int written = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (written < 0) {  // an encoding error: nothing sensible to draw
    glEnable(GL_TEXTURE_2D);
    return;
  }
  const size_t length = std::strlen(text);

  PositionText(x, y);
  glPushAttrib(GL_LIST_BIT | GL_ENABLE_BIT);
  DisableTexturingOnEveryUnit();  // glyphs take the plain current colour
  glListBase(gGame.fontListBase);
  glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, text);
  glPopAttrib();
  glEnable(GL_TEXTURE_2D);
}

void OrthoMode(int left, int top, int right, int bottom) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(left, right, bottom, top, 0, 1);
}

void PerspectiveMode() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}
