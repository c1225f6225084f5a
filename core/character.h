// An animated three-part character (lower body, upper body, head) holding a weapon. The parts
// hang together at tags: the upper body on the lower body's "tag_torso", the head on the
// upper body's "tag_head", the weapon on the upper body's "tag_weapon". The lower and upper
// bodies play separate clips (legs and torso), blended between frames by elapsed time.
#pragma once
#include <string>
#include <vector>

#include "core/md3_format.h"
#include "core/texture_records.h"

// Texture slots of a character; further distinct texture files are drawn untextured.
constexpr int MaxCharacterTextures = 1000;

class CharacterModel {
 public:
  CharacterModel() = default;
  // Copies keep their links inside the copy (links point at the character's own models).
  CharacterModel(const CharacterModel& other) { *this = other; }
  CharacterModel& operator=(const CharacterModel& other);

  // Loads "<folder>/<name>_{head,upper,lower}.md3", their skins, their textures and the
  // animation file, and joins the parts. Shows the numbered message of the failing step
  // (after the reader's own) and returns false; what loaded before it stays loaded.
  bool LoadCharacter(const char* folder, const char* name);
  // Loads "<folder>/<name>.md3" with its shader and textures and hangs it on the upper
  // body's "tag_weapon". Needs LoadCharacter first.
  bool LoadCharacterWeapon(const char* folder, const char* name);
  // Hangs a copy of `other`'s weapon on the upper body's "tag_weapon", drawn with the
  // textures `other` made for it: the same weapon without reading its files again. false,
  // changing nothing, when `other` holds no weapon or it does not fit this character's budget
  // of decoded bytes (LoadCharacterWeapon then says why). Needs LoadCharacter first.
  bool ShareWeapon(const CharacterModel& other);
  // Jump to the first frame of the named clip (case ignored); unknown names change nothing.
  void SetTorsoAnimation(const char* name);
  void SetLegsAnimation(const char* name);
  void SetSlowMotion(bool flag) { slowMotion_ = flag; }
  bool slowMotion() const { return slowMotion_; }
  // Advances both bodies' animations and draws at the current GL matrix (model +Z turned to
  // world +Y). The caller brackets it with a matrix push and pop. A character wholly outside
  // the view sends no triangles but leaves the GL state as drawing it would.
  void DrawCharacter();

  // The steps of DrawCharacter. AdvanceAnimation moves a model at most one frame, by the
  // platform clock; DrawLinked draws a model and, at its tags, its children.
  void AdvanceAnimation(Md3Model* model);
  void DrawLinked(const Md3Model& model);
  void DrawMeshes(const Md3Model& model);

  // Where the weapon's muzzle is in the frame last drawn: its "tag_flash" (the weapon's own
  // origin without one), carried through the blended "tag_torso" and "tag_weapon" tags, in
  // the lower body's model space (+Z up, before DrawCharacter turns it). false without a
  // weapon hung on the character.
  bool WeaponMuzzle(Vec3* point) const;

  // true: each mesh's blended frame goes to the GL as one indexed array draw, a black fog
  // folded into its vertex colours; false: vertex by vertex between glBegin and glEnd, fogged
  // by the GL (kept for comparing pictures). The same picture either way, within 1/255.
  bool arrayDrawing = true;
  // true: a character wholly outside the view sends no triangles (false: kept for comparing).
  bool viewCulling = true;
  // Set by the caller before DrawCharacter: the level hides the whole figure (it stands
  // where the eye's cluster sees nothing), so it sends no triangles, as out of view.
  bool hiddenByLevel = false;
  // Distance from the lower body's origin that no vertex passes in any frame, in model
  // units; negative while unknown.
  float Reach() const { return reach_; }

  Texture textures[MaxCharacterTextures] = {};  // slot k made from textureFiles[k]; 0: none
  std::vector<std::string> textureFiles;        // texture files already loaded, in load order
  Md3Model head;
  Md3Model upper;   // torso clips
  Md3Model lower;   // legs clips
  Md3Model weapon;

 private:
  // One mesh's material bound as DrawMeshes binds it (untextured without one).
  void BindMeshTexture(const Md3Model& model, const Md3Mesh& mesh);
  void DrawMeshImmediate(const Md3Model& model, const Md3Mesh& mesh);
  void DrawMeshArrays(const Md3Model& model, const Md3Mesh& mesh);
  // What a mesh drawn vertex by vertex leaves behind without drawing it: the current texture
  // coordinates of its last corner.
  void LeaveLastTexCoord(const Md3Mesh& mesh);
  // Whether the sphere of reach_ around the current origin lies wholly outside the view.
  bool OutsideView() const;
  // Around DrawLinked: with a black GL fog on, turn it off and fog the array draws' vertex
  // colours instead; End puts the fog and the current colour back.
  void BeginFogInColours();
  void EndFogInColours();
  // The GL's fog factor (fogMode_) at eye depth `depth`.
  float FogFactor(float depth) const;

  bool slowMotion_ = false;  // clips play at a twentieth of their rate
  // Distance from the lower body's origin that no vertex of the joined parts passes in any
  // frame, in model units; found after loading, negative while unknown (never culled).
  float reach_ = -1;
  bool skipTriangles_ = false;  // DrawMeshes sets the state but draws nothing
  // Scratch for the array draw: one mesh's blended frame and its triangles' vertex indices.
  std::vector<Vec3> blended_;
  std::vector<uint32_t> indices_;
  // The fog folded into vertex colours while drawing (BeginFogInColours): its mode and
  // parameters, the current colour it scales, the model-view row giving a vertex's eye z for
  // the model being drawn, and the scratch colours (RGBA per vertex).
  bool fogInColours_ = false;
  int fogMode_ = 0;
  float fogDensity_ = 1, fogStart_ = 0, fogEnd_ = 1;
  float fogFreeColour_[4] = {1, 1, 1, 1};
  float eyeDepthRow_[4] = {0, 0, 1, 0};
  std::vector<float> colours_;
};
