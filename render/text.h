// Screen-space drawing: the bitmap font, text at pixel positions, the orthographic switch
// and the weapon / night-vision overlay.
#pragma once
#include <cstdint>

// Builds 256 display lists (codes 0..254 get glyphs, 255 stays empty) from a bold sans-serif
// font of about `height` pixels; returns the first list. The face name is kept for
// compatibility: the font file is the system's DejaVu Sans Bold.
uint32_t CreateBitmapFont(const char* face, int height);
void PositionText(int x, int y);
// printf-style; formatting never overruns the 256-byte buffer (longer text is cut).
void PrintText(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
void OrthoMode(int left, int top, int right, int bottom);
void PerspectiveMode();
void DrawHudOverlay();
// Right after the frame's clear, while the overlay is on: puts the depth of the nearest
// plane where the overlay's mask is black, so nothing drawn there (the overlay covers it
// whatever it is) costs shading. Changes no colour and no other state.
void MaskScreenUnderHud();
