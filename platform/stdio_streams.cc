// The map's stream, through the C library on every system (each backend
// opens it its own way). It is read in binary: the program does the text
// mode's translation itself, so that both builds read the same lines.

#include <cstdio>

#include "platform/system_platform.h"

namespace platform {

long SystemPlatform::ReadStream(Stream stream, char* buffer, long size) {
  std::FILE* file = reinterpret_cast<std::FILE*>(stream);
  const std::size_t count =
      std::fread(buffer, 1, static_cast<std::size_t>(size), file);
  if (count == 0 && std::ferror(file)) return -1;
  return static_cast<long>(count);
}

void SystemPlatform::CloseStream(Stream stream) {
  std::fclose(reinterpret_cast<std::FILE*>(stream));
}

}  // namespace platform
