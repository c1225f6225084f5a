// Reading MD3 model files: the decoded-size budget, parsing and importing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/md3_format.h"

// The most a file of fileSize bytes may decode to: three times its size and 64 KB (blocks
// that share no bytes decode to less than twice the file), never more than Md3ModelBudgetBytes.
int64_t Md3FileBudget(size_t fileSize);

// Bytes the model's decoded tags and meshes take.
int64_t Md3DecodedBytes(const Md3Model& model);

// Validates and converts an MD3 file held in memory. The decoded model may take at most
// budget bytes and never more than Md3FileBudget(size); the sum is checked before anything
// is allocated. On failure *error holds the reason and *model is left as it was.
bool ParseMd3(const uint8_t* data, size_t size, Md3Model* model, std::string* error,
              int64_t budget = Md3ModelBudgetBytes);

// Fills an empty model from the MD3 file at path, within budget bytes of decoded data (see
// ParseMd3). A missing file shows "9 Unable to find the file: <path>!", a bad one
// "10 Invalid file format (<reason>): <path>!"; either returns false and leaves the model
// unchanged.
bool ImportMd3(Md3Model* model, const char* path, int64_t budget = Md3ModelBudgetBytes);
