#include "platform/platform.h"

#include <malloc.h>

#include <cstdio>

namespace platform {

Backend* CreateSdlBackend();  // platform_sdl.cpp

namespace {
Backend* installed = nullptr;
}

Backend& Current() {
  if (!installed) installed = CreateSdlBackend();
  return *installed;
}

void Install(Backend* backend) { installed = backend; }

void ShowError(const char* text) {
  std::fprintf(stderr, "Error: %s\n", text);
  Current().ShowMessage("Error", text);
}

void ReturnFreeMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

}  // namespace platform
