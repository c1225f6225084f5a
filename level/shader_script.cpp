// Reading shader scripts: a tokenizer (white space, // and /* */ comments, quoted words,
// braces as words of their own) and a parser that keeps the entries' pictures, blends, alpha
// tests, clamping, culling, sky and nodraw marks. Keyword arguments end with their line, so a keyword with too few
// arguments never takes the next line's keyword for one.
#include "level/shader_script.h"

#include <cctype>
#include <cstdio>

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
  std::string_view Arg(size_t i) const { return i + 1 < words_.size() ? words_[i + 1].text : std::string_view(); }
  size_t Args() const { return words_.size() - 1; }

 private:
  const std::vector<Token>& words_;
};

SurfaceBlend BlendOf(const Line& line) {
  const std::string_view a = line.Arg(0), b = line.Arg(1);
  if (Is(a, "add")) return SurfaceBlend::Additive;
  if (Is(a, "blend")) return SurfaceBlend::Alpha;
  if (Is(a, "gl_one") && Is(b, "gl_one")) return SurfaceBlend::Additive;
  if (Is(a, "gl_src_alpha") && Is(b, "gl_one_minus_src_alpha")) return SurfaceBlend::Alpha;
  if (Is(a, "filter")) return SurfaceBlend::Filter;
  if ((Is(a, "gl_dst_color") && Is(b, "gl_zero")) || (Is(a, "gl_zero") && Is(b, "gl_src_color")))
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

struct Stage {
  std::string image;      // map or clampMap of an image
  bool clamp = false;     // the image came from clampMap
  std::string animFrame;  // first frame of animMap
  SurfaceBlend blend = SurfaceBlend::Opaque;
  AlphaTest alphaTest = AlphaTest::None;
};

// Everything an entry collects while it is read.
struct EntryState {
  ShaderEntry entry;
  std::string editorImage;
  Stage anim;  // the first stage with an animMap

  void EntryKeyword(std::string_view keyword, const Line& line) {
    if (Is(keyword, "surfaceparm")) {
      if (Is(line.Arg(0), "nodraw")) entry.nodraw = true;
      if (Is(line.Arg(0), "sky")) entry.sky = true;
    } else if (Is(keyword, "skyparms")) {
      const std::string_view box = line.Arg(0);
      entry.skyBox = box == "-" ? std::string() : std::string(box);
    } else if (Is(keyword, "qer_editorimage")) {
      editorImage = std::string(line.Arg(0));
    } else if (Is(keyword, "cull")) {
      // One side is culled for back and front alike: the side the face is wound towards is
      // the one seen. An unknown or missing value changes nothing.
      const std::string_view side = line.Arg(0);
      if (Is(side, "none") || Is(side, "twosided") || Is(side, "disable")) entry.twoSided = true;
      if (Is(side, "back") || Is(side, "front")) entry.twoSided = false;
    }
  }

  static void StageKeyword(std::string_view keyword, const Line& line, Stage* stage) {
    if (Is(keyword, "map") || Is(keyword, "clampmap")) {
      const std::string_view image = line.Arg(0);
      if (!image.empty() && image[0] != '$') {
        stage->image = std::string(image);
        stage->clamp = Is(keyword, "clampmap");
      }
    } else if (Is(keyword, "animmap")) {
      if (line.Args() >= 2) stage->animFrame = std::string(line.Arg(1));
    } else if (Is(keyword, "blendfunc")) {
      stage->blend = BlendOf(line);
    } else if (Is(keyword, "alphafunc")) {
      ReadAlphaTest(line, &stage->alphaTest);
    }
  }

  // The picture and how it is drawn, from the stage that gives it.
  void TakePicture(const std::string& picture, const Stage& stage) {
    entry.picture = picture;
    entry.blend = stage.blend;
    entry.alphaTest = stage.alphaTest;
    entry.clamp = stage.clamp;
  }

  void EndStage(const Stage& stage) {
    if (entry.picture.empty() && !stage.image.empty()) TakePicture(stage.image, stage);
    if (anim.animFrame.empty() && !stage.animFrame.empty()) {
      anim = stage;
      anim.clamp = false;  // frames are repeated
    }
  }

  ShaderEntry Finish() {
    if (entry.picture.empty() && !anim.animFrame.empty()) {
      TakePicture(anim.animFrame, anim);
    } else if (entry.picture.empty()) {
      entry.picture = editorImage;
    }
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
  bool ReadBlock(EntryState* state, int depth, Stage* stage, std::string* error) {
    if (depth > MaxShaderNesting) return Fail(error, "blocks nest deeper than " + std::to_string(MaxShaderNesting));
    std::vector<Token> line;
    auto flush = [&]() {
      if (line.empty()) return;
      const Line words(line);
      if (depth == 1) state->EntryKeyword(line[0].text, words);
      if (depth == 2 && stage) EntryState::StageKeyword(line[0].text, words, stage);
      line.clear();
    };
    Token token;
    while (tokens_.Next(&token)) {
      if (token.firstOnLine || token.text == "{" || token.text == "}") flush();
      if (token.text == "}") return true;
      if (token.text == "{") {
        Stage inner;
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
