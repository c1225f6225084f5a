// The MD3 reader: checks every count and offset of a model file against the file size (in
// 64-bit arithmetic, so no count can wrap) and every triangle index against its surface,
// then converts tags and surfaces into an Md3Model. Nothing is kept from a refused file.
//
// What is not checked, and why: the frame records, shader records and normals are never
// read, so their content is free; the shader count of a surface is ignored (tools write the
// shader records in different places, and only the per-surface block offsets are followed).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/md3_format.h"
#include "models/md3_loader.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "render/texture.h"

namespace {

int32_t ReadI32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

int16_t ReadI16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

float ReadF32(const uint8_t* p) {
  const uint32_t bits = static_cast<uint32_t>(ReadI32(p));
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Text of a NUL-padded field; a field without a NUL gives all of its characters.
std::string ReadName(const uint8_t* p, size_t field) {
  size_t length = 0;
  while (length < field && p[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(p), length);
}

// Where one surface's blocks lie, as its header gives them (checked against the file).
struct SurfaceLayout {
  int64_t start = 0;  // file offset of the surface header
  int32_t vertexCount = 0;
  int32_t triangleCount = 0;
  int32_t triangleOffset = 0;
  int32_t texCoordOffset = 0;
  int32_t vertexOffset = 0;
  int32_t endOffset = 0;
};

// Bytes the decoded surface takes in memory: the mesh record, its faces, texture
// coordinates and the vertices of every frame.
int64_t SurfaceDecodedBytes(const SurfaceLayout& layout, int32_t frames) {
  return int64_t{sizeof(Md3Mesh)} + int64_t{layout.triangleCount} * int64_t{sizeof(Md3Face)} +
         int64_t{layout.vertexCount} * 2 * int64_t{sizeof(float)} +
         int64_t{frames} * layout.vertexCount * int64_t{sizeof(Vec3)};
}

class Md3Reader {
 public:
  Md3Reader(const uint8_t* data, size_t size) : data_(data), size_(static_cast<int64_t>(size)) {}

  // True when count records of recordSize bytes starting at start lie inside the file.
  // Divides instead of multiplying, so huge counts cannot overflow.
  bool Fits(int64_t start, int64_t count, int64_t recordSize) const {
    if (start < 0 || start > size_ || count < 0) return false;
    return count <= (size_ - start) / recordSize;
  }

  bool Parse(Md3Model* out, int64_t budget, std::string* error);

 private:
  bool Fail(std::string* error, const std::string& reason) {
    *error = reason;
    return false;
  }
  bool CheckSurface(int index, int64_t start, int32_t frames, SurfaceLayout* layout, std::string* error);
  bool DecodeSurface(int index, const SurfaceLayout& layout, int32_t frames, Md3Mesh* mesh,
                     std::string* error);

  const uint8_t* data_;
  int64_t size_;
};

bool Md3Reader::Parse(Md3Model* out, int64_t budget, std::string* error) {
  if (size_ < Md3HeaderSize) return Fail(error, "shorter than its 108-byte header");
  if (std::memcmp(data_, "IDP3", 4) != 0 || ReadI32(data_ + 4) != Md3Version)
    return Fail(error, "Version not 15");

  const int32_t frames = ReadI32(data_ + 76);
  const int32_t tagCount = ReadI32(data_ + 80);
  const int32_t surfaceCount = ReadI32(data_ + 84);
  // Drawing always shows some frame, so a model needs at least one.
  if (frames < 1) return Fail(error, "frame count " + std::to_string(frames) + " is below 1");
  if (tagCount < 0) return Fail(error, "tag count " + std::to_string(tagCount) + " is negative");
  if (surfaceCount < 0)
    return Fail(error, "surface count " + std::to_string(surfaceCount) + " is negative");
  if (!Fits(Md3HeaderSize, frames, Md3FrameRecordSize))
    return Fail(error, std::to_string(frames) + " frames do not fit in the file");
  const int64_t tagStart = Md3HeaderSize + int64_t{frames} * Md3FrameRecordSize;
  const int64_t tagRecords = int64_t{frames} * tagCount;
  if (!Fits(tagStart, tagRecords, Md3TagRecordSize))
    return Fail(error, std::to_string(tagCount) + " tags per frame do not fit in the file");

  int64_t surfaceStart = tagStart + tagRecords * Md3TagRecordSize;
  // Every surface takes at least its header, so the count is bounded by the file size.
  if (!Fits(surfaceStart, surfaceCount, Md3SurfaceHeaderSize))
    return Fail(error, std::to_string(surfaceCount) + " surfaces do not fit in the file");

  // First every surface header is checked and the decoded size of the whole model added up:
  // surfaces may share their blocks, so a small file can claim far more than it holds, and
  // nothing is allocated until the sum is known to be within the budget.
  std::vector<SurfaceLayout> layouts(static_cast<size_t>(surfaceCount));
  int64_t decoded = tagRecords * int64_t{sizeof(Md3Tag)} + int64_t{tagCount} * int64_t{sizeof(Md3Model*)};
  for (int s = 0; s < surfaceCount; ++s) {
    SurfaceLayout& layout = layouts[static_cast<size_t>(s)];
    if (!CheckSurface(s, surfaceStart, frames, &layout, error)) return false;
    surfaceStart = layout.start + layout.endOffset;
    decoded += SurfaceDecodedBytes(layout, frames);
  }
  if (decoded > budget)
    return Fail(error, "decodes to " + std::to_string(decoded) + " bytes, over its budget of " +
                           std::to_string(budget) + " bytes");

  Md3Model model;
  model.frameCount = frames;
  model.tagCount = tagCount;
  model.tags.resize(static_cast<size_t>(tagRecords));
  for (int64_t i = 0; i < tagRecords; ++i) {
    const uint8_t* p = data_ + tagStart + i * Md3TagRecordSize;
    Md3Tag& tag = model.tags[static_cast<size_t>(i)];
    const std::string name = ReadName(p, 64);
    std::memcpy(tag.name, name.data(), name.size());
    float values[12];
    for (int k = 0; k < 12; ++k) {
      values[k] = ReadF32(p + 64 + 4 * k);
      if (!std::isfinite(values[k]))
        return Fail(error, "tag " + std::to_string(i) + " holds a number that is not finite");
    }
    tag.origin = Vec3(values[0], values[1], values[2]);
    std::memcpy(tag.axes, values + 3, sizeof tag.axes);
  }
  model.links.assign(static_cast<size_t>(tagCount), nullptr);

  // Surfaces without vertices (other tools write them for empty parts) are stepped over.
  model.meshes.reserve(static_cast<size_t>(surfaceCount));
  for (int s = 0; s < surfaceCount; ++s) {
    const SurfaceLayout& layout = layouts[static_cast<size_t>(s)];
    if (layout.vertexCount == 0) continue;
    Md3Mesh mesh;
    if (!DecodeSurface(s, layout, frames, &mesh, error)) return false;
    model.meshes.push_back(std::move(mesh));
  }
  model.meshCount = static_cast<int32_t>(model.meshes.size());
  *out = std::move(model);
  return true;
}

bool Md3Reader::CheckSurface(int index, int64_t start, int32_t frames, SurfaceLayout* layout,
                             std::string* error) {
  const std::string what = "surface " + std::to_string(index);
  if (!Fits(start, 1, Md3SurfaceHeaderSize)) return Fail(error, what + " lies outside the file");
  const uint8_t* h = data_ + start;
  const int32_t surfaceFrames = ReadI32(h + 72);
  const int32_t vertexCount = ReadI32(h + 80);
  const int32_t triangleCount = ReadI32(h + 84);
  const int32_t triangleOffset = ReadI32(h + 88);
  const int32_t texCoordOffset = ReadI32(h + 96);
  const int32_t vertexOffset = ReadI32(h + 100);
  const int32_t endOffset = ReadI32(h + 104);

  // The next surface must start behind this one's header, which also ends every loop.
  if (endOffset < Md3SurfaceHeaderSize || !Fits(start, endOffset, 1))
    return Fail(error, what + " end offset " + std::to_string(endOffset) + " is out of range");
  layout->start = start;
  layout->endOffset = endOffset;

  // A surface without vertices draws nothing, whatever else its header says: it is stepped
  // over and left out of the model.
  if (vertexCount == 0) return true;
  if (surfaceFrames != frames)
    return Fail(error, what + " has " + std::to_string(surfaceFrames) + " frames, the file " +
                           std::to_string(frames));
  if (vertexCount < 0)
    return Fail(error, what + " vertex count " + std::to_string(vertexCount) + " is negative");
  if (triangleCount < 0)
    return Fail(error, what + " triangle count " + std::to_string(triangleCount) + " is negative");
  if (triangleOffset < 0 || !Fits(start + triangleOffset, triangleCount, Md3TriangleSize))
    return Fail(error, what + " triangles lie outside the file");
  if (texCoordOffset < 0 || !Fits(start + texCoordOffset, vertexCount, Md3TexCoordSize))
    return Fail(error, what + " texture coordinates lie outside the file");
  const int64_t vertexRecords = int64_t{frames} * vertexCount;
  if (vertexOffset < 0 || !Fits(start + vertexOffset, vertexRecords, Md3VertexSize))
    return Fail(error, what + " vertices lie outside the file");

  layout->vertexCount = vertexCount;
  layout->triangleCount = triangleCount;
  layout->triangleOffset = triangleOffset;
  layout->texCoordOffset = texCoordOffset;
  layout->vertexOffset = vertexOffset;
  return true;
}

bool Md3Reader::DecodeSurface(int index, const SurfaceLayout& layout, int32_t frames, Md3Mesh* mesh,
                              std::string* error) {
  const std::string what = "surface " + std::to_string(index);
  const int64_t start = layout.start;
  const int32_t vertexCount = layout.vertexCount;
  Md3Mesh result;
  result.name = ReadName(data_ + start + 4, 64);
  result.vertexCount = vertexCount;
  result.texCoordCount = vertexCount;
  result.faceCount = layout.triangleCount;

  result.faces.resize(static_cast<size_t>(layout.triangleCount));
  for (int32_t i = 0; i < layout.triangleCount; ++i) {
    const uint8_t* p = data_ + start + layout.triangleOffset + int64_t{i} * Md3TriangleSize;
    Md3Face& face = result.faces[static_cast<size_t>(i)];
    for (int k = 0; k < 3; ++k) {
      const int32_t v = ReadI32(p + 4 * k);
      if (v < 0 || v >= vertexCount)
        return Fail(error, what + " triangle " + std::to_string(i) + " uses vertex " +
                               std::to_string(v) + " of " + std::to_string(vertexCount));
      face.vertexIndex[k] = v;
      face.texCoordIndex[k] = v;
    }
  }

  result.texCoords.resize(static_cast<size_t>(vertexCount) * 2);
  for (int32_t i = 0; i < vertexCount; ++i) {
    const uint8_t* p = data_ + start + layout.texCoordOffset + int64_t{i} * Md3TexCoordSize;
    const float s = ReadF32(p), t = ReadF32(p + 4);
    if (!std::isfinite(s) || !std::isfinite(t))
      return Fail(error, what + " texture coordinate " + std::to_string(i) + " is not finite");
    result.texCoords[2 * static_cast<size_t>(i)] = s;
    result.texCoords[2 * static_cast<size_t>(i) + 1] = -t;
  }

  const int64_t vertexRecords = int64_t{frames} * vertexCount;
  result.vertices.resize(static_cast<size_t>(vertexRecords));
  for (int64_t i = 0; i < vertexRecords; ++i) {
    const uint8_t* p = data_ + start + layout.vertexOffset + i * Md3VertexSize;
    result.vertices[static_cast<size_t>(i)] =
        Vec3(ReadI16(p) * Md3VertexScale, ReadI16(p + 2) * Md3VertexScale, ReadI16(p + 4) * Md3VertexScale);
  }

  *mesh = std::move(result);
  return true;
}

}  // namespace

int64_t Md3FileBudget(size_t fileSize) {
  // Blocks that share no bytes decode to less than twice the file; the rest is slack.
  const int64_t fromFile = 3 * static_cast<int64_t>(std::min<size_t>(fileSize, size_t{1} << 40)) + (int64_t{64} << 10);
  return std::min(fromFile, Md3ModelBudgetBytes);
}

int64_t Md3DecodedBytes(const Md3Model& model) {
  int64_t bytes = static_cast<int64_t>(model.tags.size() * sizeof(Md3Tag) +
                                       model.links.size() * sizeof(Md3Model*));
  for (const Md3Mesh& mesh : model.meshes)
    bytes += static_cast<int64_t>(sizeof(Md3Mesh) + mesh.faces.size() * sizeof(Md3Face) +
                                  mesh.texCoords.size() * sizeof(float) + mesh.vertices.size() * sizeof(Vec3));
  return bytes;
}

bool ParseMd3(const uint8_t* data, size_t size, Md3Model* model, std::string* error, int64_t budget) {
  std::string reason;
  Md3Reader reader(data, size);
  if (!reader.Parse(model, std::max<int64_t>(0, std::min(budget, Md3FileBudget(size))), &reason)) {
    if (error) *error = reason;
    return false;
  }
  return true;
}

bool ImportMd3(Md3Model* model, const char* path, int64_t budget) {
  std::vector<uint8_t> bytes;
  // An oversized file is refused before it is read.
  const bool oversized = path && files::Size(path) > Md3MaxFileBytes;
  if (!path || (!oversized && !ReadWholeFile(path, &bytes))) {
    const std::string text = std::string("9 Unable to find the file: ") + (path ? path : "") + "!";
    platform::ShowError(text.c_str());
    return false;
  }
  std::string reason;
  if (oversized || static_cast<int64_t>(bytes.size()) > Md3MaxFileBytes) {
    reason = "larger than 64 MB";
  } else if (ParseMd3(bytes.data(), bytes.size(), model, &reason, budget)) {
    return true;
  }
  const std::string text = "10 Invalid file format (" + reason + "): " + path + "!";
  platform::ShowError(text.c_str());
  return false;
}
