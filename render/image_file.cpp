// Reading a picture file and decoding it, with the message box the loaders show on failure.
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"
#include "render/texture.h"

std::unique_ptr<ImageData> LoadImageFile(const char* fileName, const char* openFailure, const ImageLimits& limits,
                                         ImageDecoder decode) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(fileName, &bytes, MaxImageFileBytes)) {
    platform::ShowError(openFailure);
    return nullptr;
  }
  auto image = std::make_unique<ImageData>();
  std::string error;
  if (!decode(bytes.data(), bytes.size(), image.get(), &error, limits)) {
    if (!error.empty()) platform::ShowError(error.c_str());
    return nullptr;
  }
  return image;
}
