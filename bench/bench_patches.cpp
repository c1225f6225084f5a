// Curved surfaces: loading the test room of every face type (its patches tessellated, its
// textures and lightmap made) against reading the file's bytes, and a frame of a view filled
// by patches against one full-screen quad, in the same run (the goal: at most 2.0 times).
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_gl.h"
#include "core/level.h"
#include "platform/files.h"
#include "support/face_types_level.h"

namespace {

// Inside the room, close before the wall that bulges in: it fills the view.
void DrawPatchView(Level* room) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(70, 1024.0 / 768.0, 4, 4000);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const Vec3 eye(120, 128, 0);
  gluLookAt(eye.x, eye.y, eye.z, eye.x + 1, eye.y, eye.z, 0, 1, 0);
  gGame.frustum.CalculateFrustum();
  room->RenderLevel(eye);
}

void QuadView(GLuint texture) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawFullScreenQuad(texture);
}

}  // namespace

int main() {
  if (!StartBenchGame("bench_patches")) return 1;
  const std::string path = "/tmp/bench_patches_room.bsp";
  {
    const std::vector<uint8_t> bytes = FaceTypesRoom().BuildFile();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  Level room;
  const double read = MedianFinishedMs(3, 41, [&] {
    std::vector<uint8_t> bytes;
    files::ReadFile(path, &bytes);
  });
  const double load = MedianFinishedMs(3, 41, [&] { room.LoadBSP(path.c_str()); });
  size_t patchVertices = room.vertices.size() - room.fileVertexCount;

  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_FRONT);
  const GLuint texture = MakeNoiseTexture();
  // Alternating rounds, so both cases see the same machine load.
  std::vector<double> quad, patches;
  for (int round = 0; round < 15; ++round) {
    quad.push_back(MedianFinishedMs(2, 9, [&] { QuadView(texture); }));
    patches.push_back(MedianFinishedMs(2, 9, [&] { DrawPatchView(&room); }));
  }
  std::sort(quad.begin(), quad.end());
  std::sort(patches.begin(), patches.end());
  const double quadMs = quad[quad.size() / 2], patchMs = patches[patches.size() / 2];
  std::printf("test room of every face type: %zu file vertices, %zu tessellated patch vertices, %zu collision triangles\n",
              room.fileVertexCount, patchVertices, room.collisionTriangles.size());
  std::printf("load %.3f ms, read its bytes %.3f ms: %.1f times\n", load, read, load / read);
  std::printf("frame of the patch view %.3f ms (%d faces drawn), one full-screen quad %.3f ms: %.2f times (goal <= 2.0)\n",
              patchMs, room.facesDrawnLastFrame, quadMs, patchMs / quadMs);
  room.Destroy();
  std::remove(path.c_str());
  return patchMs / quadMs <= 2.0 ? 0 : 2;
}
