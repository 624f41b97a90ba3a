#include "app/peer_copies_win.h"

#include <array>
#include <vector>

#include "app/main_window_win.h"
#include "platform/win/utf.h"

namespace plexi::app {

namespace {

// The dwData of a row change; copies already running send 0, so it stays 0.
constexpr ULONG_PTR kRowChangeData = 0;

bool IsMainWindow(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return lstrcmpW(name, kMainWindowClass) == 0;
}

struct PeerSearch {
  HWND self;
  std::vector<HWND> peers;
  bool full = false;
};

BOOL CALLBACK CollectPeer(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<PeerSearch*>(context);
  if (window == search->self || !IsWindowVisible(window) || !IsMainWindow(window)) return TRUE;
  search->peers.push_back(window);
  search->full = search->peers.size() >= kPeerTableSize;
  return search->full ? FALSE : TRUE;
}

}  // namespace

int SendRowChangeToPeers(HWND self, const RowChangeMessage& message) {
  PeerSearch search{self, {}, false};
  search.peers.reserve(kPeerTableSize);
  EnumWindows(CollectPeer, reinterpret_cast<LPARAM>(&search));
  if (search.full) return 0;

  std::array<uint8_t, RowChangeMessage::kSize> payload = message.Encode();
  COPYDATASTRUCT data{};
  data.dwData = kRowChangeData;
  data.cbData = DWORD(payload.size());
  data.lpData = payload.data();
  int delivered = 0;
  for (HWND peer : search.peers) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(peer, WM_COPYDATA, reinterpret_cast<WPARAM>(self),
                            reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                            kPeerTimeoutMs, &result) != 0)
      ++delivered;
  }
  return delivered;
}

std::optional<RowChangeMessage> ReceivedRowChange(WPARAM sender, LPARAM copy_data) {
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(copy_data);
  HWND from = reinterpret_cast<HWND>(sender);
  if (data == nullptr || from == nullptr || !IsWindow(from) || !IsMainWindow(from))
    return std::nullopt;
  // Another kind of WM_COPYDATA is not ours to decode; the length and the
  // bytes are checked by Decode.
  if (data->dwData != kRowChangeData) return std::nullopt;
  return RowChangeMessage::Decode(data->lpData, data->cbData);
}

RunningMarker::RunningMarker(const std::string& settings_place) {
  // Mutex names cannot hold backslashes: the place goes in as a hash
  // (FNV-1a, the same in every build of the program).
  uint64_t hash = 14695981039346656037u;
  for (unsigned char c : settings_place) hash = (hash ^ c) * 1099511628211u;
  const std::wstring name = L"Local\\Plexiscrub.Running." + std::to_wstring(hash);
  mutex_.reset(CreateMutexW(nullptr, FALSE, name.c_str()));
  another_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace plexi::app
