// Where a simulated disk keeps its bytes: sparse memory, or an image file read
// and written in place. Callers serialise access (the disk's mutex).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plexi::sim {

class DiskStore {
 public:
  virtual ~DiskStore() = default;
  // Both return 0 or a Windows error code. Bytes never written read as zero.
  virtual uint32_t Read(uint64_t offset, uint8_t* out, size_t length) = 0;
  virtual uint32_t Write(uint64_t offset, const uint8_t* data, size_t length) = 0;
  virtual uint32_t Flush() = 0;
  // Makes the first `length` bytes zero, as a drive's purge does.
  virtual uint32_t Clear(uint64_t length) = 0;
  // Memory (or file bytes) the contents take, to show that sparse disks are cheap.
  virtual uint64_t StoredBytes() const = 0;
};

// Contents in 64 KiB blocks allocated on first write; a block written back to
// all zeros is freed.
std::unique_ptr<DiskStore> MakeMemoryStore();

// Opens an image file for reading and writing (read-only if the file allows
// no more: writes then fail with ERROR_WRITE_PROTECT). Returns nullptr with a
// message when the file cannot be opened. *file_size receives its length.
std::unique_ptr<DiskStore> OpenImageStore(const std::string& path, uint64_t* file_size, std::string* error);

}  // namespace plexi::sim
