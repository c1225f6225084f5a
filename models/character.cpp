// Placeholder until the MD3 loader lands: loading succeeds and nothing is drawn.
#include "models/character.h"

bool CharacterModel::LoadCharacter(const char*, const char*) { return true; }
bool CharacterModel::LoadCharacterWeapon(const char*, const char*) { return true; }
void CharacterModel::SetTorsoAnimation(const char*) {}
void CharacterModel::SetLegsAnimation(const char*) {}
void CharacterModel::DrawCharacter() {}
