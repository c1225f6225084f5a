// Drawing the brush models 1, 2, ... where their entities have put them: each model whose
// box is in the view and touches a leaf the camera's cluster can see is drawn face by face
// with the world's face path (textures, lightmaps or vertex colours, alpha tests, two-sided
// looks), moved and turned by its placement. Faces the scripts never draw (nodraw, sky) stay
// undrawn. A level without models costs nothing here.
#include <GL/gl.h>

#include <vector>

#include "core/game_state.h"
#include "core/level.h"

bool Level::BoxReachesVisibleLeaf(int node, const float mins[3], const float maxs[3], int cameraCluster) const {
  while (node >= 0) {
    const BspNode& n = nodes[node];
    const BspPlane& plane = planes[n.plane];
    float low = -plane.distance, high = -plane.distance;
    for (int a = 0; a < 3; ++a) {
      const float c = plane.normal[a];
      low += c * (c >= 0 ? mins[a] : maxs[a]);
      high += c * (c >= 0 ? maxs[a] : mins[a]);
    }
    if (low >= 0) {
      node = n.children[0];
    } else if (high < 0) {
      node = n.children[1];
    } else {
      if (BoxReachesVisibleLeaf(n.children[0], mins, maxs, cameraCluster)) return true;
      node = n.children[1];
    }
  }
  return IsClusterVisible(cameraCluster, leaves[-(node + 1)].cluster);
}

bool Level::BoxSeenFrom(Vec3 eye, const float mins[3], const float maxs[3]) const {
  if (visibility.empty() || nodes.empty() || leaves.empty()) return true;
  const int eyeCluster = leaves[FindLeaf(eye)].cluster;
  return eyeCluster < 0 || BoxReachesVisibleLeaf(0, mins, maxs, eyeCluster);
}

void Level::RenderModels(Vec3 cameraPosition, bool plainFaces, bool stagedFaces) {
  if (models.size() <= 1 || nodes.empty()) return;
  const int cameraCluster = leaves[FindLeaf(cameraPosition)].cluster;
  const bool culling = !visibility.empty() && cameraCluster >= 0;
  for (size_t m = 1; m < models.size(); ++m) {
    const BspModel& model = models[m];
    const ModelPlacement& placement = modelPlacements[m];
    if (placement.hidden || model.faceCount == 0) continue;
    float mins[3], maxs[3];
    PlacedModelBox(static_cast<int>(m), mins, maxs);
    if (!gGame.frustum.BoxInFrustum(mins[0], mins[1], mins[2], maxs[0], maxs[1], maxs[2])) continue;
    if (culling && !BoxReachesVisibleLeaf(0, mins, maxs, cameraCluster)) continue;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(placement.offset.x, placement.offset.y, placement.offset.z);
    if (placement.axis >= 0 && placement.degrees != 0.0f)
      glRotatef(placement.degrees, placement.axis == 0 ? 1.0f : 0.0f, placement.axis == 1 ? 1.0f : 0.0f,
                placement.axis == 2 ? 1.0f : 0.0f);
    std::vector<int32_t> staged;  // faces drawn stage by stage, after the model's others
    for (int i = 0; i < model.faceCount; ++i) {
      const int f = model.firstFace + i;
      if (faceGeometry[f].indexCount == 0) continue;
      const int texture = faces[f].textureIndex;
      if (static_cast<size_t>(texture) < materials.size() &&
          (materials[texture].nodraw || materials[texture].sky || materials[texture].fog))
        continue;
      if (static_cast<size_t>(texture) < materials.size() && materials[texture].staged >= 0) {
        if (stagedFaces) staged.push_back(f);
        continue;
      }
      if (plainFaces) RenderFace(f);
    }
    if (!staged.empty()) {
      // The eye in the model's own place (its turn left out: it only orders blended faces).
      const Vec3 eye = cameraPosition - placement.offset;
      DrawStagedFaces(staged, eye, false);
      DrawStagedFaces(staged, eye, true);
    }
    glPopMatrix();
  }
}
