// The about box's update check: fetch the maker's update page, find the
// newest archive named there, compare its version with ours and download it
// into a folder the user chooses. The window side only shows what this asks
// for (UpdateView); the network and the files are platform services.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/internet.h"
#include "util/ascii_text.h"
#include "util/sha256.h"

namespace plexi::about {

inline constexpr char kDefaultUpdatePage[] = "UpdateFilePage.html";
inline constexpr char kUpdateUserAgent[] = "qandz";

// The messages of the check, exactly as the user sees them.
namespace update_text {
inline constexpr char kNoInternet[] = "インターネットに接続できません。";
inline constexpr char kCannotConnect[] = "接続できませんでした。";
inline constexpr char kNoUpdateFile[] = "アップデートファイルが有りません！";
inline constexpr char kUpToDate[] = "お使いのソフトは最新のバージョンです。";
inline constexpr char kCancelled[] = "ダウンロードを中止しました。";
inline constexpr char kFailed[] = "ダウンロードに失敗しました。保存途中のファイルは削除しました。";
inline constexpr char kAskCaption[] = "Update";
inline constexpr char kFolderCaption[] = "保存先を選択して下さい";
inline constexpr char kPlainHttpCaption[] = "Update";
inline constexpr char kDigestMismatch[] =
    "ダウンロードしたファイルは途中で壊れたか、改ざんされています"
    "（SHA-256 が更新ページの値と一致しません）。保存したファイルは削除しました。";
inline constexpr char kNoBaseAddress[] =
    "更新の確認先が設定されていません。設定の \"updatebase\" に確認先のアドレスを指定して下さい。";
}  // namespace update_text

// base + trimmed folder + "/" + page; a folder of exactly one blank adds
// nothing, not even the "/".
std::string UpdatePageAddress(std::string_view base, std::string_view page_folder,
                              std::string_view page_name);
std::string ArchiveAddress(std::string_view base, std::string_view down_folder,
                           std::string_view archive_name);

// True for an https:// address (any letter case). Anything else goes over
// the wire unencrypted, where the page or the archive can be read or
// replaced on the way.
bool IsEncryptedAddress(std::string_view address);
// "scheme://host" of an address: what one consent to plain http covers.
std::string AddressOrigin(std::string_view address);
// The question asked before a plain http connection is made.
std::string PlainHttpQuestion(std::string_view address);

// The archive the update page offers: the update name, four version
// characters and ".zip", and the archive's SHA-256 when the page gives one.
struct ArchiveOffer {
  std::string name;
  std::string version;
  std::optional<Sha256Digest> sha256;
  bool sha256_unreadable = false;  // the page names a digest that is not 64 hex digits
};

// Looks at the first occurrence of `update_name` only. nullopt when the name
// does not occur, or when what follows it is not a ".zip" name.
std::optional<ArchiveOffer> FindArchive(std::string_view page, std::string_view update_name);

// The archive's digest is given anywhere in the page in the form the usual
// tools print (`sha256sum --tag`):
//   SHA256 (Plexiscrub_Up1103.zip) = <64 hex digits>
// The first such line for the archive counts. A page without one gives no
// digest, and the download is not checked.
inline constexpr char kDigestTag[] = "SHA256 (";
inline constexpr char kDigestSeparator[] = ") = ";
struct DigestField {
  bool present = false;
  std::optional<Sha256Digest> digest;  // nullopt when present but unreadable
};
DigestField FindArchiveDigest(std::string_view page, std::string_view archive_name);
std::string UnreadableDigestMessage(std::string_view archive_name);

// Plain character comparison: "1102" is older than "1103".
bool IsNewerVersion(std::string_view own_version, std::string_view archive_version);

// The archive name comes from the network and becomes a file name: only
// printable ASCII without path separators, "..", a drive colon or the
// characters file names cannot hold, and no trailing dot or blank.
bool IsUsableArchiveName(std::string_view name);
std::string UnusableNameMessage(std::string_view name);

// The progress range of a download. With a content length and a first
// available byte count the bar counts pieces (length / count, rounded up);
// without either it counts bytes, and when the total is unknown its end
// doubles whenever the bytes reach it.
class DownloadMeter {
 public:
  static constexpr uint32_t kFallbackChunk = 8192;
  static constexpr uint32_t kLargestChunk = 4u << 20;

  DownloadMeter(std::optional<uint64_t> content_length, uint32_t first_available);

  // Bytes to ask for in each read.
  uint32_t ChunkSize() const { return chunk_; }
  uint64_t Max() const { return max_; }
  uint64_t Position() const { return position_; }
  uint64_t BytesReceived() const { return received_; }
  // After each piece written.
  void Received(uint32_t bytes);
  // False when the server named a length and fewer or more bytes came.
  bool Complete() const;

 private:
  std::optional<uint64_t> length_;
  bool by_pieces_ = false;
  uint32_t chunk_ = kFallbackChunk;
  uint64_t max_ = 0;
  uint64_t position_ = 0;
  uint64_t received_ = 0;
};

// What the update check needs from the about box.
class UpdateView {
 public:
  virtual ~UpdateView() = default;
  // A message box with the application's title and an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // Yes/No box captioned "Update"; true for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  // The folder-selection dialog; nullopt when none was chosen.
  virtual std::optional<std::string> ChooseFolder(const std::string& caption) = 0;
  // The bar shown at 0 of `max`, the OK button hidden, "中止" on the button.
  virtual void DownloadStarted(uint64_t max) = 0;
  virtual void DownloadProgress(uint64_t position, uint64_t max) = 0;
  // Lets the window handle pending input (the "中止" click comes this way).
  virtual void ProcessInput() = 0;
  // The bar hidden, "Update" on the button, the OK button shown.
  virtual void DownloadEnded() = 0;
  virtual void OpenFolder(const std::string& folder) = 0;
};

struct UpdateConfig {
  std::string base_address;  // the maker's site, ending in "/"; empty: not set
  std::string page_name = kDefaultUpdatePage;
  std::string update_name;
  std::string page_folder = "DownLoadHtml";
  std::string down_folder = "UpdateFile";
  std::string own_version;
};

class UpdateChecker {
 public:
  UpdateChecker(UpdateConfig config, platform::Internet& internet, platform::DownloadFiles& files,
                UpdateView& view);

  // The Update button: checks while idle; during a download it only asks
  // the download to stop at its next read.
  void UpdateButtonClick();
  bool Idle() const { return idle_; }
  // The archive the last check found (empty before).
  const std::string& ArchiveName() const { return archive_name_; }

 private:
  void CheckForUpdate();
  std::optional<std::string> FetchPage();
  void OfferDownload(const ArchiveOffer& offer);
  void Download(const std::string& folder, const ArchiveOffer& offer);
  bool CopyArchive(platform::InternetRequest& request, platform::WritableFile& file, DownloadMeter& meter,
                   Sha256& sha);
  std::optional<const char*> DownloadFailure(bool whole, const ArchiveOffer& offer, Sha256& sha);
  // True when the address is https, or the user agreed to plain http for
  // its site during this check.
  bool ConfirmUnencrypted(const std::string& address);

  UpdateConfig config_;
  platform::Internet& internet_;
  platform::DownloadFiles& files_;
  UpdateView& view_;
  std::string archive_name_;
  std::string accepted_origin_;  // plain http the user agreed to in this check
  bool idle_ = true;
};

// Adds the path separator a folder needs before a file name.
std::string WithTrailingSeparator(std::string folder);
// The folder without its trailing separator, but a drive root keeps it.
std::string WithoutTrailingSeparator(std::string folder);

}  // namespace plexi::about
