// The about box's update check end to end: the real form, WinINet and the
// file system against a server of the test's own on 127.0.0.1. The form
// runs modally on the test's thread; a second thread plays the user,
// clicking buttons and answering message boxes, and reports what it saw.
#include "about/about_dialog_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "about/update_check.h"
#include "about_http_server.h"
#include "platform/win/gdi_scope.h"
#include "platform/win/win_handles.h"
#include "platform/win/internet_win.h"
#include "platform/win/utf.h"
#include "temp_folder.h"

namespace plexi::win {
namespace {

using plexi::testing::TempFolder;
using plexi::testing::TestHttpServer;
using plexi::win::Utf8ToWide;
using plexi::win::WideToUtf8;
using namespace std::chrono_literals;

constexpr char kPagePath[] = "/DownLoadHtml/UpdateFilePage.html";
constexpr char kNewArchive[] = "Plexiscrub_Up1103.zip";

class MemorySettings : public platform::Settings {
 public:
  bool Exists(const std::string& name) override { return texts.count(name) > 0; }
  std::optional<int32_t> ReadInt(const std::string&) override { return std::nullopt; }
  platform::Result<> WriteInt(const std::string&, int32_t) override { return platform::Result<>::Success(); }
  std::optional<std::string> ReadText(const std::string& name) override {
    auto it = texts.find(name);
    if (it == texts.end()) return std::nullopt;
    return it->second;
  }
  platform::Result<> WriteText(const std::string& name, const std::string& value) override {
    texts[name] = value;
    return platform::Result<>::Success();
  }
  std::map<std::string, std::string> texts;
};

template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// A visible top-level window of this process with the class given.
HWND FindOwnWindow(const wchar_t* window_class) {
  struct Search {
    const wchar_t* window_class;
    HWND found = nullptr;
  } search{window_class};
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (process == GetCurrentProcessId() && IsWindowVisible(hwnd) &&
            lstrcmpW(name, s->window_class) == 0) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return WideToUtf8(text);
}

struct SeenBox {
  std::string caption;
  std::string text;
  bool yes_no = false;
};

// Waits for a message box, notes it and answers it with `answer`.
std::optional<SeenBox> AnswerMessageBox(int answer) {
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = FindOwnWindow(L"#32770")) != nullptr; })) return std::nullopt;
  SeenBox seen{TextOf(box), TextOf(GetDlgItem(box, 0xFFFF)), GetDlgItem(box, IDYES) != nullptr};
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
  WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5s);
  return seen;
}

// The local server speaks plain http: the check asks before it connects.
bool AcceptPlainHttp() {
  const std::optional<SeenBox> box = AnswerMessageBox(IDYES);
  return box && box->yes_no && box->text.find("暗号化されていません") != std::string::npos;
}

void ClickUpdate(HWND form) {
  HWND button = GetDlgItem(form, kUpdateButtonId);
  PostMessageW(form, WM_COMMAND, MAKEWPARAM(kUpdateButtonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

std::uintmax_t FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(std::filesystem::path(Utf8ToWide(path)), ec);
  return ec ? 0 : size;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(std::filesystem::path(Utf8ToWide(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ArchiveBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 2463534242u;
  for (char& c : bytes) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = char(x);
  }
  return bytes;
}

class AboutBoxUnderWine : public ::testing::Test {
 protected:
  AboutBoxUnderWine() { settings.texts[about::kSiteAddressSetting] = server.Base(); }

  void OfferPage(const std::string& archive) {
    server.Set(kPagePath, {"<html><a href=\"../UpdateFile/" + archive + "\">" + archive + "</a></html>"});
  }

  AboutServices Services() {
    AboutServices services;
    services.internet = &internet;
    services.files = &files;
    services.choose_folder = [this](HWND, const std::string& caption) {
      folder_caption = caption;
      return std::optional<std::string>(folder.utf8());
    };
    services.open_folder = [this](HWND, const std::string& path) {
      std::lock_guard lock(mutex);
      opened_folders.push_back(path);
    };
    return services;
  }

  // Shows the about box on this thread while `user` works it from another;
  // whatever is still open afterwards is closed.
  void Run(const std::function<void(HWND form)>& user) {
    AboutBox about(Services());
    std::atomic<bool> done{false};
    std::thread player([&] {
      HWND form = nullptr;
      if (WaitFor([&] { return (form = FindOwnWindow(kVersionBoxClass)) != nullptr; })) {
        form_found = true;
        user(form);
      }
      while (!done) {
        if (HWND box = FindOwnWindow(L"#32770"))
          PostMessageW(box, WM_COMMAND, GetDlgItem(box, IDNO) ? IDNO : IDOK, 0);
        if (form && IsWindow(form)) PostMessageW(form, WM_CLOSE, 0, 0);
        std::this_thread::sleep_for(50ms);
      }
    });
    about.Execute(nullptr, settings);
    done = true;
    player.join();
    EXPECT_TRUE(form_found);
  }

  std::vector<std::string> OpenedFolders() {
    std::lock_guard lock(mutex);
    return opened_folders;
  }

  TestHttpServer server;
  MemorySettings settings;
  plexi::win::WinInternet internet{plexi::win::WinInternet::Access::kDirect};
  plexi::win::WinDownloadFiles files;
  TempFolder folder;
  std::mutex mutex;
  std::vector<std::string> opened_folders;
  std::string folder_caption;
  bool form_found = false;
};

// What the screen shows of the maker's link line: whether it has a bluish
// pixel (the live link) and a grey one (the dead link's text).
struct LinkLine {
  bool blue = false;
  bool grey = false;
};

std::optional<LinkLine> ReadLinkLine(HWND form) {
  constexpr RECT kLine = {100, 143, 290, 158};  // client coordinates, right of the years
  const int width = kLine.right - kLine.left, height = kLine.bottom - kLine.top;
  POINT origin{kLine.left, kLine.top};
  ClientToScreen(form, &origin);
  auto screen = GetWindowDc(nullptr);
  UniqueDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap || bits == nullptr) return std::nullopt;
  auto selected = SelectInto(memory.get(), bitmap.get());
  if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), origin.x, origin.y, SRCCOPY)) return std::nullopt;
  GdiFlush();
  LinkLine line;
  const auto* pixels = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < width * height; ++i) {
    const int r = (pixels[i] >> 16) & 0xFF, g = (pixels[i] >> 8) & 0xFF, b = pixels[i] & 0xFF;
    if (b > r + 60 && b > g + 60) line.blue = true;
    if (std::abs(r - g) < 16 && std::abs(g - b) < 16 && r < 0xB0) line.grey = true;
  }
  return line;
}

// Without a configured site the maker's link is grey and a click on it
// opens nothing; with one it is the blue link.
TEST_F(AboutBoxUnderWine, MakerLinkIsDeadWithoutASite) {
  settings.texts.erase(about::kSiteAddressSetting);
  bool dead = false, opened = false;
  Run([&](HWND form) {
    dead = WaitFor([&] {
      const std::optional<LinkLine> line = ReadLinkLine(form);
      return line && line->grey && !line->blue;
    }, 10s);
    // A click on the link: handled at once, no page or message opens, and
    // the form stays.
    const LPARAM on_link = MAKELPARAM(260, 150);
    DWORD_PTR ignored = 0;
    const bool answered =
        SendMessageTimeoutW(form, WM_LBUTTONDOWN, MK_LBUTTON, on_link, SMTO_BLOCK, 3000, &ignored) != 0 &&
        SendMessageTimeoutW(form, WM_LBUTTONUP, 0, on_link, SMTO_BLOCK, 3000, &ignored) != 0;
    opened = !answered || FindOwnWindow(L"#32770") != nullptr || !IsWindow(form);
  });
  EXPECT_TRUE(dead) << "grey text, no blue";
  EXPECT_FALSE(opened) << "the click did something";

  settings.texts[about::kSiteAddressSetting] = server.Base();
  bool live = false;
  Run([&](HWND form) {
    live = WaitFor([&] {
      const std::optional<LinkLine> line = ReadLinkLine(form);
      return line && line->blue;
    }, 10s);
  });
  EXPECT_TRUE(live) << "the configured site's link is blue";
}

TEST_F(AboutBoxUnderWine, SameVersionIsUpToDate) {
  OfferPage("Plexiscrub_Up1102.zip");
  std::optional<SeenBox> box;
  bool asked = false;
  Run([&](HWND form) {
    ClickUpdate(form);
    asked = AcceptPlainHttp();
    box = AnswerMessageBox(IDOK);
  });
  EXPECT_TRUE(asked) << "plain http needs the user's consent";
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "プレキシスクラブ");
  EXPECT_EQ(box->text, "お使いのソフトは最新のバージョンです。");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].rfind(std::string("GET ") + kPagePath + " ", 0), 0u) << requests[0];
  EXPECT_NE(requests[0].find("User-Agent: qandz\r\n"), std::string::npos) << requests[0];
}

TEST_F(AboutBoxUnderWine, NewerArchiveDownloadedIntoTheChosenFolder) {
  OfferPage(kNewArchive);
  const std::string archive = ArchiveBytes(300 * 1024 + 17);
  server.Set(std::string("/UpdateFile/") + kNewArchive, {archive});
  std::optional<SeenBox> question;
  bool folder_opened = false, ok_back = false;
  Run([&](HWND form) {
    ClickUpdate(form);
    if (!AcceptPlainHttp()) return;
    question = AnswerMessageBox(IDYES);
    folder_opened = WaitFor([&] { return !OpenedFolders().empty(); });
    ok_back = WaitFor([&] { return IsWindowVisible(GetDlgItem(form, IDOK)) != FALSE; });
  });
  ASSERT_TRUE(question);
  EXPECT_EQ(question->caption, "Update");
  EXPECT_TRUE(question->yes_no);
  EXPECT_EQ(question->text, std::string("最新のアップデートファイルが見つかりました。\n'") + kNewArchive +
                                "' をダウンロードしますか？");
  EXPECT_EQ(folder_caption, "保存先を選択して下さい");
  EXPECT_TRUE(folder_opened);
  EXPECT_TRUE(ok_back);
  const std::string saved = ReadFile(folder.utf8() + kNewArchive);
  EXPECT_EQ(saved.size(), archive.size());
  EXPECT_TRUE(saved == archive);
  const auto opened = OpenedFolders();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0] + "\\", folder.utf8());
}

TEST_F(AboutBoxUnderWine, CancelledDownloadLeavesNoFile) {
  OfferPage(kNewArchive);
  TestHttpServer::Resource stalled{ArchiveBytes(8 << 20)};
  stalled.stall_after = 32 * 1024;
  server.Set(std::string("/UpdateFile/") + kNewArchive, stalled);
  const std::string path = folder.utf8() + kNewArchive;
  bool running = false, ok_hidden = false, restored = false;
  std::optional<SeenBox> cancelled;
  Run([&](HWND form) {
    ClickUpdate(form);
    if (!AcceptPlainHttp() || !AnswerMessageBox(IDYES)) return;
    HWND update = GetDlgItem(form, kUpdateButtonId);
    running = WaitFor([&] { return TextOf(update) == "中止" && FileSize(path) > 0; });
    ok_hidden = !IsWindowVisible(GetDlgItem(form, IDOK));
    ClickUpdate(form);  // "中止"
    cancelled = AnswerMessageBox(IDOK);
    restored = WaitFor([&] {
      return TextOf(update) == "Update" && IsWindowVisible(GetDlgItem(form, IDOK));
    });
  });
  EXPECT_TRUE(running);
  EXPECT_TRUE(ok_hidden);
  ASSERT_TRUE(cancelled);
  EXPECT_EQ(cancelled->text, "ダウンロードを中止しました。");
  EXPECT_TRUE(restored);
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(OpenedFolders().empty());
}

TEST_F(AboutBoxUnderWine, DeclinedPlainHttpAsksTheServerNothing) {
  OfferPage(kNewArchive);
  std::optional<SeenBox> box;
  bool no_more = false;
  Run([&](HWND form) {
    ClickUpdate(form);
    box = AnswerMessageBox(IDNO);
    no_more = !WaitFor([&] { return FindOwnWindow(L"#32770") != nullptr; }, 1500ms);
  });
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Update");
  EXPECT_TRUE(box->yes_no);
  EXPECT_NE(box->text.find("'" + server.Base().substr(0, server.Base().size() - 1) + "'"), std::string::npos)
      << box->text;
  EXPECT_TRUE(no_more) << "nothing after the refusal";
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(AboutBoxUnderWine, UnreachableServer) {
  settings.texts[about::kSiteAddressSetting] =
      "http://127.0.0.1:" + std::to_string(TestHttpServer::ClosedPort()) + "/";
  std::optional<SeenBox> box;
  bool asked = false;
  Run([&](HWND form) {
    ClickUpdate(form);
    asked = AcceptPlainHttp();
    box = AnswerMessageBox(IDOK);
  });
  EXPECT_TRUE(asked) << "plain http needs the user's consent";
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "接続できませんでした。");
}

TEST_F(AboutBoxUnderWine, HostileArchiveNameWritesNothing) {
  server.Set(kPagePath, {"Plexiscrub_Up\\..\\.zip"});
  std::optional<SeenBox> box;
  bool asked = false;
  Run([&](HWND form) {
    ClickUpdate(form);
    asked = AcceptPlainHttp();
    box = AnswerMessageBox(IDOK);
  });
  EXPECT_TRUE(asked) << "plain http needs the user's consent";
  ASSERT_TRUE(box);
  EXPECT_FALSE(box->yes_no);
  EXPECT_NE(box->text.find("ファイル名に使えない"), std::string::npos) << box->text;
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(folder.wide())));
}

}  // namespace
}  // namespace plexi::win
