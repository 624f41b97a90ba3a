// Helpers of the Linux backend's tests: scratch folders and image files,
// and loop devices and mounts that are always undone, also when a test
// fails half-way.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ioctl_layout.h"

namespace plexi::posix::test {

class ScratchDir {
 public:
  explicit ScratchDir(const std::string& parent = std::filesystem::temp_directory_path()) {
    std::string pattern = parent + "/plexiscrub-posix-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  bool ok() const { return !path_.empty(); }
  std::string path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// An image file of `size` bytes; byte i holds `fill(i)`.
template <class Fill>
inline void WriteImage(const std::string& path, uint64_t size, Fill fill) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (uint64_t i = 0; i < size; ++i) out.put(char(fill(i)));
}
inline void WriteImage(const std::string& path, uint64_t size) {
  WriteImage(path, size, [](uint64_t) { return 0; });
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Output of a shell command and whether it exited with 0.
inline bool RunCommand(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char chunk[256];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) text.append(chunk, n);
  int status = ::pclose(pipe);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (output) *output = text;
  return status == 0;
}

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// A loop device over an image file, detached when it goes out of scope.
class LoopDevice {
 public:
  explicit LoopDevice(const std::string& image, const std::string& options = "") {
    std::string dev;
    if (::geteuid() == 0 &&
        RunCommand("losetup -f --show " + options + " " + Quote(image), &dev) &&
        dev.rfind("/dev/loop", 0) == 0)
      path_ = dev;
  }
  ~LoopDevice() {
    if (!path_.empty()) RunCommand("losetup -d " + path_);
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A file system mounted on a folder, unmounted when it goes out of scope.
class Mount {
 public:
  Mount(const std::string& what, const std::string& where, const std::string& options = "") {
    mounted_ = RunCommand("mount " + options + " " + Quote(what) + " " + Quote(where));
    if (mounted_) where_ = where;
  }
  ~Mount() {
    if (mounted_) RunCommand("umount " + Quote(where_));
  }
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  bool ok() const { return mounted_; }

 private:
  bool mounted_ = false;
  std::string where_;
};

// An image with an MBR and one Linux partition from 1 MiB to 3 MiB.
inline void WritePartitionedImage(const std::string& path) {
  WriteImage(path, 4 << 20);
  uint8_t mbr[512] = {};
  uint8_t* entry = mbr + 446;
  entry[4] = 0x83;
  layout::Store32(entry + 8, 2048);
  layout::Store32(entry + 12, 4096);
  mbr[510] = 0x55;
  mbr[511] = 0xAA;
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.write(reinterpret_cast<char*>(mbr), sizeof mbr);
}

// The first partition of a loop device over that image: the kernel's own
// scan where it reads MBRs, else added by hand at the same place.
inline std::string FirstPartition(const LoopDevice& loop) {
  std::string part = loop.path() + "p1";
  if (!std::filesystem::exists(part)) RunCommand("addpart " + loop.path() + " 1 2048 4096");
  return std::filesystem::exists(part) ? part : std::string();
}

}  // namespace plexi::posix::test
