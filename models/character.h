// An animated three-part character (lower body, upper body, head) holding a weapon.
#pragma once

class CharacterModel {
 public:
  // Loads "<folder>/<name>_{head,upper,lower}.md3", their skins and the animation file.
  // Shows the numbered message of the failing step and returns false.
  bool LoadCharacter(const char* folder, const char* name);
  // Loads "<folder>/<name>.md3" with its shader and hangs it on the upper body's
  // "tag_weapon". Needs LoadCharacter first.
  bool LoadCharacterWeapon(const char* folder, const char* name);
  // Jump to the first frame of the named clip (case ignored); unknown names change nothing.
  void SetTorsoAnimation(const char* name);
  void SetLegsAnimation(const char* name);
  void SetSlowMotion(bool flag) { slowMotion_ = flag; }
  // Advances the animation and draws at the current GL matrix (model +Z turned to world +Y).
  void DrawCharacter();

 private:
  bool slowMotion_ = false;
};
