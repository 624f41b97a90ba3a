#include "about/update_check.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace plexi::about {

namespace {

// An update page larger than this is not a page we look for a name in; the
// rest is not read, so a server cannot fill our memory.
constexpr size_t kLargestPage = 4u << 20;
constexpr uint64_t kUnknownLengthStart = 1u << 20;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// No HTTP status (another protocol), or a 2xx answer. A 404 page is not the
// update page, and certainly not the archive.
bool IsSuccess(platform::InternetRequest& request) {
  const uint32_t status = request.StatusCode();
  return status == 0 || (status >= 200 && status < 300);
}

}  // namespace

bool IsEncryptedAddress(std::string_view address) {
  constexpr std::string_view kHttps = "https://";
  return address.size() >= kHttps.size() && EqualIgnoringAsciiCase(address.substr(0, kHttps.size()), kHttps);
}

std::string AddressOrigin(std::string_view address) {
  const size_t scheme = address.find("://");
  if (scheme == std::string_view::npos) return std::string(address);
  const size_t path = address.find('/', scheme + 3);
  return std::string(address.substr(0, path));
}

std::string PlainHttpQuestion(std::string_view address) {
  return "'" + AddressOrigin(address) +
         "' への接続は暗号化されていません (http)。\n"
         "通信の途中で内容を読まれたり書き換えられたりするおそれがあります。\n"
         "接続を続けますか？";
}

std::string UpdatePageAddress(std::string_view base, std::string_view page_folder,
                              std::string_view page_name) {
  std::string address(base);
  if (page_folder != " ") address += TrimBlanks(page_folder) + "/";
  return address += page_name;
}

std::string ArchiveAddress(std::string_view base, std::string_view down_folder,
                           std::string_view archive_name) {
  std::string address(base);
  address += down_folder;
  address += '/';
  return address += archive_name;
}

std::optional<ArchiveOffer> FindArchive(std::string_view page, std::string_view update_name) {
  if (update_name.empty()) return std::nullopt;
  const size_t at = page.find(update_name);
  if (at == std::string_view::npos) return std::nullopt;
  // The update name, four version digits and ".zip".
  ArchiveOffer offer;
  offer.name = std::string(page.substr(at, update_name.size() + 8));
  const size_t zip = offer.name.find(".zip");
  if (zip == std::string::npos) return std::nullopt;
  const size_t from = zip >= 4 ? zip - 4 : 0;
  offer.version = offer.name.substr(from, zip - from);
  const DigestField digest = FindArchiveDigest(page, offer.name);
  offer.sha256 = digest.digest;
  offer.sha256_unreadable = digest.present && !digest.digest;
  return offer;
}

DigestField FindArchiveDigest(std::string_view page, std::string_view archive_name) {
  const std::string field = std::string(kDigestTag) + std::string(archive_name) + kDigestSeparator;
  const size_t at = page.find(field);
  if (at == std::string_view::npos) return {};
  DigestField found;
  found.present = true;
  const std::string_view rest = page.substr(at + field.size());
  constexpr size_t kHexLength = 64;
  // Exactly 64 digits: a longer run is no SHA-256 either.
  const bool ends = rest.size() == kHexLength ||
                    (rest.size() > kHexLength && !std::isxdigit(static_cast<unsigned char>(rest[kHexLength])));
  if (ends) found.digest = ParseSha256Hex(rest.substr(0, kHexLength));
  return found;
}

std::string UnreadableDigestMessage(std::string_view archive_name) {
  return "更新ページにある '" + std::string(archive_name) +
         "' の SHA-256 値が読み取れないため、ダウンロードしません。";
}

bool IsNewerVersion(std::string_view own_version, std::string_view archive_version) {
  return own_version < archive_version;
}

bool IsUsableArchiveName(std::string_view name) {
  if (name.empty() || name.find("..") != std::string_view::npos) return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  constexpr std::string_view kForbidden = "\\/:*?\"<>|";
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) return false;
    if (kForbidden.find(c) != std::string_view::npos) return false;
  }
  return true;
}

std::string UnusableNameMessage(std::string_view name) {
  // Only the printable part of the name is shown; the rest could be anything.
  std::string shown;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte >= 0x20 && byte < 0x7F ? c : '?';
  }
  return "アップデートファイルの名前 '" + shown +
         "' はファイル名に使えない文字を含むため、ダウンロードできません。";
}

DownloadMeter::DownloadMeter(std::optional<uint64_t> content_length, uint32_t first_available)
    : length_(content_length) {
  if (first_available > 0) chunk_ = std::min(first_available, kLargestChunk);
  const bool has_length = length_.has_value() && *length_ > 0;
  by_pieces_ = has_length && first_available > 0;
  if (by_pieces_) {
    max_ = (*length_ + chunk_ - 1) / chunk_;
  } else {
    max_ = has_length ? *length_ : kUnknownLengthStart;
  }
}

void DownloadMeter::Received(uint32_t bytes) {
  received_ += bytes;
  if (by_pieces_) {
    position_ = std::min(position_ + 1, max_);
    return;
  }
  if (length_.has_value() && *length_ > 0) {
    position_ = std::min(received_, max_);
    return;
  }
  position_ = received_;
  while (position_ >= max_) max_ *= 2;
}

bool DownloadMeter::Complete() const { return !length_.has_value() || received_ == *length_; }

std::string WithTrailingSeparator(std::string folder) {
  if (!folder.empty() && !IsSeparator(folder.back())) folder += '\\';
  return folder;
}

std::string WithoutTrailingSeparator(std::string folder) {
  const bool drive_root = folder.size() == 3 && folder[1] == ':';
  if (folder.size() > 1 && !drive_root && IsSeparator(folder.back())) folder.pop_back();
  return folder;
}

UpdateChecker::UpdateChecker(UpdateConfig config, platform::Internet& internet,
                             platform::DownloadFiles& files, UpdateView& view)
    : config_(std::move(config)), internet_(internet), files_(files), view_(view) {}

void UpdateChecker::UpdateButtonClick() {
  if (!idle_) {
    idle_ = true;  // the download loop sees this before its next read
    return;
  }
  CheckForUpdate();
}

void UpdateChecker::CheckForUpdate() {
  if (config_.base_address.empty()) {
    view_.ShowMessage(update_text::kNoBaseAddress);
    return;
  }
  if (!internet_.CanAttemptConnect()) {
    view_.ShowMessage(update_text::kNoInternet);
    return;
  }
  accepted_origin_.clear();
  const std::optional<std::string> page = FetchPage();
  if (!page) return;
  const std::optional<ArchiveOffer> offer = FindArchive(*page, config_.update_name);
  if (!offer) {
    view_.ShowMessage(update_text::kNoUpdateFile);
    return;
  }
  archive_name_ = offer->name;
  if (!IsNewerVersion(config_.own_version, offer->version)) {
    view_.ShowMessage(update_text::kUpToDate);
    return;
  }
  OfferDownload(*offer);
}

std::optional<std::string> UpdateChecker::FetchPage() {
  const std::string address =
      UpdatePageAddress(config_.base_address, config_.page_folder, config_.page_name);
  if (!ConfirmUnencrypted(address)) return std::nullopt;
  auto session = internet_.OpenSession(kUpdateUserAgent);
  if (!session) return std::nullopt;
  auto request = session->OpenUrl(address);
  if (!request || !IsSuccess(*request)) {
    view_.ShowMessage(update_text::kCannotConnect);
    return std::nullopt;
  }
  // The first count decides the piece size; with none we still read, in
  // pieces of our own size, rather than take the page as empty.
  const uint32_t available = request->AvailableBytes();
  const uint32_t chunk = available > 0 ? std::min(available, DownloadMeter::kLargestChunk)
                                       : DownloadMeter::kFallbackChunk;
  std::string page;
  std::vector<char> buffer(size_t(chunk) + 1);
  while (page.size() < kLargestPage) {
    const platform::IoResult got = request->Read(buffer.data(), chunk);
    if (!got.ok() || got.value() == 0) break;
    page.append(buffer.data(), got.value());
  }
  return page;
}

void UpdateChecker::OfferDownload(const ArchiveOffer& offer) {
  if (!IsUsableArchiveName(offer.name)) {
    view_.ShowMessage(UnusableNameMessage(offer.name));
    return;
  }
  // The page meant to give a digest; downloading unchecked would defeat it.
  if (offer.sha256_unreadable) {
    view_.ShowMessage(UnreadableDigestMessage(offer.name));
    return;
  }
  const std::string question =
      "最新のアップデートファイルが見つかりました。\n'" + offer.name + "' をダウンロードしますか？";
  if (!view_.AskYesNo(update_text::kAskCaption, question)) return;
  if (!ConfirmUnencrypted(ArchiveAddress(config_.base_address, config_.down_folder, offer.name)))
    return;
  const std::optional<std::string> folder = view_.ChooseFolder(update_text::kFolderCaption);
  if (!folder || folder->empty()) return;
  Download(WithTrailingSeparator(*folder), offer);
}

bool UpdateChecker::ConfirmUnencrypted(const std::string& address) {
  if (IsEncryptedAddress(address)) return true;
  const std::string origin = AddressOrigin(address);
  if (!accepted_origin_.empty() && EqualIgnoringAsciiCase(origin, accepted_origin_)) return true;
  if (!view_.AskYesNo(update_text::kPlainHttpCaption, PlainHttpQuestion(address))) return false;
  accepted_origin_ = origin;
  return true;
}

void UpdateChecker::Download(const std::string& folder, const ArchiveOffer& offer) {
  const std::string& archive = offer.name;
  auto session = internet_.OpenSession(kUpdateUserAgent);
  if (!session) return;
  auto request = session->OpenUrl(ArchiveAddress(config_.base_address, config_.down_folder, archive));
  if (!request || !IsSuccess(*request)) return;

  const std::string path = folder + archive;
  platform::Result<std::unique_ptr<platform::WritableFile>> created = files_.Create(path);
  if (!created.ok() || !*created) {
    view_.ShowMessage("'" + path + "' を作成できませんでした。");
    return;
  }
  DownloadMeter meter(request->ContentLength(), request->AvailableBytes());
  view_.DownloadStarted(meter.Max());
  idle_ = false;
  Sha256 sha;
  const bool copied = CopyArchive(*request, *created.value(), meter, sha);
  const bool closed = created.value()->Close().ok();
  created.value().reset();
  request.reset();
  session.reset();
  view_.DownloadEnded();
  if (std::optional<const char*> failure = DownloadFailure(copied && closed && meter.Complete(), offer, sha)) {
    // Best effort: a part file that cannot be deleted is still no archive,
    // and none is left behind that looks like a finished one.
    static_cast<void>(files_.Delete(path));
    view_.ShowMessage(*failure);
    return;
  }
  view_.OpenFolder(WithoutTrailingSeparator(folder));
}

// The archive's bytes into the file until the server has sent all of them
// (true), or the transfer, a write or the user stops it.
bool UpdateChecker::CopyArchive(platform::InternetRequest& request, platform::WritableFile& file,
                                DownloadMeter& meter, Sha256& sha) {
  std::vector<char> buffer(size_t(meter.ChunkSize()) + 1);
  while (!idle_) {
    const platform::IoResult got = request.Read(buffer.data(), meter.ChunkSize());
    if (!got.ok()) return false;
    if (got.value() == 0) return true;
    if (!file.Write(buffer.data(), got.value()).ok()) return false;
    sha.Update(buffer.data(), got.value());
    meter.Received(got.value());
    view_.DownloadProgress(meter.Position(), meter.Max());
    view_.ProcessInput();
  }
  return false;
}

// Why a finished download is no archive to keep: cancelled, broken or not
// the archive the page announced; nothing when it is one.
std::optional<const char*> UpdateChecker::DownloadFailure(bool whole, const ArchiveOffer& offer, Sha256& sha) {
  const bool cancelled = idle_;
  idle_ = true;
  if (cancelled) return update_text::kCancelled;
  if (!whole) return update_text::kFailed;
  if (offer.sha256 && sha.Final() != *offer.sha256) return update_text::kDigestMismatch;
  return std::nullopt;
}

}  // namespace plexi::about
