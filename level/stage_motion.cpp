// Stage motion: waves, tcMods, colours, frames and deforms of shader stages.
#include "level/stage_motion.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;

double Fraction(double x) { return x - std::floor(x); }

// A repeatable value in -1..1 for each whole step of x, joined smoothly between steps.
double Noise(double x) {
  auto at = [](int64_t i) {
    uint32_t h = static_cast<uint32_t>(i) * 0x9E3779B1u;
    h ^= h >> 15;
    h *= 0x85EBCA77u;
    h ^= h >> 13;
    return (h & 0xFFFF) / 32767.5 - 1.0;
  };
  const double floor = std::floor(x), f = x - floor;
  const double smooth = f * f * (3 - 2 * f);
  const int64_t i = static_cast<int64_t>(floor);
  return at(i) + (at(i + 1) - at(i)) * smooth;
}

// The wave's function at x periods (one period is 0..1).
double Function(WaveFunction function, double x) {
  const double f = Fraction(x);
  switch (function) {
    case WaveFunction::Sin: return std::sin(2 * Pi * f);
    case WaveFunction::Triangle: return f < 0.25 ? 4 * f : f < 0.75 ? 2 - 4 * f : 4 * f - 4;
    case WaveFunction::Square: return f < 0.5 ? 1 : -1;
    case WaveFunction::Sawtooth: return f;
    case WaveFunction::InverseSawtooth: return 1 - f;
    case WaveFunction::Noise: return Noise(x);
  }
  return 0;
}

uint8_t Byte(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 1.0) * 255 + 0.5); }

}  // namespace

float WaveValue(const Wave& wave, double seconds) {
  return static_cast<float>(wave.base + wave.amplitude * Function(wave.function, (seconds + wave.phase) * wave.frequency));
}

void MoveTexCoord(const std::vector<TexMod>& mods, double seconds, const float position[3], float st[2]) {
  // In the script's terms t runs down the picture: the stored t is turned over.
  double s = st[0], t = -st[1];
  for (const TexMod& mod : mods) {
    const float* v = mod.values;
    switch (mod.kind) {
      case TexModKind::Scroll:
        // Whole repeats change nothing; keeping only the fraction keeps the precision.
        s += Fraction(v[0] * seconds);
        t += Fraction(v[1] * seconds);
        break;
      case TexModKind::Scale:
        s *= v[0];
        t *= v[1];
        break;
      case TexModKind::Rotate: {
        const double a = -Fraction(v[0] * seconds / 360.0) * 2 * Pi;
        const double c = std::cos(a), n = std::sin(a), x = s - 0.5, y = t - 0.5;
        s = 0.5 + x * c - y * n;
        t = 0.5 + x * n + y * c;
        break;
      }
      case TexModKind::Turb: {
        // Each point wobbles by its own phase, from where it lies (file axes x and y).
        const double at = (seconds + mod.wave.phase) * mod.wave.frequency;
        const double x = position[0], y = -position[2], z = position[1];
        s += mod.wave.amplitude * std::sin(2 * Pi * Fraction(at + (x + z) / 1024.0));
        t += mod.wave.amplitude * std::sin(2 * Pi * Fraction(at + y / 1024.0));
        break;
      }
      case TexModKind::Stretch: {
        const double p = WaveValue(mod.wave, seconds);
        const double scale = std::fabs(p) < 1e-4 ? 1.0 : 1.0 / p;
        s = (s - 0.5) * scale + 0.5;
        t = (t - 0.5) * scale + 0.5;
        break;
      }
      case TexModKind::Transform: {
        const double s0 = s;
        s = s0 * v[0] + t * v[2] + v[4];
        t = s0 * v[1] + t * v[3] + v[5];
        break;
      }
    }
  }
  st[0] = static_cast<float>(s);
  st[1] = static_cast<float>(-t);
}

void StageColour(const ShaderStage& stage, double seconds, const uint8_t vertex[4], uint8_t out[4]) {
  switch (stage.colour) {
    case ColourSource::Identity:
    case ColourSource::IdentityLighting:
      out[0] = out[1] = out[2] = 255;
      break;
    case ColourSource::Vertex:
    case ColourSource::ExactVertex:
      out[0] = vertex[0], out[1] = vertex[1], out[2] = vertex[2];
      break;
    case ColourSource::Constant:
      for (int c = 0; c < 3; ++c) out[c] = Byte(stage.constant[c]);
      break;
    case ColourSource::Wave:
      out[0] = out[1] = out[2] = Byte(WaveValue(stage.colourWave, seconds));
      break;
  }
  switch (stage.alpha) {
    case AlphaSource::Identity: out[3] = 255; break;
    case AlphaSource::Vertex: out[3] = vertex[3]; break;
    case AlphaSource::Constant: out[3] = Byte(stage.constant[3]); break;
    case AlphaSource::Wave: out[3] = Byte(WaveValue(stage.alphaWave, seconds)); break;
  }
}

size_t AnimationFrame(const ShaderStage& stage, double seconds) {
  if (stage.frames.size() < 2 || !(stage.frameRate > 0) || !(seconds >= 0)) return 0;
  const double frame = std::floor(seconds * stage.frameRate);
  return static_cast<size_t>(std::fmod(frame, static_cast<double>(stage.frames.size())));
}

void DeformWave(const VertexDeform& deform, double seconds, BspVertex* vertices, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    BspVertex& v = vertices[i];
    // Position and normal in the file's axes (z up); the normal is stored unconverted.
    const double x = v.position[0], y = -v.position[2], z = v.position[1];
    const double offset = deform.spread != 0 ? (x + y + z) / deform.spread : 0;
    Wave wave = deform.wave;
    wave.phase += static_cast<float>(offset);
    const float d = WaveValue(wave, seconds);
    v.position[0] += v.normal[0] * d;
    v.position[1] += v.normal[2] * d;
    v.position[2] -= v.normal[1] * d;
  }
}

void DeformAutosprite(const float right[3], const float up[3], BspVertex* vertices, size_t count) {
  for (size_t q = 0; q + 4 <= count; q += 4) {
    BspVertex* v = vertices + q;
    float centre[3] = {0, 0, 0}, st[2] = {0, 0};
    for (int k = 0; k < 4; ++k) {
      for (int a = 0; a < 3; ++a) centre[a] += v[k].position[a] / 4;
      st[0] += v[k].texCoord[0] / 4, st[1] += v[k].texCoord[1] / 4;
    }
    auto length = [](const float* a, const float* b) {
      return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
    };
    const float halfWidth = length(v[0].position, v[1].position) / 2;
    const float halfHeight = length(v[1].position, v[2].position) / 2;
    // Each corner keeps its place in the picture: right where its s is above the middle,
    // up where its stored t is (rows run bottom first).
    for (int k = 0; k < 4; ++k) {
      const float x = v[k].texCoord[0] >= st[0] ? 1.0f : -1.0f;
      const float y = v[k].texCoord[1] >= st[1] ? 1.0f : -1.0f;
      for (int a = 0; a < 3; ++a) v[k].position[a] = centre[a] + right[a] * x * halfWidth + up[a] * y * halfHeight;
    }
  }
}

bool NeedsStages(const ShaderEntry& entry) {
  if (!entry.unsupported.empty() || entry.sky || entry.fog || entry.nodraw) return false;
  if (!entry.deforms.empty()) return true;
  int pictures = 0, lightmaps = 0;
  for (size_t k = 0; k < entry.stages.size(); ++k) {
    const ShaderStage& stage = entry.stages[k];
    if (stage.frames.size() > 1 || !stage.texMods.empty() || stage.colour == ColourSource::Constant ||
        stage.colour == ColourSource::Wave || stage.alpha == AlphaSource::Constant || stage.alpha == AlphaSource::Wave ||
        stage.image == StageImage::White)
      return true;
    if (stage.image == StageImage::Lightmap) ++lightmaps;
    if (stage.image == StageImage::Picture) ++pictures;
    // A second stage that does not multiply the first (a glow added over a lit wall, say)
    // cannot be had in one pass.
    const bool multiplies = (stage.blendSource == 0x0306 /* GL_DST_COLOR */ && stage.blendDestination == 0) ||
                            (stage.blendSource == 0 && stage.blendDestination == 0x0300 /* GL_SRC_COLOR */);
    if (k > 0 && !multiplies) return true;
  }
  return pictures > 1 || lightmaps > 1;
}
