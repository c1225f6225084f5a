// Bitmap, Targa and JPEG decoders: pictures written by ImageMagick decode to the pixels
// ImageMagick itself reads back; hand-built files cover what it cannot write (RLE4, 16-bit
// and packet-edge Targa) and the damaged files the decoders must refuse.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "render/texture.h"
#include "support/fake_platform.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The real ImageMagick: /usr/local/bin/convert on this machine is not it.
const char* const Convert = "/usr/bin/convert";

struct TempDir {
  std::string path;
  TempDir() {
    char pattern[] = "/tmp/korvalis_images_XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

bool RunConvert(const std::string& args) {
  return std::system((std::string(Convert) + " " + args + " 2>/dev/null").c_str()) == 0;
}

#define REQUIRE_CONVERT() \
  if (access(Convert, X_OK) != 0) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed"

Bytes ReadAll(const std::string& path) {
  Bytes bytes;
  EXPECT_TRUE(ReadWholeFile(path.c_str(), &bytes)) << path;
  return bytes;
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Pseudo-random colours, the same every run.
void WriteNoisePpm(const std::string& path, int w, int h) {
  Bytes bytes;
  const std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  bytes.assign(head.begin(), head.end());
  uint32_t seed = 12345;
  for (int i = 0; i < w * h * 3; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.push_back(uint8_t(seed >> 16));
  }
  WriteAll(path, bytes);
}

// ImageMagick's own reading of a file. It keeps a Targa's rows in stored order and only
// records the origin, so `options` may be "-auto-orient" to get the top row first.
Bytes ReadWithConvert(const std::string& file, const std::string& format, const TempDir& dir,
                      const std::string& options = "") {
  const std::string out = dir / "decoded.raw";
  EXPECT_TRUE(RunConvert("'" + file + "' " + options + " -depth 8 " + format + ":'" + out + "'"));
  return ReadAll(out);
}

Bytes FlipRows(const Bytes& pixels, int w, int h, int channels) {
  Bytes out(pixels.size());
  const size_t row = size_t(w) * channels;
  for (int y = 0; y < h; ++y)
    std::memcpy(out.data() + y * row, pixels.data() + (h - 1 - y) * row, row);
  return out;
}

using Decoder = bool (*)(const uint8_t*, size_t, ImageData*, std::string*, const ImageLimits&);

// Decodes from a heap copy of exactly `size` bytes so that any over-read is caught.
bool Decode(Decoder decoder, const Bytes& bytes, size_t size, ImageData* image,
            std::string* error) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
  if (size) std::memcpy(copy.get(), bytes.data(), size);
  return decoder(copy.get(), size, image, error, ImageLimits());
}

bool Decode(Decoder decoder, const Bytes& bytes, ImageData* image, std::string* error) {
  return Decode(decoder, bytes, bytes.size(), image, error);
}

void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A bitmap with the file header and a 40-byte info header; `palette` holds B, G, R, 0 quads.
Bytes MakeBmp(int32_t w, int32_t h, int bits, uint32_t compression, const Bytes& palette,
              const Bytes& pixels, uint32_t colorsUsed = 0) {
  Bytes b(54, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 10, uint32_t(54 + palette.size()));
  Put32(b, 14, 40);
  Put32(b, 18, uint32_t(w));
  Put32(b, 22, uint32_t(h));
  Put16(b, 26, 1);
  Put16(b, 28, uint32_t(bits));
  Put32(b, 30, compression);
  Put32(b, 46, colorsUsed);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  Put32(b, 2, uint32_t(b.size()));
  return b;
}

// A palette whose entry i is the colour (i * 16, 255 - i * 16, i).
Bytes GreenRedPalette(int n) {
  Bytes p;
  for (int i = 0; i < n; ++i) {
    p.push_back(uint8_t(i));
    p.push_back(uint8_t(255 - i * 16));
    p.push_back(uint8_t(i * 16));
    p.push_back(0);
  }
  return p;
}

Bytes TgaHeader(int type, int w, int h, int bits) {
  Bytes b(18, 0);
  b[2] = uint8_t(type);
  Put16(b, 12, uint32_t(w));
  Put16(b, 14, uint32_t(h));
  b[16] = uint8_t(bits);
  return b;
}

}  // namespace

TEST(BitmapDecoder, MatchesImageMagickForEveryDepthAndForm) {
  REQUIRE_CONVERT();
  TempDir dir;
  const int w = 13, h = 9;  // odd width: 1-, 4-, 16- and 24-bit rows all need padding
  const std::string source = dir / "noise.ppm";
  WriteNoisePpm(source, w, h);
  struct Variant {
    const char* name;
    const char* options;
    int bits;
    uint32_t compression;
    uint32_t headerSize;
  } variants[] = {
      {"24-bit", "BMP3:", 24, 0, 40},
      {"8-bit", "-colors 100 -type palette -compress None BMP3:", 8, 0, 40},
      {"RLE8", "-colors 100 -type palette -compress RLE BMP3:", 8, 1, 40},
      {"4-bit", "-colors 12 -type palette -compress None BMP3:", 4, 0, 40},
      {"1-bit", "-colors 2 -type palette -compress None BMP3:", 1, 0, 40},
      {"32-bit", "-alpha set -define bmp3:alpha=true BMP3:", 32, 0, 40},
      {"32-bit fields", "-alpha set BMP:", 32, 3, 124},
      {"16-bit 565", "-define bmp:subtype=RGB565 BMP:", 16, 3, 124},
      {"16-bit 555", "-define bmp:subtype=RGB555 BMP:", 16, 3, 124},
      {"core 24-bit", "BMP2:", 24, 0, 12},
      {"core 8-bit", "-colors 100 -type palette BMP2:", 8, 0, 12},
      {"core 4-bit", "-colors 12 -type palette BMP2:", 4, 0, 12},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    const std::string file = dir / "picture.bmp";
    ASSERT_TRUE(RunConvert("'" + source + "' " + v.options + "'" + file + "'"));
    const Bytes bytes = ReadAll(file);
    ASSERT_GE(bytes.size(), 54u);
    // The file is the form this case is meant to cover.
    ASSERT_EQ(bytes[14], v.headerSize);
    if (v.headerSize == 12) {
      ASSERT_EQ(bytes[24], v.bits);
    } else {
      ASSERT_EQ(bytes[28], v.bits);
      ASSERT_EQ(bytes[30], v.compression);
    }
    const Bytes expected = FlipRows(ReadWithConvert(file, "rgb", dir), w, h, 3);
    ImageData image;
    std::string error;
    ASSERT_TRUE(Decode(DecodeBmp, bytes, &image, &error)) << error;
    EXPECT_EQ(image.channels, 3);
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.height, h);
    EXPECT_EQ(image.pixels, expected);

    // The same data without its file header: pixels follow the header and colour table.
    if (v.compression != 3) {
      const Bytes headerless(bytes.begin() + 14, bytes.end());
      ImageData bare;
      ASSERT_TRUE(Decode(DecodeBmp, headerless, &bare, &error)) << error;
      EXPECT_EQ(bare.pixels, expected);
    }
  }
}

TEST(BitmapDecoder, SixteenBitsWithoutFieldsAreFiveFiveFive) {
  REQUIRE_CONVERT();
  TempDir dir;
  const std::string source = dir / "noise.ppm";
  WriteNoisePpm(source, 5, 3);
  // This writer marks the picture as bit fields but stores no masks: naming it uncompressed
  // makes a plain 16-bit bitmap, which both readers take as 5-5-5.
  const std::string file = dir / "plain16.bmp";
  ASSERT_TRUE(RunConvert("'" + source + "' -define bmp:subtype=RGB555 BMP3:'" + file + "'"));
  Bytes bytes = ReadAll(file);
  ASSERT_EQ(bytes[28], 16);
  Put32(bytes, 30, 0);
  WriteAll(file, bytes);
  ImageData image;
  std::string error;
  ASSERT_TRUE(Decode(DecodeBmp, bytes, &image, &error)) << error;
  EXPECT_EQ(image.pixels, FlipRows(ReadWithConvert(file, "rgb", dir), 5, 3, 3));

  // Five bits scale by repeating their top bits: 31 -> 255, 16 -> 132, 1 -> 8.
  Bytes pixels(4, 0);
  Put16(pixels, 0, (31u << 10) | (16u << 5) | 1u);
  const Bytes handmade = MakeBmp(1, 1, 16, 0, {}, pixels);
  ASSERT_TRUE(Decode(DecodeBmp, handmade, &image, &error)) << error;
  EXPECT_EQ(image.pixels, (Bytes{255, 132, 8}));
}

TEST(BitmapDecoder, RunLengthFourBits) {
  // 5 x 3, bottom row first: a run reaching past the row (the rest is dropped), a literal
  // run of an odd count with its padding, a delta skip, end-of-line and end-of-picture marks.
  // Skipped pixels keep palette colour 0.
  const Bytes stream = {
      7, 0x12,               // row 0: 1 2 1 2 1 (2 1 dropped)
      0, 0,                  // end of line
      0, 3, 0x34, 0x50,      // row 1: literal 3 4 5, padded to an even byte count
      0, 2, 1, 1,            // delta (1, 1): row 2, x = 4
      1, 0x66,               // row 2: 6 at x = 4
      0, 1,                  // end of picture
  };
  const Bytes file = MakeBmp(5, 3, 4, 2, GreenRedPalette(16), stream);
  ImageData image;
  std::string error;
  ASSERT_TRUE(Decode(DecodeBmp, file, &image, &error)) << error;
  const int expected[15] = {1, 2, 1, 2, 1, 3, 4, 5, 0, 0, 0, 0, 0, 0, 6};
  ASSERT_EQ(image.pixels.size(), 45u);
  for (int i = 0; i < 15; ++i) {
    const int c = expected[i];
    EXPECT_EQ(image.pixels[i * 3], c * 16) << i;
    EXPECT_EQ(image.pixels[i * 3 + 1], 255 - c * 16) << i;
    EXPECT_EQ(image.pixels[i * 3 + 2], c) << i;
  }
}

TEST(BitmapDecoder, RefusesDamagedFilesWithTheirMessages) {
  FakePlatform fake;
  const Bytes palette = GreenRedPalette(2);
  const Bytes row8 = {0, 1, 1, 0};  // one 4-pixel row of 8-bit indices
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  };
  std::vector<Case> cases = {
      {"negative height", MakeBmp(4, -1, 8, 0, palette, row8, 2), "Image file conversion error."},
      {"zero width", MakeBmp(0, 1, 8, 0, palette, row8, 2), "Image file conversion error."},
      {"index past the table", MakeBmp(4, 1, 8, 0, palette, {0, 1, 2, 0}, 2),
       "Image file conversion error."},
      {"bit count 2", MakeBmp(4, 1, 2, 0, palette, row8), "Image file conversion error."},
      {"RLE8 with 4 bits", MakeBmp(4, 1, 4, 1, GreenRedPalette(16), {4, 0, 0, 1}),
       "Image file conversion error."},
      {"bit fields with 24 bits", MakeBmp(1, 1, 24, 3, {}, {0, 0, 0, 0}),
       "Image file conversion error."},
      {"zero mask", MakeBmp(1, 1, 16, 3, {0, 0xF8, 0, 0, 0xE0, 7, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}),
       "Image file conversion error."},
      {"run past the last row", MakeBmp(4, 1, 8, 1, palette, {4, 0, 0, 0, 4, 0, 0, 1}, 2),
       "Image file conversion error."},
      {"delta past the picture", MakeBmp(4, 2, 8, 1, palette, {0, 2, 0, 2, 0, 1}, 2),
       "Image file conversion error."},
      {"literal run without its bytes", MakeBmp(4, 1, 8, 1, palette, {0, 4, 1, 1}, 2),
       "Image file conversion error."},
      {"stream without its end", MakeBmp(4, 1, 8, 1, palette, {4, 1, 0, 0}, 2),
       "Image file conversion error."},
      {"rows missing", MakeBmp(4, 3, 8, 0, palette, row8, 2), "Image file conversion error."},
      {"palette past the file", MakeBmp(4, 1, 8, 0, {}, {}, 200), "Image file conversion error."},
      {"colours used above 2^bits", MakeBmp(4, 1, 1, 0, GreenRedPalette(3), row8, 3),
       "Image file conversion error."},
      {"width * height * 3 overflows", MakeBmp(0x7FFFFFFF, 0x7FFFFFFF, 24, 0, {}, row8),
       "Out of memory."},
      {"beyond the size cap", MakeBmp(16385, 1, 24, 0, {}, row8), "Out of memory."},
      {"compression 4", MakeBmp(4, 1, 8, 4, palette, row8, 2), "Unknown DIB file format."},
      {"empty", {}, "Unknown DIB file format."},
      {"only the signature", {'B', 'M'}, "Unknown DIB file format."},
  };
  Bytes offsetPast = MakeBmp(4, 1, 8, 0, palette, row8, 2);
  Put32(offsetPast, 10, uint32_t(offsetPast.size()));
  cases.push_back({"pixel offset at the end", offsetPast, "Image file conversion error."});
  Bytes offsetInHeader = MakeBmp(4, 1, 8, 0, palette, row8, 2);
  Put32(offsetInHeader, 10, 20);
  cases.push_back({"pixel offset inside the header", offsetInHeader, "Image file conversion error."});
  Bytes header64 = MakeBmp(4, 1, 8, 0, palette, row8, 2);
  Put32(header64, 14, 64);
  cases.push_back({"header size 64", header64, "Unknown DIB file format."});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageData image;
    std::string error;
    EXPECT_FALSE(Decode(DecodeBmp, c.file, &image, &error));
    EXPECT_EQ(error, c.message);
    EXPECT_TRUE(image.pixels.empty());
  }

  // The file loader shows the same texts in a box.
  TempDir dir;
  WriteAll(dir / "bad.bmp", cases[0].file);
  EXPECT_EQ(LoadBmp((dir / "bad.bmp").c_str()), nullptr);
  EXPECT_EQ(LoadBmp((dir / "missing.bmp").c_str()), nullptr);
  EXPECT_EQ(fake.messages, (std::vector<std::string>{"Error: Image file conversion error.",
                                                     "Error: Unable to load BMP File!"}));
}

TEST(TargaDecoder, MatchesImageMagickUncompressedAndRunLength) {
  REQUIRE_CONVERT();
  TempDir dir;
  const int w = 13, h = 9;
  const std::string source = dir / "noise.ppm";
  WriteNoisePpm(source, w, h);
  // A picture with long flat stretches so the run-length files hold both kinds of packet.
  const std::string flat = dir / "flat.ppm";
  ASSERT_TRUE(RunConvert("'" + source + "' -sample 400%x100% -crop 13x9+0+0 +repage '" + flat +
                         "'"));
  struct Variant {
    const char* name;
    std::string options;
    int channels;
    int type;
  } variants[] = {
      {"24-bit", "'" + source + "' TGA:", 3, 2},
      {"32-bit", "'" + source + "' -alpha set -channel A -fx 'i/w' +channel TGA:", 4, 2},
      {"run-length 24-bit", "'" + flat + "' -compress RLE TGA:", 3, 10},
      {"run-length 32-bit",
       "'" + flat + "' -alpha set -channel A -fx 'j/h' +channel -compress RLE TGA:", 4, 10},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    const std::string file = dir / "picture.tga";
    ASSERT_TRUE(RunConvert(v.options + "'" + file + "'"));
    const Bytes bytes = ReadAll(file);
    ASSERT_GE(bytes.size(), 18u);
    ASSERT_EQ(bytes[2], v.type);
    ASSERT_EQ(bytes[16], v.channels * 8);
    // Rows stay in file order: a lower-left origin puts the bottom row first.
    Bytes expected =
        ReadWithConvert(file, v.channels == 4 ? "rgba" : "rgb", dir, "-auto-orient");
    if (!(bytes[17] & 0x20)) expected = FlipRows(expected, w, h, v.channels);
    ImageData image;
    std::string error;
    ASSERT_TRUE(Decode(DecodeTga, bytes, &image, &error)) << error;
    EXPECT_EQ(image.channels, v.channels);
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.height, h);
    EXPECT_EQ(image.pixels, expected);
  }
}

TEST(TargaDecoder, SixteenBitsScaleByEight) {
  Bytes file = TgaHeader(2, 3, 1, 16);
  file[17] = 0x20;  // top-left origin: still kept in file order
  for (uint32_t c : {0x7FFFu, 0xFFFFu, (1u << 10) | (2u << 5) | 3u}) {
    file.push_back(uint8_t(c));
    file.push_back(uint8_t(c >> 8));
  }
  ImageData image;
  std::string error;
  ASSERT_TRUE(Decode(DecodeTga, file, &image, &error)) << error;
  EXPECT_EQ(image.channels, 3);
  EXPECT_EQ(image.pixels, (Bytes{248, 248, 248, 248, 248, 248, 8, 16, 24}));
}

TEST(TargaDecoder, RunLengthPacketLengths) {
  // One row: run 128 (once), run 255 (128 times), raw 0 (one pixel), raw 127 (128 pixels).
  const int w = 1 + 128 + 1 + 128;
  Bytes file = TgaHeader(10, w, 1, 24);
  file.insert(file.end(), {128, 1, 2, 3});
  file.insert(file.end(), {255, 4, 5, 6});
  file.insert(file.end(), {0, 7, 8, 9});
  file.push_back(127);
  for (int i = 0; i < 128; ++i) file.insert(file.end(), {uint8_t(i), 10, 11});
  ImageData image;
  std::string error;
  ASSERT_TRUE(Decode(DecodeTga, file, &image, &error)) << error;
  ASSERT_EQ(image.pixels.size(), size_t(w) * 3);
  EXPECT_EQ(Bytes(image.pixels.begin(), image.pixels.begin() + 3), (Bytes{3, 2, 1}));
  for (int i = 1; i <= 128; ++i) EXPECT_EQ(image.pixels[i * 3], 6) << i;
  EXPECT_EQ(Bytes(image.pixels.begin() + 129 * 3, image.pixels.begin() + 130 * 3),
            (Bytes{9, 8, 7}));
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(image.pixels[(130 + i) * 3], 11);
    EXPECT_EQ(image.pixels[(130 + i) * 3 + 2], i);
  }
}

TEST(TargaDecoder, RefusesDamagedAndUnusedKinds) {
  FakePlatform fake;
  struct Case {
    const char* name;
    Bytes file;
    const char* message;  // "" for the silent refusals
  };
  auto withData = [](Bytes header, const Bytes& data) {
    header.insert(header.end(), data.begin(), data.end());
    return header;
  };
  const std::vector<Case> cases = {
      {"grey 8-bit", withData(TgaHeader(3, 2, 1, 8), {1, 2}), ""},
      {"colour-mapped", withData(TgaHeader(1, 2, 1, 8), {0, 0}), ""},
      {"true colour 8-bit", withData(TgaHeader(2, 2, 1, 8), {0, 0}), ""},
      {"run-length 16-bit", withData(TgaHeader(10, 1, 1, 16), {0, 0, 0}), ""},
      {"run past the picture", withData(TgaHeader(10, 2, 1, 24), {130, 1, 2, 3}),
       "Unable to load TGA File!"},
      {"raw packet past the picture", withData(TgaHeader(10, 2, 1, 24), {2, 1, 2, 3, 1, 2, 3, 1, 2, 3}),
       "Unable to load TGA File!"},
      {"raw packet without its bytes", withData(TgaHeader(10, 2, 1, 24), {1, 1, 2, 3}),
       "Unable to load TGA File!"},
      {"rows missing", withData(TgaHeader(2, 2, 2, 24), {1, 2, 3, 4, 5, 6}),
       "Unable to load TGA File!"},
      {"zero width", TgaHeader(2, 0, 5, 24), "Unable to load TGA File!"},
      {"short header", Bytes(17, 0), "Unable to load TGA File!"},
      {"huge and empty", TgaHeader(10, 65535, 65535, 32), "Unable to load TGA File!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImageData image;
    std::string error = "stale";
    EXPECT_FALSE(Decode(DecodeTga, c.file, &image, &error));
    EXPECT_EQ(error, c.message);
  }
  // An unused colour map in a true-colour file is skipped, not read as pixels.
  Bytes mapped = TgaHeader(2, 1, 1, 24);
  mapped[1] = 1;
  mapped[5] = 2;   // two entries
  mapped[7] = 24;  // of three bytes
  mapped.insert(mapped.end(), {9, 9, 9, 9, 9, 9, 30, 20, 10});
  ImageData image;
  std::string error;
  ASSERT_TRUE(Decode(DecodeTga, mapped, &image, &error)) << error;
  EXPECT_EQ(image.pixels, (Bytes{10, 20, 30}));

  TempDir dir;
  WriteAll(dir / "grey.tga", cases[0].file);
  EXPECT_EQ(LoadTga((dir / "grey.tga").c_str()), nullptr);
  EXPECT_TRUE(fake.messages.empty());
  EXPECT_EQ(LoadTga((dir / "missing.tga").c_str()), nullptr);
  EXPECT_EQ(fake.messages, std::vector<std::string>{"Error: Unable to load TGA File!"});
}

TEST(JpegDecoder, ColourMatchesImageMagickAndOthersAreRefused) {
  REQUIRE_CONVERT();
  FakePlatform fake;
  TempDir dir;
  const std::string colour = dir / "colour.jpg";
  ASSERT_TRUE(RunConvert("-size 24x17 gradient:red-blue -quality 90 '" + colour + "'"));
  const Bytes bytes = ReadAll(colour);
  const Bytes expected = ReadWithConvert(colour, "rgb", dir);  // top row first, as ours
  ImageData image;
  std::string error;
  ASSERT_TRUE(Decode(DecodeJpg, bytes, &image, &error)) << error;
  EXPECT_EQ(image.channels, 3);
  EXPECT_EQ(image.width, 24);
  EXPECT_EQ(image.height, 17);
  ASSERT_EQ(image.pixels.size(), expected.size());
  int worst = 0;
  for (size_t i = 0; i < expected.size(); ++i)
    worst = std::max(worst, std::abs(int(image.pixels[i]) - int(expected[i])));
  EXPECT_LE(worst, 2);
  EXPECT_GT(image.pixels[0], 200);  // red at the top

  for (const char* kind : {"-colorspace Gray", "-colorspace CMYK"}) {
    SCOPED_TRACE(kind);
    const std::string file = dir / "other.jpg";
    ASSERT_TRUE(RunConvert("-size 8x8 gradient:red-blue " + std::string(kind) + " '" + file + "'"));
    EXPECT_FALSE(Decode(DecodeJpg, ReadAll(file), &image, &error));
    EXPECT_EQ(error, "Unable to load JPG File!");
  }

  // Damaged streams are refused and the process carries on: a frame of a kind the library
  // does not decode, a file that is not a JPEG, one that ends after its first marker.
  Bytes damaged = bytes;
  size_t frame = 2;
  while (frame + 1 < damaged.size() && !(damaged[frame] == 0xFF && damaged[frame + 1] == 0xC0))
    ++frame;
  ASSERT_LT(frame + 1, damaged.size());
  damaged[frame + 1] = 0xC3;
  Bytes notJpeg = bytes;
  notJpeg[0] = 0;
  for (const Bytes& bad : {damaged, notJpeg, Bytes(bytes.begin(), bytes.begin() + 2), Bytes{}}) {
    error.clear();
    EXPECT_FALSE(Decode(DecodeJpg, bad, &image, &error));
    EXPECT_EQ(error, "Unable to load JPG File!");
  }

  WriteAll(dir / "damaged.jpg", damaged);
  EXPECT_EQ(LoadJpg((dir / "damaged.jpg").c_str()), nullptr);
  EXPECT_EQ(LoadJpg((dir / "missing.jpg").c_str()), nullptr);
  EXPECT_EQ(fake.messages, (std::vector<std::string>{"Error: Unable to load JPG File!",
                                                     "Error: Unable to load JPG File!"}));
}

TEST(ImageDecoders, TruncatedAtEveryByteNeverReadsPastTheEnd) {
  REQUIRE_CONVERT();
  TempDir dir;
  const std::string source = dir / "noise.ppm";
  WriteNoisePpm(source, 9, 5);
  struct Sample {
    const char* options;
    const char* file;
    Decoder decoder;
    bool everyPrefixFails;  // JPEG and bitmaps without the last row's padding may still decode
  } samples[] = {
      {"-colors 100 -type palette -compress RLE BMP3:", "r8.bmp", DecodeBmp, true},
      {"-colors 12 -type palette -compress None BMP3:", "b4.bmp", DecodeBmp, false},
      {"-define bmp:subtype=RGB565 BMP:", "b16.bmp", DecodeBmp, false},
      {"BMP2:", "core.bmp", DecodeBmp, false},
      {"-compress RLE TGA:", "r24.tga", DecodeTga, true},
      {"-alpha set TGA:", "t32.tga", DecodeTga, true},
      {"-quality 80 JPG:", "p.jpg", DecodeJpg, false},
  };
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.file);
    const std::string file = dir / s.file;
    ASSERT_TRUE(RunConvert("'" + source + "' " + s.options + "'" + file + "'"));
    const Bytes bytes = ReadAll(file);
    ImageData whole;
    std::string error;
    ASSERT_TRUE(Decode(s.decoder, bytes, &whole, &error)) << error;
    for (size_t n = 0; n < bytes.size(); ++n) {
      ImageData image;
      const bool ok = Decode(s.decoder, bytes, n, &image, &error);
      if (s.everyPrefixFails) {
        EXPECT_FALSE(ok) << n;
      }
      if (ok) {
        EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height * image.channels);
      } else {
        EXPECT_FALSE(error.empty()) << n;
      }
    }
  }
}

// A header may claim any size. Pictures over the budget, longer than the allowed side, or
// far larger than their file could describe are refused from the header with the decoder's
// message, before anything is allocated; a JPEG stream that ends early is refused too.
TEST(ImageDecoders, RefuseSizesTheirFilesCannotFill) {
  REQUIRE_CONVERT();
  TempDir dir;
  auto put16 = [](Bytes* b, size_t at, int v, bool bigEndian) {
    (*b)[at + (bigEndian ? 1 : 0)] = uint8_t(v);
    (*b)[at + (bigEndian ? 0 : 1)] = uint8_t(v >> 8);
  };
  ImageData image;
  std::string error;

  // JPEG: a small real file with its frame header claiming more.
  const std::string noise = dir / "noise.ppm", jpeg = dir / "noise.jpg";
  WriteNoisePpm(noise, 64, 64);
  ASSERT_TRUE(RunConvert("'" + noise + "' -quality 90 '" + jpeg + "'"));
  const Bytes real = ReadAll(jpeg);
  ASSERT_TRUE(Decode(DecodeJpg, real, &image, &error));
  size_t frame = 2;
  while (frame + 8 < real.size() && !(real[frame] == 0xFF && real[frame + 1] == 0xC0)) ++frame;
  ASSERT_LT(frame + 8, real.size());
  for (int side : {16384, 4096, 2048}) {
    SCOPED_TRACE(side);
    Bytes claim = real;
    put16(&claim, frame + 5, side, true);
    put16(&claim, frame + 7, side, true);
    error.clear();
    EXPECT_FALSE(Decode(DecodeJpg, claim, &image, &error));
    EXPECT_EQ(error, "Unable to load JPG File!");
  }
  error.clear();
  EXPECT_FALSE(Decode(DecodeJpg, real, real.size() * 3 / 4, &image, &error));  // ends early
  EXPECT_EQ(error, "Unable to load JPG File!");

  // Bitmap: 40-byte header, 8-bit palette of one colour, then the stream.
  auto bitmap = [&](int w, int h, int compression, const Bytes& stream) {
    Bytes b(14 + 40 + 4, 0);
    b[0] = 'B';
    b[1] = 'M';
    b[10] = uint8_t(b.size());
    b[14] = 40;
    put16(&b, 18, w, false);
    put16(&b, 22, h, false);
    b[26] = 1;
    b[28] = 8;
    b[30] = uint8_t(compression);
    b[46] = 1;  // colours used
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
  };
  Bytes solidRows;  // 256 x 256 in runs of at most 255: this much stream fills it
  for (int y = 0; y < 256; ++y) solidRows.insert(solidRows.end(), {255, 0, 1, 0, 0, 0});
  solidRows.insert(solidRows.end(), {0, 1});
  EXPECT_TRUE(Decode(DecodeBmp, bitmap(256, 256, 1, solidRows), &image, &error)) << error;
  struct BadBitmap {
    int w, h, compression;
    Bytes stream;
    const char* message;
  } badBitmaps[] = {
      {4000, 4000, 1, {0, 1}, "Image file conversion error."},   // end mark at once
      {4097, 4096, 0, Bytes(64), "Out of memory."},              // over the budget
      {8, 8, 0, Bytes(60), "Image file conversion error."},      // rows missing
  };
  for (const BadBitmap& b : badBitmaps) {
    SCOPED_TRACE(std::to_string(b.w) + "x" + std::to_string(b.h));
    error.clear();
    EXPECT_FALSE(Decode(DecodeBmp, bitmap(b.w, b.h, b.compression, b.stream), &image, &error));
    EXPECT_EQ(error, b.message);
  }

  // Targa: run-length over the budget, whatever its packets.
  Bytes tga(18, 0);
  tga[2] = 10;
  put16(&tga, 12, 4096, false);
  put16(&tga, 14, 4097, false);
  tga[16] = 24;
  for (int i = 0; i < 200000; ++i) tga.insert(tga.end(), {0xFF, 1, 2, 3});
  error.clear();
  EXPECT_FALSE(Decode(DecodeTga, tga, &image, &error));
  EXPECT_EQ(error, "Unable to load TGA File!");
  // A lower budget is honoured by every decoder.
  ImageLimits small;
  small.maxPixels = 63 * 64;
  EXPECT_FALSE(DecodeJpg(real.data(), real.size(), &image, &error, small));
  small.maxPixels = 64 * 64;
  EXPECT_TRUE(DecodeJpg(real.data(), real.size(), &image, &error, small));
}

TEST(ImageFiles, ReadWholeFile) {
  TempDir dir;
  Bytes big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
  WriteAll(dir / "big.bin", big);
  Bytes bytes;
  ASSERT_TRUE(ReadWholeFile((dir / "big.bin").c_str(), &bytes));
  EXPECT_EQ(bytes, big);
  EXPECT_FALSE(ReadWholeFile(dir.path.c_str(), &bytes));  // a folder opens but cannot be read
  EXPECT_FALSE(ReadWholeFile((dir / "missing").c_str(), &bytes));
  EXPECT_FALSE(ReadWholeFile(nullptr, &bytes));
}

TEST(HudTexture, UndecodableBitmapIsRefusedWithItsMessage) {
  TempDir dir;
  WriteAll(dir / "hud.bmp", Bytes{'B', 'M', 1, 2, 3});
  FakePlatform fake;
  Texture slots[6] = {};
  EXPECT_FALSE(CreateHudTexture(slots, (dir / "hud.bmp").c_str(), 0));
  EXPECT_FALSE(CreateHudTexture(slots, (dir / "none.bmp").c_str(), 1));
  EXPECT_EQ(slots[0], 0u);
  EXPECT_EQ(slots[1], 0u);
  EXPECT_EQ(fake.messages, (std::vector<std::string>{
                               "Error: Unknown DIB file format.",
                               "Error: Failed to open DIB file " + (dir / "none.bmp") + ".\n"}));
}
