// What more writes in flight would give the erase's write pass: the pass as
// the worker makes it (4 MiB direct writes of one constant buffer, front to
// back, then a flush), with DEPTH writes in flight instead of one.
//   plexiscrub_write_depth DEVICE DEPTH...   prints "DEPTH MiB/s" per depth
// It overwrites DEVICE: the benchmark gives it only the loop device it made.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/aligned_buffer.h"

namespace {

constexpr size_t kPiece = 4u << 20;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { if (fd_ >= 0) ::close(fd_); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// MiB/s of one pass over `size` bytes with `depth` writes in flight; 0 on a
// failed write.
double WritePass(int fd, uint64_t size, int depth, const plexi::AlignedBuffer& zeros) {
  std::atomic<uint64_t> next{0};
  std::atomic<bool> failed{false};
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> writers;
  for (int i = 0; i < depth; ++i) {
    writers.emplace_back([&] {
      for (uint64_t at = next.fetch_add(kPiece); at < size && !failed; at = next.fetch_add(kPiece)) {
        const size_t length = size_t(std::min<uint64_t>(kPiece, size - at));
        if (::pwrite(fd, zeros.data(), length, off_t(at)) != ssize_t(length)) failed = true;
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  if (failed || ::fdatasync(fd) != 0) return 0;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return double(size) / seconds / 1048576;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: plexiscrub_write_depth DEVICE DEPTH...\n");
    return 2;
  }
  Fd fd(::open(argv[1], O_RDWR | O_DIRECT));
  uint64_t size = 0;
  if (fd.get() < 0 || ::ioctl(fd.get(), BLKGETSIZE64, &size) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  plexi::AlignedBuffer zeros(kPiece);
  for (int i = 2; i < argc; ++i) {
    const int depth = std::atoi(argv[i]);
    if (depth < 1) return 2;
    std::printf("%d %.0f\n", depth, WritePass(fd.get(), size, depth, zeros));
  }
  return 0;
}
