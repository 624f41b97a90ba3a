// Shows the about box on its own, for screenshots and for trying the update
// check by hand:
//   plexiscrub_about_box [--base=URL] [--serve] [--screenshot=FILE.bmp]
//                        [--downloading]
// --serve starts a local server (127.0.0.1) that offers a newer archive,
// sent slowly, and points the box at it; --base points it elsewhere.
// --screenshot saves the form as a bitmap and closes it; with --downloading
// the picture is taken while that archive downloads (into %TEMP%), after
// which the download is cancelled.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "about/about_dialog_win.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/internet_win.h"
#include "platform/win/utf.h"
#include "platform/win/win_handles.h"
#include "win/about_http_server.h"

namespace {

using namespace std::chrono_literals;
using plexi::win::Utf8ToWide;
using plexi::win::WideToUtf8;

class ToolSettings : public plexi::platform::Settings {
 public:
  explicit ToolSettings(std::string base) : base_(std::move(base)) {}
  bool Exists(const std::string& name) override { return name == plexi::about::kSiteAddressSetting; }
  std::optional<int32_t> ReadInt(const std::string&) override { return std::nullopt; }
  plexi::platform::Result<> WriteInt(const std::string&, int32_t) override { return plexi::platform::Result<>::Success(); }
  std::optional<std::string> ReadText(const std::string& name) override {
    if (!Exists(name)) return std::nullopt;
    return base_;
  }
  plexi::platform::Result<> WriteText(const std::string&, const std::string&) override { return plexi::platform::Result<>::Success(); }

 private:
  std::string base_;
};

template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 30s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

HWND FindOwn(const wchar_t* window_class) {
  HWND hwnd = nullptr;
  while ((hwnd = FindWindowExW(nullptr, hwnd, window_class, nullptr)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(hwnd)) return hwnd;
  }
  return nullptr;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return text;
}

// The window as it is on the screen, as a 24-bit bitmap file.
bool SaveWindowPicture(HWND hwnd, const std::wstring& path) {
  RECT r;
  GetWindowRect(hwnd, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  auto screen = plexi::win::GetWindowDc(nullptr);
  plexi::win::UniqueDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  plexi::win::UniqueBitmap bitmap(
      CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  auto selected = plexi::win::SelectInto(memory.get(), bitmap.get());
  BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY | CAPTUREBLT);
  GdiFlush();
  const DWORD stride = DWORD((width * 3 + 3) & ~3), image = stride * DWORD(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + image;
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
  out.write(static_cast<const char*>(bits), std::streamsize(image));
  return bool(out);
}

// A Linux path given by a script names the same file through drive Z:.
std::wstring WindowsPath(std::wstring path) {
  if (path.empty() || path[0] != L'/') return path;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return L"Z:" + path;
}

void Answer(int id) {
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = FindOwn(L"#32770")) != nullptr; }, 10s)) return;
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5s);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::string base;
  std::wstring screenshot;
  bool serve = false, downloading = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.rfind(L"--base=", 0) == 0) base = WideToUtf8(arg.substr(7));
    else if (arg == L"--serve") serve = true;
    else if (arg.rfind(L"--screenshot=", 0) == 0) screenshot = WindowsPath(arg.substr(13));
    else if (arg == L"--downloading") downloading = true;
    else {
      std::fprintf(stderr, "unknown argument\n");
      return 64;
    }
  }

  std::unique_ptr<plexi::testing::TestHttpServer> server;
  if (serve) {
    server = std::make_unique<plexi::testing::TestHttpServer>();
    server->Set("/DownLoadHtml/UpdateFilePage.html",
                {"<a href=\"../UpdateFile/Plexiscrub_Up1103.zip\">Plexiscrub_Up1103.zip</a>"});
    plexi::testing::TestHttpServer::Resource archive{std::string(2 << 20, 'z')};
    archive.stall_after = 256 * 1024;
    server->Set("/UpdateFile/Plexiscrub_Up1103.zip", archive);
    base = server->Base();
  }

  plexi::win::WinInternet internet(serve ? plexi::win::WinInternet::Access::kDirect
                                         : plexi::win::WinInternet::Access::kPreconfigured);
  plexi::win::WinDownloadFiles files;
  plexi::win::AboutServices services;
  services.internet = &internet;
  services.files = &files;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  if (!screenshot.empty()) {
    services.choose_folder = [&](HWND, const std::string&) {
      return std::optional<std::string>(WideToUtf8(temp));
    };
    services.open_folder = [](HWND, const std::string&) {};
  }
  plexi::win::AboutBox about(services);
  ToolSettings settings(base);

  std::atomic<bool> done{false}, saved{false};
  std::thread photographer;
  if (!screenshot.empty()) {
    photographer = std::thread([&] {
      HWND form = nullptr;
      if (!WaitFor([&] { return (form = FindOwn(plexi::win::kVersionBoxClass)) != nullptr; }))
        return;
      HWND update = GetDlgItem(form, plexi::win::kUpdateButtonId);
      if (downloading) {
        PostMessageW(form, WM_COMMAND, MAKEWPARAM(plexi::win::kUpdateButtonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(update));
        Answer(IDYES);  // plain http to the local server
        Answer(IDYES);  // the download
        WaitFor([&] { return TextOf(update) == L"中止"; });
        std::this_thread::sleep_for(1500ms);  // let the bar move on a little
      } else {
        std::this_thread::sleep_for(700ms);  // a few animation steps
      }
      RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      std::this_thread::sleep_for(200ms);
      saved = SaveWindowPicture(form, screenshot);
      if (downloading) {
        PostMessageW(form, WM_COMMAND, MAKEWPARAM(plexi::win::kUpdateButtonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(update));
        Answer(IDOK);
      }
      while (!done) {
        PostMessageW(form, WM_CLOSE, 0, 0);
        std::this_thread::sleep_for(100ms);
      }
    });
  }
  about.Execute(nullptr, settings);
  done = true;
  if (photographer.joinable()) photographer.join();
  if (!screenshot.empty() && !saved) {
    std::fprintf(stderr, "no screenshot taken\n");
    return 1;
  }
  return 0;
}
