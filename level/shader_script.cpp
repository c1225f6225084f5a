// Reading shader scripts: a tokenizer (white space, // and /* */ comments, quoted words,
// braces as words of their own) and a parser that keeps the entries' pictures, blends, alpha
// tests, clamping, culling, sky and nodraw marks. Keyword arguments end with their line, so a keyword with too few
// arguments never takes the next line's keyword for one.
#include "level/shader_script.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/files.h"

namespace {

struct Token {
  std::string_view text;
  bool firstOnLine = false;
};

bool Space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  // The next word, or false at the end of the text.
  bool Next(Token* token) {
    bool newLine = at_ == 0;
    for (;;) {
      while (at_ < text_.size() && Space(text_[at_])) {
        if (text_[at_] == '\n') newLine = true;
        ++at_;
      }
      if (at_ + 1 < text_.size() && text_[at_] == '/' && text_[at_ + 1] == '/') {
        while (at_ < text_.size() && text_[at_] != '\n') ++at_;
        continue;
      }
      if (at_ + 1 < text_.size() && text_[at_] == '/' && text_[at_ + 1] == '*') {
        at_ += 2;
        while (at_ < text_.size() && !(text_[at_] == '*' && at_ + 1 < text_.size() && text_[at_ + 1] == '/')) {
          if (text_[at_] == '\n') newLine = true;
          ++at_;
        }
        at_ = at_ + 2 <= text_.size() ? at_ + 2 : text_.size();
        continue;
      }
      break;
    }
    if (at_ >= text_.size()) return false;
    token->firstOnLine = newLine;
    const size_t start = at_;
    if (text_[at_] == '{' || text_[at_] == '}') {
      token->text = text_.substr(at_++, 1);
      return true;
    }
    if (text_[at_] == '"') {
      const size_t open = ++at_;
      while (at_ < text_.size() && text_[at_] != '"' && text_[at_] != '\n') ++at_;
      token->text = Cut(text_.substr(open, at_ - open));
      if (at_ < text_.size() && text_[at_] == '"') ++at_;
      return true;
    }
    while (at_ < text_.size() && !Space(text_[at_]) && text_[at_] != '{' && text_[at_] != '}' &&
           !(text_[at_] == '/' && at_ + 1 < text_.size() && (text_[at_ + 1] == '/' || text_[at_ + 1] == '*')))
      ++at_;
    token->text = Cut(text_.substr(start, at_ - start));
    return true;
  }

 private:
  static std::string_view Cut(std::string_view word) {
    return word.size() > MaxShaderTokenLength ? word.substr(0, MaxShaderTokenLength) : word;
  }
  std::string_view text_;
  size_t at_ = 0;
};

bool Is(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(word[i])) != keyword[i]) return false;
  return true;
}

// The arguments of a keyword: the words after it on its own line.
class Line {
 public:
  explicit Line(const std::vector<Token>& words) : words_(words) {}
  std::string_view Keyword() const { return words_[0].text; }
  std::string_view Arg(size_t i) const { return i + 1 < words_.size() ? words_[i + 1].text : std::string_view(); }
  size_t Args() const { return words_.size() - 1; }

 private:
  const std::vector<Token>& words_;
};

// The GL blend factor a script names, or 0 for none it knows.
uint32_t BlendFactor(std::string_view name) {
  static const struct {
    const char* name;
    uint32_t factor;
  } factors[] = {
      {"gl_one", GL_ONE},
      {"gl_zero", GL_ZERO},
      {"gl_dst_color", GL_DST_COLOR},
      {"gl_one_minus_dst_color", GL_ONE_MINUS_DST_COLOR},
      {"gl_src_color", GL_SRC_COLOR},
      {"gl_one_minus_src_color", GL_ONE_MINUS_SRC_COLOR},
      {"gl_src_alpha", GL_SRC_ALPHA},
      {"gl_one_minus_src_alpha", GL_ONE_MINUS_SRC_ALPHA},
      {"gl_dst_alpha", GL_DST_ALPHA},
      {"gl_one_minus_dst_alpha", GL_ONE_MINUS_DST_ALPHA},
      {"gl_src_alpha_saturate", GL_SRC_ALPHA_SATURATE},
  };
  for (const auto& f : factors)
    if (Is(name, f.name)) return f.factor;
  return 0xFFFFFFFFu;
}

// The blend a stage's factors amount to for a surface drawn with one picture.
SurfaceBlend BlendOf(uint32_t source, uint32_t destination) {
  if (source == GL_ONE && destination == GL_ONE) return SurfaceBlend::Additive;
  if (source == GL_SRC_ALPHA && destination == GL_ONE_MINUS_SRC_ALPHA) return SurfaceBlend::Alpha;
  if ((source == GL_DST_COLOR && destination == GL_ZERO) || (source == GL_ZERO && destination == GL_SRC_COLOR))
    return SurfaceBlend::Filter;
  return SurfaceBlend::Opaque;
}

// An unknown or missing value leaves the test as it was.
void ReadAlphaTest(const Line& line, AlphaTest* test) {
  const std::string_view a = line.Arg(0);
  if (Is(a, "gt0")) *test = AlphaTest::GT0;
  if (Is(a, "lt128")) *test = AlphaTest::LT128;
  if (Is(a, "ge128")) *test = AlphaTest::GE128;
}

// The numbers of a line from argument `first` on, parentheses left out ("( 1 0.5 0 )" and
// "(1 0.5 0)" alike); a word that is no number counts as 0.
std::vector<float> Numbers(const Line& line, size_t first) {
  std::vector<float> numbers;
  for (size_t i = first; i < line.Args(); ++i) {
    std::string word;
    for (char c : line.Arg(i))
      if (c != '(' && c != ')') word += c;
    if (word.empty()) continue;
    numbers.push_back(std::strtof(word.c_str(), nullptr));
  }
  return numbers;
}

// A wave written FUNC BASE AMP PHASE FREQ from argument `first`; false when it is not one.
bool ReadWave(const Line& line, size_t first, Wave* wave) {
  static const struct {
    const char* name;
    WaveFunction function;
  } functions[] = {{"sin", WaveFunction::Sin},           {"triangle", WaveFunction::Triangle},
                   {"square", WaveFunction::Square},     {"sawtooth", WaveFunction::Sawtooth},
                   {"inversesawtooth", WaveFunction::InverseSawtooth}, {"noise", WaveFunction::Noise}};
  const std::string_view name = line.Arg(first);
  for (const auto& f : functions)
    if (Is(name, f.name)) {
      const std::vector<float> v = Numbers(line, first + 1);
      if (v.size() < 4) return false;
      *wave = Wave{f.function, v[0], v[1], v[2], v[3]};
      return true;
    }
  return false;
}

std::string Words(const Line& line, size_t count) {
  std::string text;
  for (size_t i = 0; i < count && i <= line.Args(); ++i) {
    const std::string_view word = i == 0 ? line.Keyword() : line.Arg(i - 1);
    if (word.empty()) break;
    if (!text.empty()) text += ' ';
    text += word;
  }
  return text;
}

// Everything an entry collects while it is read.
struct EntryState {
  ShaderEntry entry;
  std::string editorImage;

  void Unsupported(const Line& line, size_t words) {
    if (entry.unsupported.empty()) entry.unsupported = Words(line, words);
  }

  void EntryKeyword(std::string_view keyword, const Line& line) {
    if (Is(keyword, "surfaceparm")) {
      if (Is(line.Arg(0), "nodraw")) entry.nodraw = true;
      if (Is(line.Arg(0), "sky")) entry.sky = true;
      if (Is(line.Arg(0), "fog")) entry.fog = true;
    } else if (Is(keyword, "skyparms")) {
      const std::string_view box = line.Arg(0);
      entry.skyBox = box == "-" ? std::string() : std::string(box);
      const std::vector<float> height = Numbers(line, 1);
      if (!height.empty() && height[0] > 0) entry.cloudHeight = height[0];
    } else if (Is(keyword, "fogparms")) {
      const std::vector<float> v = Numbers(line, 0);
      if (v.size() >= 4) {
        for (int c = 0; c < 3; ++c) entry.fogColour[c] = std::clamp(v[c], 0.0f, 1.0f);
        entry.fogDistance = std::max(v[3], 1.0f);
        entry.fog = true;
      }
    } else if (Is(keyword, "qer_editorimage")) {
      editorImage = std::string(line.Arg(0));
    } else if (Is(keyword, "cull")) {
      // none, twosided, disable: both sides seen; back: the back side only; front (the
      // default): the front side only. An unknown or missing value changes nothing.
      const std::string_view side = line.Arg(0);
      if (Is(side, "none") || Is(side, "twosided") || Is(side, "disable")) entry.twoSided = true, entry.backSided = false;
      if (Is(side, "back") || Is(side, "backside") || Is(side, "backsided"))
        entry.twoSided = false, entry.backSided = true;
      if (Is(side, "front")) entry.twoSided = false, entry.backSided = false;
    } else if (Is(keyword, "deformvertexes")) {
      VertexDeform deform;
      if (Is(line.Arg(0), "autosprite")) {
        deform.autosprite = true;
        entry.deforms.push_back(deform);
      } else if (Is(line.Arg(0), "wave") && ReadWave(line, 2, &deform.wave)) {
        const std::vector<float> spread = Numbers(line, 1);
        deform.spread = spread.empty() ? 0 : spread[0];
        entry.deforms.push_back(deform);
      } else {
        Unsupported(line, 2);
      }
    }
  }

  void StageKeyword(std::string_view keyword, const Line& line, ShaderStage* stage) {
    if (Is(keyword, "map") || Is(keyword, "clampmap")) {
      const std::string_view image = line.Arg(0);
      stage->frames.clear();
      if (Is(image, "$lightmap")) {
        stage->image = StageImage::Lightmap;
      } else if (Is(image, "$whiteimage")) {
        stage->image = StageImage::White;
      } else if (!image.empty() && image[0] == '$') {
        Unsupported(line, 2);
      } else if (!image.empty()) {
        stage->image = StageImage::Picture;
        stage->frames.push_back(std::string(image));
        stage->animation = false;
        stage->clamp = Is(keyword, "clampmap");
      }
    } else if (Is(keyword, "animmap")) {
      const std::vector<float> rate = Numbers(line, 0);
      if (line.Args() >= 2 && !rate.empty()) {
        stage->image = StageImage::Picture;
        stage->animation = true;
        stage->frameRate = std::max(rate[0], 0.0f);
        stage->frames.clear();
        for (size_t i = 1; i < line.Args() && stage->frames.size() < MaxAnimationFrames; ++i)
          stage->frames.push_back(std::string(line.Arg(i)));
      }
    } else if (Is(keyword, "blendfunc")) {
      const std::string_view a = line.Arg(0);
      uint32_t source = BlendFactor(a), destination = BlendFactor(line.Arg(1));
      if (Is(a, "add")) source = GL_ONE, destination = GL_ONE;
      if (Is(a, "filter")) source = GL_DST_COLOR, destination = GL_ZERO;
      if (Is(a, "blend")) source = GL_SRC_ALPHA, destination = GL_ONE_MINUS_SRC_ALPHA;
      if (source == 0xFFFFFFFFu || destination == 0xFFFFFFFFu) return;  // unknown: stays as it was
      stage->blends = !(source == GL_ONE && destination == GL_ZERO);
      stage->blendSource = source;
      stage->blendDestination = destination;
    } else if (Is(keyword, "alphafunc")) {
      ReadAlphaTest(line, &stage->alphaTest);
    } else if (Is(keyword, "depthwrite")) {
      stage->depthWrite = true;
    } else if (Is(keyword, "rgbgen")) {
      const std::string_view kind = line.Arg(0);
      const std::vector<float> v = Numbers(line, 1);
      if (Is(kind, "identity")) stage->colour = ColourSource::Identity;
      else if (Is(kind, "identitylighting")) stage->colour = ColourSource::IdentityLighting;
      else if (Is(kind, "vertex")) stage->colour = ColourSource::Vertex;
      else if (Is(kind, "exactvertex")) stage->colour = ColourSource::ExactVertex;
      else if (Is(kind, "const") && v.size() >= 3) {
        stage->colour = ColourSource::Constant;
        for (int c = 0; c < 3; ++c) stage->constant[c] = std::clamp(v[c], 0.0f, 1.0f);
      } else if (Is(kind, "wave") && ReadWave(line, 1, &stage->colourWave)) {
        stage->colour = ColourSource::Wave;
      } else {
        Unsupported(line, 2);
      }
    } else if (Is(keyword, "alphagen")) {
      const std::string_view kind = line.Arg(0);
      const std::vector<float> v = Numbers(line, 1);
      if (Is(kind, "identity")) stage->alpha = AlphaSource::Identity;
      else if (Is(kind, "vertex")) stage->alpha = AlphaSource::Vertex;
      else if (Is(kind, "const") && !v.empty()) {
        stage->alpha = AlphaSource::Constant;
        stage->constant[3] = std::clamp(v[0], 0.0f, 1.0f);
      } else if (Is(kind, "wave") && ReadWave(line, 1, &stage->alphaWave)) {
        stage->alpha = AlphaSource::Wave;
      } else {
        Unsupported(line, 2);
      }
    } else if (Is(keyword, "tcmod")) {
      if (stage->texMods.size() >= MaxTexMods) return;
      TexMod mod;
      const std::string_view kind = line.Arg(0);
      const std::vector<float> v = Numbers(line, 1);
      auto take = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) mod.values[i] = i < v.size() ? v[i] : 0;
      };
      if (Is(kind, "scroll")) mod.kind = TexModKind::Scroll, take(2);
      else if (Is(kind, "scale")) mod.kind = TexModKind::Scale, take(2);
      else if (Is(kind, "rotate")) mod.kind = TexModKind::Rotate, take(1);
      else if (Is(kind, "transform")) mod.kind = TexModKind::Transform, take(6);
      else if (Is(kind, "turb")) {
        // turb BASE AMP PHASE FREQ, with or without the word "sin" before the numbers
        const size_t first = Is(line.Arg(1), "sin") ? 2 : 1;
        const std::vector<float> w = Numbers(line, first);
        if (w.size() < 4) return Unsupported(line, 2);
        mod.kind = TexModKind::Turb;
        mod.wave = Wave{WaveFunction::Sin, w[0], w[1], w[2], w[3]};
      } else if (Is(kind, "stretch") && ReadWave(line, 1, &mod.wave)) {
        mod.kind = TexModKind::Stretch;
      } else {
        return Unsupported(line, 2);
      }
      stage->texMods.push_back(mod);
    } else if (Is(keyword, "tcgen")) {
      const std::string_view kind = line.Arg(0);
      if (Is(kind, "lightmap") && stage->image == StageImage::Picture && stage->frames.empty())
        stage->image = StageImage::Lightmap;
      else if (!Is(kind, "base") && !Is(kind, "texture") && !Is(kind, "lightmap"))
        Unsupported(line, 2);
    } else if (Is(keyword, "depthfunc") || Is(keyword, "detail")) {
      // later stages are drawn at equal depth anyway; detail stages are ordinary ones
    } else {
      Unsupported(line, 2);
    }
  }

  // The picture and how it is tested and wrapped, from the stage that gives it.
  void TakePicture(const std::string& picture, const ShaderStage& stage) {
    entry.picture = picture;
    entry.alphaTest = stage.alphaTest;
    entry.clamp = stage.clamp && stage.frames.size() == 1;
  }

  void EndStage(const ShaderStage& stage) {
    if (entry.stages.size() >= MaxShaderStages) return;
    entry.stages.push_back(stage);
  }

  ShaderEntry Finish() {
    // The picture: the first stage's own picture, else the first frame of an animMap, else
    // the editor's image.
    for (const ShaderStage& stage : entry.stages)
      if (!stage.animation && stage.frames.size() == 1 && stage.image == StageImage::Picture) {
        TakePicture(stage.frames[0], stage);
        break;
      }
    if (entry.picture.empty())
      for (const ShaderStage& stage : entry.stages)
        if (!stage.frames.empty() && stage.image == StageImage::Picture) {
          TakePicture(stage.frames[0], stage);
          entry.clamp = false;  // frames are repeated
          break;
        }
    if (entry.picture.empty()) entry.picture = editorImage;
    // How the surface meets what lies behind it comes from its first stage.
    if (!entry.stages.empty() && entry.stages[0].blends)
      entry.blend = BlendOf(entry.stages[0].blendSource, entry.stages[0].blendDestination);
    return std::move(entry);
  }
};

class Parser {
 public:
  explicit Parser(std::string_view text) : tokens_(text) {}

  bool Run(std::vector<ShaderEntry>* entries, std::string* error) {
    Token token;
    bool have = tokens_.Next(&token);
    while (have) {
      if (token.text == "}") {  // a stray close at the top: nothing to close
        have = tokens_.Next(&token);
        continue;
      }
      if (token.text == "{") return Fail(error, "a block without a name");
      EntryState state;
      state.entry.name = files::NormalName(std::string(token.text));
      if (!tokens_.Next(&token) || token.text != "{")
        return Fail(error, "entry \"" + state.entry.name + "\" has no block");
      if (!ReadBlock(&state, 1, nullptr, error)) return false;
      entries->push_back(state.Finish());
      have = tokens_.Next(&token);
    }
    return true;
  }

 private:
  // Reads up to the brace that closes the block just opened at `depth` (1: the entry,
  // 2: a stage, deeper: skipped). Keywords are gathered a line at a time.
  bool ReadBlock(EntryState* state, int depth, ShaderStage* stage, std::string* error) {
    if (depth > MaxShaderNesting) return Fail(error, "blocks nest deeper than " + std::to_string(MaxShaderNesting));
    std::vector<Token> line;
    auto flush = [&]() {
      if (line.empty()) return;
      const Line words(line);
      if (depth == 1) state->EntryKeyword(line[0].text, words);
      if (depth == 2 && stage) state->StageKeyword(line[0].text, words, stage);
      line.clear();
    };
    Token token;
    while (tokens_.Next(&token)) {
      if (token.firstOnLine || token.text == "{" || token.text == "}") flush();
      if (token.text == "}") return true;
      if (token.text == "{") {
        ShaderStage inner;
        if (!ReadBlock(state, depth + 1, depth == 1 ? &inner : nullptr, error)) return false;
        if (depth == 1) state->EndStage(inner);
        continue;
      }
      line.push_back(token);
    }
    return Fail(error, "entry \"" + state->entry.name + "\" is not closed");
  }

  static bool Fail(std::string* error, const std::string& reason) {
    if (error) *error = reason;
    return false;
  }

  Tokenizer tokens_;
};

}  // namespace

bool ParseShaderScript(std::string_view text, std::vector<ShaderEntry>* entries, std::string* error) {
  return Parser(text).Run(entries, error);
}

const ShaderEntry* ShaderLibrary::Find(const std::string& name) const {
  const auto found = entries.find(files::NormalName(name));
  return found == entries.end() ? nullptr : &found->second;
}

void ShaderLibrary::Add(ShaderEntry entry) {
  const std::string key = entry.name;
  entries.emplace(key, std::move(entry));
}

ShaderLibrary LoadShaderLibrary() {
  ShaderLibrary library;
  for (const std::string& script : files::List("scripts", ".shader")) {
    std::vector<uint8_t> bytes;
    if (!files::ReadFile(script, &bytes, MaxShaderScriptBytes)) {
      std::fprintf(stderr, "Shader script skipped, it cannot be read: %s\n", script.c_str());
      continue;
    }
    std::vector<ShaderEntry> entries;
    std::string reason;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!ParseShaderScript(text, &entries, &reason))
      std::fprintf(stderr, "Shader script %s: %s; the entries before it are kept\n", script.c_str(), reason.c_str());
    for (ShaderEntry& entry : entries) library.Add(std::move(entry));
  }
  return library;
}
