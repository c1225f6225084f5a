// The asset generator's pieces: bitmap and WAV encoding, the rasteriser's coverage (concave
// outlines, near-plane clipping), filters, and the looped mix that keeps music seamless.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "render/texture.h"
#include "tools/assetgen/mesh.h"
#include "tools/assetgen/picture.h"
#include "tools/assetgen/synth.h"

namespace {

RenderSettings SmallView() {
  RenderSettings s;
  s.width = 200;
  s.height = 200;
  s.focal = 100;  // 1 m at 1 m distance covers 100 pixels
  s.centreX = 100;
  s.centreY = 100;
  s.supersample = 3;
  return s;
}

float CoveredPixels(const Picture& coverage) {
  float sum = 0;
  for (size_t i = 0; i < coverage.rgb.size(); i += 3) sum += coverage.rgb[i];
  return sum;
}

// A frame that turns a slab's x (its thickness) away from the viewer, its outline flat on
// the screen (u to the right, v up), its front one metre away.
Frame FacingViewer() {
  Frame f;
  f.axisX = Vec3(0, 0, 1);
  f.axisY = Vec3(0, 1, 0);
  f.axisZ = Vec3(1, 0, 0);
  f.origin = Vec3(0, 0, 1);
  return f;
}

float PeakGain(Biquad filter, float hz) {
  float peak = 0;
  for (int i = 0; i < SampleRate / 2; ++i) {
    float y = filter.Process(std::sin(TwoPi * hz * i / SampleRate));
    if (i > SampleRate / 4) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

}  // namespace

TEST(AssetBitmaps, EncoderRoundTripsThroughTheGameDecoderWithPaddedRows) {
  Picture p(5, 3);  // 15 bytes per row: one padding byte
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      float* c = p.At(x, y);
      c[0] = x / 4.0f;
      c[1] = y / 2.0f;
      c[2] = 0.5f;
    }
  }
  p.At(0, 0)[2] = 1.5f;   // clamps to 255
  p.At(1, 0)[2] = -1.0f;  // clamps to 0
  std::vector<uint8_t> bytes = EncodeBmp24(p);
  ASSERT_EQ(bytes.size(), 54u + 16u * 3);
  ImageData image;
  std::string error;
  ASSERT_TRUE(DecodeBmp(bytes.data(), bytes.size(), &image, &error)) << error;
  ASSERT_EQ(image.width, 5);
  ASSERT_EQ(image.height, 3);
  // Stored bottom-up: the decoder's first row is the picture's bottom row.
  for (int row = 0; row < 3; ++row) {
    int y = 2 - row;
    for (int x = 0; x < 5; ++x) {
      const uint8_t* px = &image.pixels[(row * 5 + x) * 3];
      EXPECT_EQ(px[0], std::lround(x / 4.0f * 255)) << x << "," << y;
      EXPECT_EQ(px[1], std::lround(y / 2.0f * 255)) << x << "," << y;
      if (y != 0 || x > 1) {
        EXPECT_EQ(px[2], 128);
      }
    }
  }
  EXPECT_EQ(image.pixels[(2 * 5 + 0) * 3 + 2], 255);
  EXPECT_EQ(image.pixels[(2 * 5 + 1) * 3 + 2], 0);
}

TEST(AssetRasteriser, CoverageMatchesTheShapeForBoxesAndConcaveOutlines) {
  RenderSettings s = SmallView();
  Picture colour, coverage;
  {
    // A 0.2 m square face one metre away: 20 x 20 pixels.
    Mesh m;
    int mat = m.AddMaterial({Vec3(1, 1, 1), 0, 8, 0});
    m.AddBox(mat, Vec3(-0.1f, -0.1f, 0), Vec3(0.1f, 0.1f, 0.05f));
    Frame f;
    f.origin = Vec3(0, 0, 1);
    RenderMesh(m, f, s, &colour, &coverage);
    EXPECT_NEAR(CoveredPixels(coverage), 400.0f, 8.0f);
    EXPECT_FLOAT_EQ(coverage.At(100, 100)[0], 1.0f);
    EXPECT_FLOAT_EQ(coverage.At(85, 100)[0], 0.0f);
    // Colour is premultiplied: nothing outside the shape.
    EXPECT_FLOAT_EQ(colour.At(85, 100)[1], 0.0f);
    EXPECT_GT(colour.At(100, 100)[1], 0.0f);
  }
  {
    // A U whose outline starts at the inner corner of an arm, so a plain fan would fill
    // the notch: 0.3 x 0.2 less a 0.1 x 0.1 notch = 500 pixels.
    Mesh m;
    int mat = m.AddMaterial({Vec3(1, 1, 1), 0, 8, 0});
    m.AddSlab(mat, {{0.2f, 0.1f}, {0.2f, 0.2f}, {0.3f, 0.2f}, {0.3f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.2f},
                    {0.1f, 0.2f}, {0.1f, 0.1f}},
              0.0f, 0.02f, 0.0f, FacingViewer());
    RenderMesh(m, Frame(), s, &colour, &coverage);
    EXPECT_NEAR(CoveredPixels(coverage), 500.0f, 10.0f);
    // Screen y grows downward: outline v = 0.15 is 15 pixels above the centre.
    EXPECT_FLOAT_EQ(coverage.At(115, 85)[0], 0.0f) << "the notch stays open";
    EXPECT_FLOAT_EQ(coverage.At(105, 85)[0], 1.0f) << "left arm";
    EXPECT_FLOAT_EQ(coverage.At(125, 85)[0], 1.0f) << "right arm";
  }
  {
    // A long box running from behind the viewer to 2 m ahead, off to the right: the part
    // behind the near plane is clipped, not mirrored onto the left of the screen.
    Mesh m;
    int mat = m.AddMaterial({Vec3(1, 1, 1), 0, 8, 0});
    m.AddBox(mat, Vec3(0.05f, -0.2f, -1.0f), Vec3(0.5f, 0.2f, 2.0f));
    RenderMesh(m, Frame(), s, &colour, &coverage);
    float left = 0, right = 0;
    for (int y = 0; y < 200; ++y) {
      for (int x = 0; x < 200; ++x) (x < 100 ? left : right) += coverage.At(x, y)[0];
    }
    EXPECT_EQ(left, 0.0f);
    EXPECT_GT(right, 1000.0f);
  }
}

TEST(AssetSound, WavEncodingFiltersAndNotes) {
  std::vector<uint8_t> wav = EncodeWav16({0.0f, 0.5f, 1.5f, -2.0f}, 1);
  ASSERT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(wav[22], 1);                                        // mono
  EXPECT_EQ(wav[24] | (wav[25] << 8) | (wav[26] << 16), 44100);  // rate
  EXPECT_EQ(wav[34], 16);                                       // bits
  auto sample = [&](int i) { return static_cast<int16_t>(wav[44 + i * 2] | (wav[45 + i * 2] << 8)); };
  EXPECT_EQ(sample(0), 0);
  EXPECT_EQ(sample(1), 16384);
  EXPECT_EQ(sample(2), 32767);   // clamped, not wrapped round
  EXPECT_EQ(sample(3), -32767);

  EXPECT_NEAR(PeakGain(Biquad::LowPass(1000), 100), 1.0f, 0.02f);
  EXPECT_LT(PeakGain(Biquad::LowPass(1000), 10000), 0.02f);
  EXPECT_GT(PeakGain(Biquad::HighPass(1000), 10000), 0.97f);
  EXPECT_LT(PeakGain(Biquad::HighPass(1000), 100), 0.02f);
  EXPECT_NEAR(PeakGain(Biquad::BandPass(800, 4), 800), 1.0f, 0.02f);
  EXPECT_LT(PeakGain(Biquad::BandPass(800, 4), 3200), 0.1f);

  EXPECT_FLOAT_EQ(NoteHz(69), 440.0f);
  EXPECT_NEAR(NoteHz(81), 880.0f, 0.01f);
}

TEST(AssetLoopMix, TailsWrapRoundAndEffectsMeetThemselvesAtTheLoopPoint) {
  LoopMix mix(100);
  mix.Add(90, std::vector<float>(20, 1.0f), 1.0f, 0.0f);
  const float centre = std::cos(3.14159265f / 4);
  for (int i = 0; i < 100; ++i) {
    bool inside = i >= 90 || i < 10;
    EXPECT_NEAR(mix.left[i], inside ? centre : 0.0f, 1e-6f) << i;
    EXPECT_NEAR(mix.right[i], mix.left[i], 1e-6f) << i;
  }
  mix.Add(-5, {1.0f}, 1.0f, -1.0f);  // before the start: lands 5 from the end, hard left
  EXPECT_NEAR(mix.left[95], centre + 1.0f, 1e-6f);
  EXPECT_NEAR(mix.right[95], centre, 1e-6f);

  // A slow smoother over a steady signal: after the warm-up pass the loop starts where it
  // ends instead of rising from zero.
  std::vector<float> steady(1000, 1.0f);
  float state = 0;
  auto smooth = [&state](float x) { return state += 0.01f * (x - state); };
  ProcessLooped(steady, smooth);
  EXPECT_NEAR(steady.front(), steady.back(), 0.001f);
  EXPECT_GT(steady.front(), 0.99f);
}
