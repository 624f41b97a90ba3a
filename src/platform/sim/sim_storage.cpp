#include "platform/sim/sim_storage.h"

#include <algorithm>
#include <vector>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>

#include "platform/sim/file_util.h"
#include "platform/winconst.h"

namespace plexi::sim {
namespace {

constexpr uint64_t kBlockSize = 64 * 1024;

class MemoryStore : public DiskStore {
 public:
  uint32_t Read(uint64_t offset, uint8_t* out, size_t length) override {
    while (length > 0) {
      uint64_t index = offset / kBlockSize;
      size_t within = size_t(offset % kBlockSize);
      size_t n = std::min<size_t>(length, size_t(kBlockSize) - within);
      auto it = blocks_.find(index);
      if (it == blocks_.end()) std::memset(out, 0, n);
      else std::memcpy(out, it->second->data() + within, n);
      out += n;
      offset += n;
      length -= n;
    }
    return winconst::kErrorSuccess;
  }

  uint32_t Write(uint64_t offset, const uint8_t* data, size_t length) override {
    while (length > 0) {
      uint64_t index = offset / kBlockSize;
      size_t within = size_t(offset % kBlockSize);
      size_t n = std::min<size_t>(length, size_t(kBlockSize) - within);
      WriteInBlock(index, within, data, n);
      data += n;
      offset += n;
      length -= n;
    }
    return winconst::kErrorSuccess;
  }

  uint32_t Flush() override { return winconst::kErrorSuccess; }
  uint32_t Clear(uint64_t length) override {
    blocks_.erase(blocks_.begin(), blocks_.lower_bound(length / kBlockSize));
    if (length % kBlockSize != 0) {
      std::vector<uint8_t> zeros(length % kBlockSize);
      return Write(length - zeros.size(), zeros.data(), zeros.size());
    }
    return winconst::kErrorSuccess;
  }
  uint64_t StoredBytes() const override { return blocks_.size() * kBlockSize; }

 private:
  using Block = std::array<uint8_t, kBlockSize>;

  static bool AllZero(const uint8_t* p, size_t n) {
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
  }

  void WriteInBlock(uint64_t index, size_t within, const uint8_t* data, size_t n) {
    auto it = blocks_.find(index);
    if (it == blocks_.end()) {
      if (AllZero(data, n)) return;  // zeros over nothing: still nothing
      it = blocks_.emplace(index, std::make_unique<Block>()).first;
      it->second->fill(0);
    }
    std::memcpy(it->second->data() + within, data, n);
    // Erasing with zeros gives the memory back, so a zero pass over a large
    // disk does not fill the machine's memory.
    if (AllZero(data, n) && AllZero(it->second->data(), kBlockSize)) blocks_.erase(it);
  }

  std::map<uint64_t, std::unique_ptr<Block>> blocks_;
};

class ImageStore : public DiskStore {
 public:
  ImageStore(std::fstream file, bool writable) : file_(std::move(file)), writable_(writable) {}

  uint32_t Read(uint64_t offset, uint8_t* out, size_t length) override {
    file_.clear();
    file_.seekg(std::streamoff(offset));
    file_.read(reinterpret_cast<char*>(out), std::streamsize(length));
    size_t got = size_t(std::max<std::streamsize>(file_.gcount(), 0));
    bool bad = file_.bad();
    file_.clear();
    if (bad) return winconst::kErrorReadFault;
    // Past the file's end the disk reads as zeros.
    std::memset(out + got, 0, length - got);
    return winconst::kErrorSuccess;
  }

  uint32_t Write(uint64_t offset, const uint8_t* data, size_t length) override {
    if (!writable_) return winconst::kErrorWriteProtect;
    file_.clear();
    file_.seekp(std::streamoff(offset));
    file_.write(reinterpret_cast<const char*>(data), std::streamsize(length));
    file_.flush();  // so that another reader of the image sees every write
    bool failed = !file_;
    file_.clear();
    return failed ? winconst::kErrorWriteFault : winconst::kErrorSuccess;
  }

  uint32_t Flush() override {
    file_.flush();
    bool failed = !file_;
    file_.clear();
    return failed ? winconst::kErrorWriteFault : winconst::kErrorSuccess;
  }

  uint64_t StoredBytes() const override { return 0; }

  uint32_t Clear(uint64_t length) override {
    std::vector<uint8_t> zeros(1u << 20);
    for (uint64_t at = 0; at < length; at += zeros.size())
      if (uint32_t e = Write(at, zeros.data(), size_t(std::min<uint64_t>(zeros.size(), length - at)))) return e;
    return winconst::kErrorSuccess;
  }

 private:
  std::fstream file_;
  bool writable_;
};

}  // namespace

std::unique_ptr<DiskStore> MakeMemoryStore() { return std::make_unique<MemoryStore>(); }

std::unique_ptr<DiskStore> OpenImageStore(const std::string& path, uint64_t* file_size, std::string* error) {
  std::filesystem::path p = PathFromUtf8(path);
  std::error_code ec;
  if (std::filesystem::is_directory(p, ec)) {
    *error = "image '" + path + "' is a folder";
    return nullptr;
  }
  uint64_t size = std::filesystem::file_size(p, ec);
  if (ec) {
    *error = "cannot open image '" + path + "': " + ec.message();
    return nullptr;
  }
  errno = 0;
  std::fstream file(p, std::ios::in | std::ios::out | std::ios::binary);
  bool writable = bool(file);
  if (!writable) {
    file.clear();
    file.open(p, std::ios::in | std::ios::binary);
  }
  if (!file) {
    *error = "cannot open image '" + path + "': " + std::strerror(errno ? errno : EACCES);
    return nullptr;
  }
  *file_size = size;
  return std::make_unique<ImageStore>(std::move(file), writable);
}

}  // namespace plexi::sim
