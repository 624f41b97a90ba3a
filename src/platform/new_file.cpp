#include "platform/new_file.h"

#include <cstdio>
#include <random>

namespace plexi::platform {

std::string TemporaryNameBeside(const std::string& path) {
  std::random_device source;
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%08x%08x.tmp", unsigned(source()), unsigned(source()));
  return path + suffix;
}

}  // namespace plexi::platform
