// Screenshots: the frame as it is about to show, saved as a PNG in the user's pictures folder
// under korvalis/, named by date and time and never over an existing file.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// The frame being drawn (the back buffer, which the next swap shows): RGB rows, top first.
std::vector<uint8_t> ReadFramePixels(int width, int height);

// "korvalis-2026-12-08_13-50-12.png" for that local time; `copy` 2 and up adds "-2", "-3" ...
std::string ScreenshotName(std::time_t when, int copy);

// Saves the pixels under `picturesFolder`/korvalis/ (made when missing) by the time `when`,
// taking the next free copy number when the name is taken. True with the file's path, false
// with the reason; a file that could not be written whole is removed again.
bool SaveScreenshot(const std::vector<uint8_t>& rgb, int width, int height,
                    const std::string& picturesFolder, std::time_t when, std::string* path,
                    std::string* error);

// Reads the frame and saves it in the pictures folder, saying where on standard output or why
// not on standard error (one line either way); the game goes on whatever happens.
bool TakeScreenshot(int width, int height);
