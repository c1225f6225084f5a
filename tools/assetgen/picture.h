// A floating-point RGB picture (top row first) and the 24-bit bitmap writer the game's
// loaders read back. Also the small helpers every drawing routine shares.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<float> rgb;  // width * height * 3, linear 0..1, row 0 is the top of the picture

  Picture() = default;
  Picture(int w, int h, float r = 0, float g = 0, float b = 0);
  float* At(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  const float* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Averages factor x factor blocks (the supersampled picture's sides must be multiples).
Picture Downsample(const Picture& big, int factor);

// A bottom-up 24-bit uncompressed bitmap with a 14-byte file header and a 40-byte info
// header: the picture's top row is stored last. Rows are padded to 4 bytes.
std::vector<uint8_t> EncodeBmp24(const Picture& picture);

// Writes bytes to a file; false (and a message on stderr) when it cannot.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

inline float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline float Mix(float a, float b, float t) { return a + (b - a) * t; }
inline float SmoothStep(float e0, float e1, float x) {
  float t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Deterministic pseudo-random numbers (xorshift), the same on every run and machine.
struct Rng {
  uint32_t state;
  explicit Rng(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  float Unit() { return (Next() >> 8) * (1.0f / 16777216.0f); }  // 0 .. 1
  float Signed() { return Unit() * 2 - 1; }                     // -1 .. 1
};

// Smooth value noise on a periodic integer lattice (period cells), 0..1; fractal sums of
// it give smoke and grain.
float ValueNoise(float x, float y, int period, uint32_t seed);
float FractalNoise(float x, float y, int octaves, int period, uint32_t seed);
