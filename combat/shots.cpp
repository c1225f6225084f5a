// Placeholder until shots fly: firing is accepted and ignored.
#include "combat/shots.h"

void FireShot(Vec3, Vec3, int, int) {}
void UpdateShots() {}
void DrawShots() {}
