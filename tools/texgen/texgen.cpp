// texgen: draws the level's materials procedurally and writes each as "<name>.jpg"
// (libjpeg) and "<name>.tga" (uncompressed 24-bit) into the given folder.
//   texgen <output folder>
// The pictures depend only on this code: the same bytes on every run.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int Size = 256;

struct Rgb {
  double r, g, b;
};
Rgb Mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb Scale(Rgb a, double s) { return {a.r * s, a.g * s, a.b * s}; }

uint32_t Hash(int x, int y, int seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               static_cast<uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}
double Rand(int x, int y, int seed) { return (Hash(x, y, seed) & 0xffffff) / double(0xffffff); }

// Tileable value noise with the given period in cells.
double Noise(double x, double y, int period, int seed) {
  int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  double fx = x - x0, fy = y - y0;
  auto at = [&](int i, int j) { return Rand(((i % period) + period) % period, ((j % period) + period) % period, seed); };
  double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
  double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
  return a + (b - a) * sy;
}
// Fractal noise 0..1 over the tile, tileable.
double Fbm(int px, int py, int baseCells, int octaves, int seed) {
  double sum = 0, amp = 0.5, norm = 0;
  int cells = baseCells;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * Noise(px * cells / double(Size), py * cells / double(Size), cells, seed + o);
    norm += amp;
    amp *= 0.5;
    cells *= 2;
  }
  return sum / norm;
}

using Painter = std::function<Rgb(int x, int y)>;

Rgb FloorTiles(int x, int y) {
  int tx = x % 64, ty = y % 64;
  bool grout = tx < 3 || ty < 3;
  double n = Fbm(x, y, 8, 4, 11);
  int tile = (x / 64) + 4 * (y / 64);
  double shade = 0.9 + 0.12 * Rand(tile, 0, 5);
  Rgb base = Mix(Rgb{150, 146, 138}, Rgb{120, 118, 112}, n);
  if (grout) return Scale(Rgb{70, 68, 64}, 0.8 + 0.4 * n);
  double edge = (tx < 6 || ty < 6) ? 1.08 : ((tx > 60 || ty > 60) ? 0.9 : 1.0);
  return Scale(base, shade * edge);
}

Rgb Concrete(int x, int y) {
  double n = Fbm(x, y, 4, 6, 21);
  double speck = Rand(x, y, 22) > 0.985 ? 0.75 : 1.0;
  double stain = Fbm(x, y, 2, 3, 23);
  Rgb c = Mix(Rgb{160, 158, 152}, Rgb{110, 110, 108}, n);
  c = Scale(c, speck * (0.85 + 0.25 * stain));
  if (y % 128 < 2) c = Scale(c, 0.7);  // form-work seams
  return c;
}

Rgb Brick(int x, int y) {
  int row = y / 32;
  int offset = (row % 2) * 32;
  int bx = ((x + offset) % 256) / 64;
  int lx = (x + offset) % 64, ly = y % 32;
  double n = Fbm(x, y, 16, 3, 31);
  if (lx < 4 || ly < 4) return Scale(Rgb{150, 145, 135}, 0.75 + 0.3 * n);  // mortar
  double tone = Rand(bx, row, 32);
  Rgb c = Mix(Rgb{150, 62, 42}, Rgb{112, 48, 36}, tone);
  c = Mix(c, Rgb{90, 60, 50}, 0.3 * Fbm(x, y, 8, 4, 33));
  double bevel = (lx < 7 || ly < 7) ? 1.12 : ((lx > 60 || ly > 28) ? 0.85 : 1.0);
  return Scale(c, bevel * (0.9 + 0.2 * n));
}

Rgb MetalPanel(int x, int y) {
  int px = x % 128, py = y % 128;
  double brushed = Fbm(x, y * 8 % Size, 32, 2, 41) * 0.15;
  Rgb c = Scale(Rgb{120, 130, 140}, 0.9 + brushed + 0.1 * Fbm(x, y, 4, 3, 42));
  bool seam = px < 2 || py < 2;
  if (seam) return Rgb{45, 48, 52};
  if (px < 5 || py < 5) c = Scale(c, 1.2);
  if (px > 124 || py > 124) c = Scale(c, 0.75);
  // Rivets near the corners.
  for (int cx : {10, 118})
    for (int cy : {10, 118}) {
      double d = std::hypot(px - cx, py - cy);
      if (d < 4) c = Scale(Rgb{170, 178, 185}, 1.1 - d * 0.08);
      else if (d < 5.5) c = Scale(c, 0.6);
    }
  return c;
}

Rgb Hazard(int x, int y) {
  int band = ((x + y) / 32) % 2;
  double n = Fbm(x, y, 8, 4, 51);
  Rgb c = band ? Rgb{30, 30, 30} : Rgb{230, 180, 20};
  c = Mix(c, Rgb{90, 80, 60}, 0.25 * n);  // wear
  if (y % 128 < 6 || y % 128 > 121) c = Rgb{80, 82, 85};
  return c;
}

Rgb Grating(int x, int y) {
  int gx = x % 32, gy = y % 32;
  double n = Fbm(x, y, 8, 3, 61);
  bool bar = gx < 6 || gy < 6;
  if (!bar) return Scale(Rgb{25, 25, 28}, 0.8 + 0.4 * n);  // the dark below
  double light = (gx < 2 || gy < 2) ? 1.25 : 1.0;
  return Scale(Mix(Rgb{100, 104, 108}, Rgb{80, 76, 70}, n), light);
}

Rgb DarkMetal(int x, int y) {
  double n = Fbm(x, y, 8, 5, 71);
  Rgb c = Mix(Rgb{70, 72, 78}, Rgb{50, 52, 56}, n);
  if (y % 64 < 2) c = Scale(c, 0.6);
  if (y % 64 == 2) c = Scale(c, 1.3);
  return c;
}

Rgb Lamp(int x, int y) {
  int px = x % 128, py = y % 128;
  bool frame = px < 10 || py < 10 || px > 117 || py > 117;
  if (frame) return Scale(Rgb{90, 92, 96}, 0.9 + 0.2 * Fbm(x, y, 8, 2, 81));
  double glow = 1 - 0.15 * (std::fabs(px - 64) + std::fabs(py - 64)) / 64;
  return Scale(Rgb{255, 248, 225}, glow);
}

Rgb Clamp(Rgb c) { return {std::clamp(c.r, 0.0, 255.0), std::clamp(c.g, 0.0, 255.0), std::clamp(c.b, 0.0, 255.0)}; }

std::vector<uint8_t> Render(const Painter& paint) {
  std::vector<uint8_t> rgb(Size * Size * 3);
  for (int y = 0; y < Size; ++y)
    for (int x = 0; x < Size; ++x) {
      Rgb c = Clamp(paint(x, y));
      uint8_t* p = &rgb[(y * Size + x) * 3];
      p[0] = static_cast<uint8_t>(std::lround(c.r));
      p[1] = static_cast<uint8_t>(std::lround(c.g));
      p[2] = static_cast<uint8_t>(std::lround(c.b));
    }
  return rgb;
}

bool WriteJpeg(const std::string& path, const std::vector<uint8_t>& rgb) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = Size;
  cinfo.image_height = Size;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 92, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(&rgb[cinfo.next_scanline * Size * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(f) == 0;
}

// Uncompressed true-colour Targa, rows stored top first (descriptor bit 5), pixels B, G, R.
bool WriteTga(const std::string& path, const std::vector<uint8_t>& rgb) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, Size & 255, Size >> 8, Size & 255, Size >> 8, 24, 0x20};
  std::fwrite(header, 1, sizeof header, f);
  std::vector<uint8_t> bgr(rgb.size());
  for (size_t i = 0; i < rgb.size(); i += 3) {
    bgr[i] = rgb[i + 2];
    bgr[i + 1] = rgb[i + 1];
    bgr[i + 2] = rgb[i];
  }
  std::fwrite(bgr.data(), 1, bgr.size(), f);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: texgen <output folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  const struct {
    const char* name;
    Painter paint;
  } materials[] = {
      {"floor_tiles", FloorTiles}, {"concrete", Concrete}, {"brick", Brick},     {"metal_panel", MetalPanel},
      {"hazard", Hazard},          {"grating", Grating},   {"dark_metal", DarkMetal}, {"lamp", Lamp},
  };
  for (const auto& m : materials) {
    std::vector<uint8_t> rgb = Render(m.paint);
    std::string base = dir + "/" + m.name;
    if (!WriteJpeg(base + ".jpg", rgb) || !WriteTga(base + ".tga", rgb)) {
      std::fprintf(stderr, "texgen: cannot write %s\n", base.c_str());
      return 1;
    }
  }
  return 0;
}
