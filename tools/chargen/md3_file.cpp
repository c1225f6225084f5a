// Writes MD3 files: header, frame records, tags frame by frame, then the surfaces, each
// with its header, shader record, triangles, texture coordinates and packed vertices.
#include "tools/chargen/md3_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int HeaderBytes = 108;
constexpr int FrameBytes = 56;
constexpr int TagBytes = 112;
constexpr int SurfaceHeaderBytes = 108;
constexpr int ShaderBytes = 68;

struct Writer {
  std::vector<uint8_t> bytes;
  void U8(uint8_t v) { bytes.push_back(v); }
  void I32(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(u >> (8 * i)));
  }
  void I16(int16_t v) {
    uint16_t u = static_cast<uint16_t>(v);
    bytes.push_back(static_cast<uint8_t>(u));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  void F32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    I32(static_cast<int32_t>(u));
  }
  void Vec(Vec3 v) {
    F32(v.x);
    F32(v.y);
    F32(v.z);
  }
  // A NUL-padded text field; longer texts are cut so the field always ends in a NUL.
  void Text(const std::string& s, size_t size) {
    for (size_t i = 0; i < size; ++i) bytes.push_back(i + 1 < size && i < s.size() ? s[i] : 0);
  }
  void PatchI32(size_t at, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(u >> (8 * i));
  }
};

int16_t Store(float v) {
  float s = std::round(v * Md3Scale);
  return static_cast<int16_t>(std::clamp(s, -32768.0f, 32767.0f));
}

// Normal as two bytes of latitude and longitude (0..255 for a full turn).
void PackNormal(Writer& w, Vec3 n) {
  const float turn = 255.0f / (2.0f * 3.14159265f);
  float lat = std::acos(std::clamp(n.z, -1.0f, 1.0f)) * turn;
  float lng = std::atan2(n.y, n.x) * turn;
  if (lng < 0) lng += 255.0f;
  w.U8(static_cast<uint8_t>(static_cast<int>(std::lround(lat)) & 255));
  w.U8(static_cast<uint8_t>(static_cast<int>(std::lround(lng)) & 255));
}

// Smooth normals of one frame: face normals summed at their corners.
std::vector<Vec3> FrameNormals(const Md3OutSurface& s, const std::vector<Vec3>& pos) {
  std::vector<Vec3> n(pos.size());
  for (size_t t = 0; t + 2 < s.triangles.size(); t += 3) {
    Vec3 a = pos[s.triangles[t]], b = pos[s.triangles[t + 1]], c = pos[s.triangles[t + 2]];
    Vec3 f = Cross(b - a, c - a);
    for (int k = 0; k < 3; ++k) n[s.triangles[t + k]] = n[s.triangles[t + k]] + f;
  }
  for (Vec3& v : n) {
    v = NormalizeOrZero(v);
    if (v == Vec3()) v = Vec3(0, 0, 1);
  }
  return n;
}

void FrameRecord(Writer& w, const Md3Out& m, int frame) {
  Vec3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
  bool any = false;
  for (const Md3OutSurface& s : m.surfaces) {
    for (Vec3 p : s.frames[frame]) {
      lo = Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
      hi = Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
      any = true;
    }
  }
  if (!any) lo = hi = Vec3();
  float radius = std::max(Magnitude(lo), Magnitude(hi));
  w.Vec(lo);
  w.Vec(hi);
  w.Vec(Vec3());  // local origin
  w.F32(radius);
  w.Text("frame" + std::to_string(frame), 16);
}

}  // namespace

std::vector<uint8_t> EncodeMd3(const Md3Out& m) {
  Writer w;
  const int tagCount = m.tags.empty() ? 0 : static_cast<int>(m.tags[0].size());
  w.bytes.insert(w.bytes.end(), {'I', 'D', 'P', '3'});
  w.I32(15);
  w.Text(m.name, 64);
  w.I32(0);  // flags
  w.I32(m.frameCount);
  w.I32(tagCount);
  w.I32(static_cast<int32_t>(m.surfaces.size()));
  w.I32(0);  // skins
  const int32_t framesAt = HeaderBytes;
  const int32_t tagsAt = framesAt + m.frameCount * FrameBytes;
  const int32_t surfacesAt = tagsAt + m.frameCount * tagCount * TagBytes;
  w.I32(framesAt);
  w.I32(tagsAt);
  w.I32(surfacesAt);
  const size_t endField = w.bytes.size();
  w.I32(0);  // end of file, patched below

  for (int f = 0; f < m.frameCount; ++f) FrameRecord(w, m, f);
  for (int f = 0; f < m.frameCount && tagCount > 0; ++f) {
    for (const Md3OutTag& tag : m.tags[f]) {
      w.Text(tag.name, 64);
      w.Vec(tag.place.origin);
      w.Vec(tag.place.x);
      w.Vec(tag.place.y);
      w.Vec(tag.place.z);
    }
  }

  for (const Md3OutSurface& s : m.surfaces) {
    const int32_t vertexCount = static_cast<int32_t>(s.texCoords.size() / 2);
    const int32_t triangleCount = static_cast<int32_t>(s.triangles.size() / 3);
    const int32_t trianglesAt = SurfaceHeaderBytes + ShaderBytes;
    const int32_t texCoordsAt = trianglesAt + triangleCount * 12;
    const int32_t verticesAt = texCoordsAt + vertexCount * 8;
    const int32_t endAt = verticesAt + m.frameCount * vertexCount * 8;
    w.bytes.insert(w.bytes.end(), {'I', 'D', 'P', '3'});
    w.Text(s.name, 64);
    w.I32(0);  // flags
    w.I32(m.frameCount);
    w.I32(1);  // shader records
    w.I32(vertexCount);
    w.I32(triangleCount);
    w.I32(trianglesAt);
    w.I32(SurfaceHeaderBytes);
    w.I32(texCoordsAt);
    w.I32(verticesAt);
    w.I32(endAt);
    w.Text(s.shader, 64);
    w.I32(0);
    for (int t = 0; t < triangleCount; ++t) {
      w.I32(s.triangles[3 * t]);
      w.I32(s.triangles[3 * t + 2]);
      w.I32(s.triangles[3 * t + 1]);
    }
    for (float c : s.texCoords) w.F32(c);
    for (int f = 0; f < m.frameCount; ++f) {
      std::vector<Vec3> normals = FrameNormals(s, s.frames[f]);
      for (int v = 0; v < vertexCount; ++v) {
        Vec3 p = s.frames[f][v];
        w.I16(Store(p.x));
        w.I16(Store(p.y));
        w.I16(Store(p.z));
        PackNormal(w, normals[v]);
      }
    }
  }
  w.PatchI32(endField, static_cast<int32_t>(w.bytes.size()));
  return w.bytes;
}
