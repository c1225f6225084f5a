// The level compiler's driver: runs the stages and writes the records in file coordinates.
#include "tools/levelc/level_compiler.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "level/bsp_writer.h"
#include "tools/levelc/bsp_tree.h"
#include "tools/levelc/geometry.h"
#include "tools/levelc/lighting.h"
#include "tools/levelc/patch_faces.h"
#include "tools/levelc/visibility.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Planes in file coordinates, each stored once.
struct PlaneTable {
  std::vector<BspPlane>* planes;
  std::map<std::tuple<float, float, float, float>, int> index;

  int Add(DVec worldNormal, double distance) {
    BspPlane p;
    WorldToFile(worldNormal.x, worldNormal.y, worldNormal.z, p.normal);
    for (float& c : p.normal)
      if (c == 0) c = 0;  // no negative zeros
    p.distance = static_cast<float>(distance);
    auto key = std::make_tuple(p.normal[0], p.normal[1], p.normal[2], p.distance);
    auto it = index.find(key);
    if (it != index.end()) return it->second;
    int i = static_cast<int>(planes->size());
    planes->push_back(p);
    index[key] = i;
    return i;
  }
};

void FileBox(const Bounds& world, int32_t mins[3], int32_t maxs[3]) {
  // file = (x, -z, y); round outward so the box always holds its region.
  mins[0] = static_cast<int32_t>(std::floor(world.mins.x));
  mins[1] = static_cast<int32_t>(std::floor(-world.maxs.z));
  mins[2] = static_cast<int32_t>(std::floor(world.mins.y));
  maxs[0] = static_cast<int32_t>(std::ceil(world.maxs.x));
  maxs[1] = static_cast<int32_t>(std::ceil(-world.mins.z));
  maxs[2] = static_cast<int32_t>(std::ceil(world.maxs.y));
}

// The fewest flat triangles a fan of the face can have, and in *start the first point
// whose fan has that few. A flat triangle means a side holding vertices put in for
// neighbours' corners is drawn as one long edge rather than in those pieces, and it rounds
// differently from the neighbour's pieces of the same line: pixels along it would be drawn
// by both faces (the drawing order then picks their colour) or by neither (a crack).
// The centre of the face's area: inside it, away from every side (unlike the average of
// its points, which points crowded on one side pull toward it).
DVec AreaCentre(const Winding& w) {
  DVec sum;
  double total = 0;
  for (size_t k = 1; k + 1 < w.size(); ++k) {
    const DVec c = Cross(w[k] - w[0], w[k + 1] - w[0]);
    const double area = std::sqrt(Dot(c, c));
    sum = sum + (w[0] + w[k] + w[k + 1]) * (area / 3);
    total += area;
  }
  return total > 0 ? sum * (1 / total) : WindingCentre(w);
}

// A triangle is flat when a point lies within FlatHeight of the line through the other two
// (its height over its longest side): vertices put into a long side stay that close to it
// after rounding, while a tolerance on the area alone would miss them on long sides.
// Flatness is judged on the points as the file stores them (single precision, relative to
// the model's origin `shift`).
constexpr double FlatHeight = 1e-3;
bool FlatTriangle(const DVec& a, const DVec& b, const DVec& c) {
  const DVec n = Cross(b - a, c - a);
  const double longest = std::max({Dot(b - a, b - a), Dot(c - b, c - b), Dot(a - c, a - c)});
  return Dot(n, n) <= FlatHeight * FlatHeight * longest;
}

size_t FlatFanTriangles(const Winding& points, DVec shift, size_t* start) {
  const size_t n = points.size();
  Winding w(n);
  for (size_t i = 0; i < n; ++i) {
    const DVec p = points[i] - shift;
    w[i] = DVec(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z));
  }
  size_t fewest = n;
  *start = 0;
  for (size_t s = 0; s < n && fewest > 0; ++s) {
    size_t flat = 0;
    for (size_t k = 1; k + 1 < n; ++k) {
      if (FlatTriangle(w[s], w[(s + k) % n], w[(s + k + 1) % n])) ++flat;
    }
    if (flat < fewest) fewest = flat, *start = s;
  }
  return fewest;
}

void AppendText(std::vector<char>* out, const std::string& s) { out->insert(out->end(), s.begin(), s.end()); }

}  // namespace

bool CompileLevel(const std::string& sourceText, const CompileOptions& options, BspFileData* out,
                  CompileStats* stats, std::string* error) {
  auto start = std::chrono::steady_clock::now();
  CompileStats local;
  if (!stats) stats = &local;
  *stats = CompileStats();
  *out = BspFileData();
  MapSource map;
  if (!ParseMapSource(sourceText, &map, error)) return false;
  if (map.brushes.empty()) {
    if (error) *error = "the level has no brushes";
    return false;
  }
  stats->parseSeconds = Seconds(start);

  auto t = std::chrono::steady_clock::now();
  std::vector<CompiledBrush> brushes;
  if (!BuildBrushes(map, &brushes, error)) return false;
  // Faces are cut small enough that every lightmap block fits a page with its border.
  double grid = std::min(options.faceGrid, options.luxelSize * (LightmapSide - 8));
  std::vector<FacePolygon> faces = BuildVisibleFaces(brushes, grid);
  stats->geometrySeconds = Seconds(t);

  t = std::chrono::steady_clock::now();
  BspTree tree = BuildTree(brushes, faces, map.zones);
  // Faces that face no zone can never be seen when zones cover the open space: drop them.
  if (!map.zones.empty()) {
    std::vector<char> seen(faces.size(), 0);
    for (TreeLeaf& leaf : tree.leaves) {
      leaf.cluster = ClusterOfBox(map.zones, leaf.box);
      if (leaf.cluster < static_cast<int>(map.zones.size()))
        for (int f : leaf.faces) seen[f] = 1;
    }
    std::vector<int> remap(faces.size(), -1);
    std::vector<FacePolygon> kept;
    for (size_t f = 0; f < faces.size(); ++f)
      if (seen[f]) {
        remap[f] = static_cast<int>(kept.size());
        kept.push_back(faces[f]);
      }
    faces.swap(kept);
    for (TreeLeaf& leaf : tree.leaves) {
      std::vector<int> list;
      for (int f : leaf.faces)
        if (remap[f] >= 0) list.push_back(remap[f]);
      leaf.faces.swap(list);
    }
  }
  FixTJunctions(&faces);
  stats->treeSeconds = Seconds(t);
  if (faces.size() > 1000000 || tree.leaves.size() > 1000000) {
    if (error) *error = "the level is too large";
    return false;
  }

  t = std::chrono::steady_clock::now();
  LightmapResult light =
      BuildLightmaps(map, brushes, faces, tree, options.luxelSize, options.brightness, options.threads);
  stats->lightSeconds = Seconds(t);
  if (light.pages.size() / LightmapBytes > 1000) {
    if (error) *error = "more than 1000 lightmap pages";
    return false;
  }

  t = std::chrono::steady_clock::now();
  if (options.visibility && !map.zones.empty()) {
    VisibilityResult vis = BuildVisibility(map.zones, brushes, tree, options.threads);
    out->clusterCount = vis.clusterCount;
    out->bytesPerCluster = vis.bytesPerCluster;
    out->visibility = vis.rows;
    stats->visibleClusterShare = vis.visibleShare;
  } else {
    for (TreeLeaf& leaf : tree.leaves) leaf.cluster = 0;
  }
  stats->visSeconds = Seconds(t);

  // Texture records: one per material and contents.
  std::map<std::pair<int, bool>, int> textureOf;
  auto textureIndex = [&](int material, bool solid) {
    auto key = std::make_pair(material, solid);
    auto it = textureOf.find(key);
    if (it != textureOf.end()) return it->second;
    BspTextureRecord r;
    std::memset(&r, 0, sizeof r);
    std::snprintf(r.name, sizeof r.name, "%s", map.materials[material].texture.c_str());
    const bool trigger = map.materials[material].trigger;
    r.surfaceFlags = trigger ? SurfaceNoDraw : 0;
    r.contents = trigger ? ContentsTrigger : (solid ? 1 : 0);
    int i = static_cast<int>(out->textures.size());
    out->textures.push_back(r);
    textureOf[key] = i;
    return i;
  };

  PlaneTable planes{&out->planes, {}};
  // Brushes (moved by -shift: an entity's model is stored around its origin).
  auto writeBrushes = [&](const std::vector<CompiledBrush>& brushList, DVec shift) {
  for (const CompiledBrush& b : brushList) {
    BspBrush rec;
    rec.firstSide = static_cast<int32_t>(out->brushSides.size());
    rec.sideCount = static_cast<int32_t>(b.sides.size());
    rec.textureIndex = textureIndex(b.material, b.solid);
    for (const MapSide& s : b.sides)
      out->brushSides.push_back(
          {planes.Add(s.plane.normal, s.plane.distance - Dot(s.plane.normal, shift)), textureIndex(s.material, b.solid)});
    // Bevels: a swept box is tested against each side pushed out by the box, which for a
    // sloped side reaches past the brush's real edges. The brush's own bounding planes,
    // added where no side already faces that way, cut those corners off. They change
    // nothing for rays and make no faces.
    for (int axis = 0; axis < 3; ++axis) {
      for (int sign = -1; sign <= 1; sign += 2) {
        DVec normal;
        normal[axis] = sign;
        bool present = false;
        for (const MapSide& s : b.sides)
          if (std::fabs(s.plane.normal[axis] - sign) < 1e-6) present = true;
        if (present) continue;
        double distance = sign > 0 ? b.bounds.maxs[axis] - shift[axis] : -(b.bounds.mins[axis] - shift[axis]);
        out->brushSides.push_back({planes.Add(normal, distance), textureIndex(b.material, b.solid)});
        ++rec.sideCount;
      }
    }
    out->brushes.push_back(rec);
  }
  };
  writeBrushes(brushes, DVec());

  // Faces and vertices (moved by -shift, lit where they were compiled).
  auto writeFaces = [&](const std::vector<FacePolygon>& faceList, const std::vector<CompiledBrush>& brushList,
                        const LightmapResult& lighting, int pageOffset, DVec shift) {
  for (size_t f = 0; f < faceList.size(); ++f) {
    const FacePolygon& face = faceList[f];
    const FaceLightmap& lm = lighting.faces[f];
    const MapMaterial& mat = map.materials[face.material];
    BspFace rec;
    std::memset(&rec, 0, sizeof rec);
    rec.textureIndex = textureIndex(face.material, brushList[face.brush].solid);
    rec.effectIndex = -1;
    rec.type = FaceTypePolygon;
    rec.firstVertex = static_cast<int32_t>(out->vertices.size());
    rec.vertexCount = static_cast<int32_t>(face.points.size());
    rec.lightmapIndex = lm.page < 0 ? lm.page : lm.page + pageOffset;
    rec.lightmapCorner[0] = lm.corner[0];
    rec.lightmapCorner[1] = lm.corner[1];
    rec.lightmapSize[0] = lm.size[0];
    rec.lightmapSize[1] = lm.size[1];
    DVec origin;
    origin[lm.uAxis] = lm.uMin;
    origin[lm.vAxis] = lm.vMin;
    origin = origin - shift;
    WorldToFile(origin.x, origin.y, origin.z, rec.lightmapOrigin);
    DVec axisU, axisV;
    axisU[lm.uAxis] = lm.luxel;
    axisV[lm.vAxis] = lm.luxel;
    WorldToFile(axisU.x, axisU.y, axisU.z, rec.lightmapAxes[0]);
    WorldToFile(axisV.x, axisV.y, axisV.z, rec.lightmapAxes[1]);
    WorldToFile(face.plane.normal.x, face.plane.normal.y, face.plane.normal.z, rec.normal);
    // Texture projection: floors and ceilings on (x, z), walls on their own horizontal axis and y.
    DVec n = face.plane.normal;
    int major = std::fabs(n.y) >= std::fabs(n.x) && std::fabs(n.y) >= std::fabs(n.z) ? 1
                : (std::fabs(n.x) >= std::fabs(n.z) ? 0 : 2);
    // The game draws front faces clockwise: write the points in reverse order, starting
    // where the fan has no flat triangles; where every start gives one, the fan starts at
    // the centre and closes on its first point again.
    auto writeVertex = [&](const DVec& p) {
      BspVertex v;
      std::memset(&v, 0, sizeof v);
      WorldToFile(p.x - shift.x, p.y - shift.y, p.z - shift.z, v.position);
      double s, tt;
      if (major == 1) {
        s = p.x / mat.worldSize;
        tt = p.z / mat.worldSize;
      } else {
        s = (major == 0 ? (n.x > 0 ? -p.z : p.z) : (n.z > 0 ? p.x : -p.x)) / mat.worldSize;
        tt = p.y / mat.worldSize;  // the loader negates t: images stand upright
      }
      v.texCoord[0] = static_cast<float>(s);
      v.texCoord[1] = static_cast<float>(tt);
      LightmapCoord(lm, p, v.lightmapCoord);
      WorldToFile(n.x, n.y, n.z, v.normal);
      v.color[0] = v.color[1] = v.color[2] = v.color[3] = 255;
      out->vertices.push_back(v);
    };
    const size_t count = face.points.size();
    size_t start = 0;
    if (FlatFanTriangles(face.points, shift, &start) == 0) {
      for (size_t i = 0; i < count; ++i) writeVertex(face.points[(start + count - i) % count]);
    } else {
      writeVertex(AreaCentre(face.points));
      for (size_t i = 0; i <= count; ++i) writeVertex(face.points[(count - i) % count]);
      rec.vertexCount = static_cast<int32_t>(count + 2);
    }
    // The index list: the fan over the written points, as triangles.
    rec.firstMeshVertex = static_cast<int32_t>(out->meshVertices.size());
    for (int32_t k = 1; k + 1 < rec.vertexCount; ++k) out->meshVertices.insert(out->meshVertices.end(), {0, k, k + 1});
    rec.meshVertexCount = static_cast<int32_t>(out->meshVertices.size()) - rec.firstMeshVertex;
    out->faces.push_back(rec);
  }
  };
  writeFaces(faces, brushes, light, 0, DVec());
  out->lightmaps = light.pages;
  WritePatchFaces(map, brushes, &tree, static_cast<int>(faces.size()), options.brightness, textureIndex, out);

  // Entities with brushes: model N, its faces and brushes after the world's (in no leaf),
  // lit where they stand, stored around their origin when they have one. Trigger brushes
  // have no faces. A level without them has no models lump, as before.
  std::vector<int> modelOfEntity(map.entities.size(), 0);
  for (size_t e = 0; e < map.entities.size(); ++e) {
    const MapEntity& entity = map.entities[e];
    if (entity.brushes.empty()) continue;
    if (out->models.empty()) {
      BspModel world;
      std::memset(&world, 0, sizeof world);
      WorldToFile(tree.world.mins.x, tree.world.mins.y, tree.world.maxs.z, world.mins);
      WorldToFile(tree.world.maxs.x, tree.world.maxs.y, tree.world.mins.z, world.maxs);
      world.faceCount = static_cast<int32_t>(out->faces.size());
      world.brushCount = static_cast<int32_t>(out->brushes.size());
      out->models.push_back(world);
    }
    MapSource part;
    part.materials = map.materials;
    part.brushes = entity.brushes;
    std::vector<CompiledBrush> entityBrushes;
    std::string reason;
    if (!BuildBrushes(part, &entityBrushes, &reason)) {
      if (error) *error = reason;
      return false;
    }
    std::vector<FacePolygon> entityFaces;
    for (FacePolygon& face : BuildVisibleFaces(entityBrushes, grid))
      if (!map.materials[face.material].trigger) entityFaces.push_back(std::move(face));
    FixTJunctions(&entityFaces);
    const LightmapResult entityLight =
        BuildLightmaps(map, brushes, entityFaces, tree, options.luxelSize, options.brightness, options.threads);
    const DVec shift = entity.hasOrigin ? entity.origin : DVec();
    BspModel model;
    std::memset(&model, 0, sizeof model);
    Bounds box;
    for (const CompiledBrush& b : entityBrushes) {
      box.Add(b.bounds.mins - shift);
      box.Add(b.bounds.maxs - shift);
    }
    WorldToFile(box.mins.x, box.mins.y, box.maxs.z, model.mins);
    WorldToFile(box.maxs.x, box.maxs.y, box.mins.z, model.maxs);
    model.firstFace = static_cast<int32_t>(out->faces.size());
    model.firstBrush = static_cast<int32_t>(out->brushes.size());
    writeBrushes(entityBrushes, shift);
    writeFaces(entityFaces, entityBrushes, entityLight, static_cast<int>(out->lightmaps.size() / LightmapBytes), shift);
    out->lightmaps.insert(out->lightmaps.end(), entityLight.pages.begin(), entityLight.pages.end());
    model.faceCount = static_cast<int32_t>(out->faces.size()) - model.firstFace;
    model.brushCount = static_cast<int32_t>(out->brushes.size()) - model.firstBrush;
    modelOfEntity[e] = static_cast<int>(out->models.size());
    out->models.push_back(model);
  }
  if (out->lightmaps.size() / LightmapBytes > 1000) {
    if (error) *error = "more than 1000 lightmap pages";
    return false;
  }

  // Tree.
  for (const TreeNode& node : tree.nodes) {
    BspNode rec;
    DVec normal;
    normal[node.axis] = 1;
    rec.plane = planes.Add(normal, node.distance);
    rec.children[0] = node.children[0];
    rec.children[1] = node.children[1];
    FileBox(node.box, rec.mins, rec.maxs);
    out->nodes.push_back(rec);
  }
  for (const TreeLeaf& leaf : tree.leaves) {
    BspLeaf rec;
    rec.cluster = leaf.cluster;
    rec.area = 0;
    FileBox(leaf.box, rec.mins, rec.maxs);
    rec.firstLeafFace = static_cast<int32_t>(out->leafFaces.size());
    rec.leafFaceCount = static_cast<int32_t>(leaf.faces.size());
    for (int f : leaf.faces) out->leafFaces.push_back(f);
    rec.firstLeafBrush = static_cast<int32_t>(out->leafBrushes.size());
    rec.leafBrushCount = static_cast<int32_t>(leaf.brushes.size());
    for (int b : leaf.brushes) out->leafBrushes.push_back(b);
    out->leaves.push_back(rec);
  }
  if (out->textures.size() > 1000) {
    if (error) *error = "more than 1000 texture records";
    return false;
  }

  // Entity text: the world, the lights and the source's own entity lines (file coordinates).
  std::ostringstream ents;
  ents << "{\n\"classname\" \"worldspawn\"\n\"ambient\" \"" << map.ambient.x << ' ' << map.ambient.y << ' '
       << map.ambient.z << "\"\n}\n";
  for (const MapLight& l : map.lights) {
    float p[3];
    WorldToFile(l.position.x, l.position.y, l.position.z, p);
    ents << "{\n\"classname\" \"light\"\n\"origin\" \"" << p[0] << ' ' << p[1] << ' ' << p[2] << "\"\n\"_color\" \""
         << l.color.x << ' ' << l.color.y << ' ' << l.color.z << "\"\n\"light\" \"" << l.intensity << "\"\n}\n";
  }
  for (const std::string& line : map.entityLines) ents << line << "\n";
  for (size_t e = 0; e < map.entities.size(); ++e) {
    const MapEntity& entity = map.entities[e];
    ents << "{\n";
    for (const auto& key : entity.keys) {
      if (key.first == "origin") {
        float p[3];
        WorldToFile(entity.origin.x, entity.origin.y, entity.origin.z, p);
        ents << "\"origin\" \"" << p[0] << ' ' << p[1] << ' ' << p[2] << "\"\n";
      } else {
        ents << '"' << key.first << "\" \"" << key.second << "\"\n";
      }
    }
    if (modelOfEntity[e] > 0) ents << "\"model\" \"*" << modelOfEntity[e] << "\"\n";
    ents << "}\n";
  }
  AppendText(&out->entities, ents.str());

  stats->brushes = static_cast<int>(out->brushes.size());
  stats->faces = static_cast<int>(out->faces.size());
  stats->leaves = static_cast<int>(out->leaves.size());
  stats->clusters = out->clusterCount;
  stats->lightmapPages = static_cast<int>(out->lightmaps.size() / LightmapBytes);
  stats->totalSeconds = Seconds(start);
  return true;
}

bool CompileLevelFile(const std::string& sourcePath, const std::string& outPath, const CompileOptions& options,
                      CompileStats* stats, std::string* error) {
  std::ifstream in(sourcePath, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open " + sourcePath;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  BspFileData data;
  std::string reason;
  if (!CompileLevel(text.str(), options, &data, stats, &reason)) {
    if (error) *error = sourcePath + ": " + reason;
    return false;
  }
  std::vector<uint8_t> bytes = WriteBspFile(data);
  std::string temp = outPath + ".tmp";
  {
    std::ofstream o(temp, std::ios::binary | std::ios::trunc);
    o.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!o) {
      if (error) *error = "cannot write " + temp;
      return false;
    }
  }
  if (std::rename(temp.c_str(), outPath.c_str()) != 0) {
    if (error) *error = "cannot write " + outPath;
    return false;
  }
  return true;
}
