// Billboards of the effects: the type codes that pick the effect picture and whether its
// alpha is used, the measured reach of each picture, and DrawBillboard, a batch of one
// (core/billboard_batch.h) that puts exactly the pixels a larger batch would.
#pragma once
#include "core/billboard_batch.h"
#include "core/vec3.h"

// Type codes of the effects that carry them.
constexpr int GrenadeType = 13;        // grenade in flight: "P1.bmp"
constexpr int PlasmaType = 12;         // "P2.bmp"
constexpr int RifleTrailKind = 66;     // "P7.bmp", with alpha
constexpr int SparkKind = 77;          // impact spark: "P5.bmp", with alpha
constexpr int GrenadeTrailKind = 88;   // "P5.bmp", with alpha

// The effectTextures slot a type code draws with (unknown codes: slot 2, "P3.bmp").
int BillboardTextureSlot(int type);
// Reads back the effect pictures now in gGame.effectTextures and notes how far from the
// middle each has a lit texel (with the reach of the linear filter): outside that its
// squares would add nothing, so they are drawn only that far. A slot given another texture
// afterwards is drawn whole until it is measured again.
void MeasureEffectPictures();
// The part of a type code's square its measured picture lights, 0..1 of the half-size (1
// when its picture was not measured).
float BillboardLitExtent(int type);
// True for the type codes whose alpha is used (the others draw fully opaque colour).
bool BillboardUsesAlpha(int type);

// A billboard at `position` seen from the camera through the level's fog volumes: it adds
// light, and the fog's colour is already in what lies behind it, so it only fades by the fogs'
// opacity: its alpha for type codes whose alpha is used, else its colour.
void FadeBillboardInFog(Vec3 position, int type, float* red, float* green, float* blue, float* alpha);

// Draws one billboard at once (see BillboardBatch::Add).
void DrawBillboard(Vec3 position, float red, float green, float blue, float alpha, float size, int type);
