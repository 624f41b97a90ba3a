#include "screen_capture.h"

#include <array>

#include "platform/win/gdi_scope.h"
#include "platform/win/win_handles.h"

namespace plexi::gui {
namespace {

std::optional<Image> CaptureScreen(const RECT& area) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return std::nullopt;
  auto screen = win::GetWindowDc(nullptr);
  win::UniqueDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  win::UniqueBitmap bitmap(
      CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  std::optional<Image> image;
  if (memory && bitmap && bits != nullptr) {
    auto selected = win::SelectInto(memory.get(), bitmap.get());
    if (BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY)) {
      GdiFlush();
      image = Image{width, height, {}};
      const auto* source = static_cast<const uint32_t*>(bits);
      image->pixels.assign(source, source + size_t(width) * size_t(height));
      for (uint32_t& p : image->pixels) p &= 0xFFFFFF;
    }
  }
  return image;
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  Put32(png, uint32_t(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  Put32(png, Crc32(body.data(), body.size()));
}

// zlib data made of stored (uncompressed) blocks: simple, and screenshots
// are small enough.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(65535, raw.size() - pos);
    const bool last = pos + n == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(uint8_t(n));
    out.push_back(uint8_t(n >> 8));
    out.push_back(uint8_t(~n));
    out.push_back(uint8_t(~n >> 8));
    out.insert(out.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32(out, (b << 16) | a);
  return out;
}

}  // namespace

COLORREF Image::At(int x, int y) const {
  // A place outside the picture (a layout other than the one a check
  // expects) is no colour, never a read past the pixels.
  if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
  const uint32_t p = pixels[size_t(y) * size_t(width) + size_t(x)];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

std::optional<Image> CaptureWindow(HWND window) {
  RECT area;
  if (!GetWindowRect(window, &area)) return std::nullopt;
  return CaptureScreen(area);
}

std::optional<Image> CaptureClient(HWND window, const RECT& area) {
  RECT screen = area;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&screen), 2);
  return CaptureScreen(screen);
}

bool SavePng(const Image& image, const std::wstring& path) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  Put32(header, uint32_t(image.width));
  Put32(header, uint32_t(image.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  Chunk(png, "IHDR", header);
  std::vector<uint8_t> raw;
  raw.reserve(size_t(image.height) * (size_t(image.width) * 3 + 1));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < image.width; ++x) {
      const uint32_t p = image.pixels[size_t(y) * size_t(image.width) + size_t(x)];
      raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    }
  }
  Chunk(png, "IDAT", StoredZlib(raw));
  Chunk(png, "IEND", {});
  win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), png.data(), DWORD(png.size()), &written, nullptr) &&
         written == png.size();
}

}  // namespace plexi::gui
