// What the shader scripts say about a surface name: its picture, how it is blended, tested
// and wrapped, whether both sides are seen, and whether it is never drawn or is sky. The
// level keeps these records; level/shader_script.h reads them.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// How a surface's picture meets what is behind it.
enum class SurfaceBlend : uint8_t {
  Opaque,    // replaces it (also every blend the drawing does not know)
  Additive,  // `blendFunc add` or `GL_ONE GL_ONE`: added to it
  Alpha,     // `blendFunc blend` or `GL_SRC_ALPHA GL_ONE_MINUS_SRC_ALPHA`: mixed by alpha
  Filter,    // `blendFunc filter`, `GL_DST_COLOR GL_ZERO` or `GL_ZERO GL_SRC_COLOR`: multiplies it
};

// Which texels of a surface's picture are drawn at all (`alphaFunc`), by their alpha.
enum class AlphaTest : uint8_t {
  None,   // every texel
  GT0,    // alpha above 0
  LT128,  // alpha below one half
  GE128,  // alpha of one half or more
};

// A periodic value: base + amplitude * function((time + phase) * frequency), the function
// taken over one period in 0..1.
enum class WaveFunction : uint8_t { Sin, Triangle, Square, Sawtooth, InverseSawtooth, Noise };
struct Wave {
  WaveFunction function = WaveFunction::Sin;
  float base = 0, amplitude = 0, phase = 0, frequency = 0;
};

// How a stage's texture coordinates move, applied in the order written.
enum class TexModKind : uint8_t {
  Scroll,     // values 0, 1: repeats per second along s and t
  Scale,      // values 0, 1: factors on s and t
  Rotate,     // value 0: degrees per second about the picture's centre
  Turb,       // wave (base, amplitude, phase, frequency): a wobble of the coordinates
  Stretch,    // wave: a scale about the picture's centre
  Transform,  // values 0..5: s' = s m00 + t m10 + t0, t' = s m01 + t m11 + t1
};
struct TexMod {
  TexModKind kind = TexModKind::Scroll;
  float values[6] = {0, 0, 0, 0, 0, 0};
  Wave wave;
};

// Where a stage's colour and alpha come from.
enum class ColourSource : uint8_t { Identity, IdentityLighting, Vertex, ExactVertex, Constant, Wave };
enum class AlphaSource : uint8_t { Identity, Vertex, Constant, Wave };
enum class StageImage : uint8_t { Picture, Lightmap, White };  // map PATH, $lightmap, $whiteimage

// One stage of an entry: what it draws and how it meets what lies under it.
struct ShaderStage {
  StageImage image = StageImage::Picture;
  std::vector<std::string> frames;  // the picture, or animMap's frames (as written)
  bool animation = false;           // the frames came from animMap
  float frameRate = 0;              // animMap frames per second
  bool clamp = false;               // clampMap
  bool blends = false;              // blendFunc given
  uint32_t blendSource = 1, blendDestination = 0;  // GL blend factors (GL_ONE, GL_ZERO)
  AlphaTest alphaTest = AlphaTest::None;
  bool depthWrite = false;          // depthWrite: a blended stage writes depth too
  ColourSource colour = ColourSource::Identity;
  AlphaSource alpha = AlphaSource::Identity;
  float constant[4] = {1, 1, 1, 1};  // rgbGen const colour, alphaGen const alpha
  Wave colourWave, alphaWave;
  std::vector<TexMod> texMods;
};

// deformVertexes: a wave along the vertex normals (phase spread by position / spread), or
// quads turned to face the viewer.
struct VertexDeform {
  bool autosprite = false;
  float spread = 0;
  Wave wave;
};

struct ShaderEntry {
  std::string name;     // lower case, '/'-separated (files::NormalName)
  // The picture for the name: the map of the first stage that maps an image (not $lightmap,
  // $whiteimage or another $ name), else the first frame of the first animMap, else the
  // qer_editorimage; empty when the entry names none. As written in the script.
  std::string picture;
  SurfaceBlend blend = SurfaceBlend::Opaque;  // of the first stage: how the surface meets what is behind
  AlphaTest alphaTest = AlphaTest::None;      // of the stage that gave the picture
  bool clamp = false;     // the picture came from clampMap: not repeated past its edges
  bool twoSided = false;  // cull none, twosided or disable: seen from both sides
  bool backSided = false; // cull back: seen from its back only
  bool nodraw = false;  // surfaceparm nodraw: never drawn
  bool sky = false;     // surfaceparm sky: a view into the sky
  // skyParms' far box: the pictures are skyBox + "_rt", "_bk", "_lf", "_ft", "_up", "_dn".
  // Empty when the entry has none, or writes "-".
  std::string skyBox;
  float cloudHeight = 512;  // skyParms' cloud height: the dome the stages of a sky are drawn on
  bool fog = false;         // fogparms: the entry bounds a fog volume
  float fogColour[3] = {0, 0, 0};
  float fogDistance = 0;    // units of fog that hide everything
  std::vector<ShaderStage> stages;
  std::vector<VertexDeform> deforms;
  // The first keyword (with its value) the drawing does not know, empty when it knows them
  // all: such an entry is drawn with its picture alone.
  std::string unsupported;
};

// Every entry of the scripts, by name. When two entries share a name the first one read
// (scripts in name order) stays.
struct ShaderLibrary {
  std::unordered_map<std::string, ShaderEntry> entries;
  // The entry for a surface name (any case, '/' or '\'), or null.
  const ShaderEntry* Find(const std::string& name) const;
  void Add(ShaderEntry entry);
};
