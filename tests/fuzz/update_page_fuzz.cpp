// The update check as the about box runs it: the maker's update page (any
// bytes, delivered in pieces of any size) searched for the archive name,
// and the archive downloaded into the folder the user chose. A name from
// the network never leaves that folder, and a broken download leaves no
// file behind, nor does one that differs from the digest the page gives.
#include <cstdint>
#include <map>
#include <string>

#include "about/about_dialog.h"
#include "about/update_check.h"
#include "fuzz_support.h"

using namespace plexi;

namespace {

constexpr char kFolder[] = "C:\\Downloads";

struct Served {
  std::string body;
  uint32_t status = 200;
  std::optional<uint64_t> length;
  uint32_t available = 0;
  uint32_t piece = 1;  // largest piece one read returns
  bool fails = false;  // the transfer breaks at the end
};

class ServedRequest : public platform::InternetRequest {
 public:
  explicit ServedRequest(const Served& served) : served_(served) {}
  uint32_t StatusCode() override { return served_.status; }
  std::optional<uint64_t> ContentLength() override { return served_.length; }
  uint32_t AvailableBytes() override { return served_.available; }
  platform::IoResult Read(void* buffer, uint32_t length) override {
    FUZZ_CHECK(length > 0);
    const size_t n = std::min<size_t>({length, served_.piece, served_.body.size() - at_});
    if (n == 0 && served_.fails) return platform::IoResult::Failure(12002);
    std::memcpy(buffer, served_.body.data() + at_, n);
    at_ += n;
    return platform::IoResult(uint32_t(n));
  }

 private:
  const Served& served_;
  size_t at_ = 0;
};

class ServedSession : public platform::InternetSession {
 public:
  explicit ServedSession(std::map<std::string, Served>& site) : site_(site) {}
  std::unique_ptr<platform::InternetRequest> OpenUrl(const std::string& url) override {
    // Every address stays on the configured site.
    FUZZ_CHECK(url.rfind("https://example.invalid/", 0) == 0);
    auto it = site_.find(url);
    if (it == site_.end()) return nullptr;
    return std::make_unique<ServedRequest>(it->second);
  }

 private:
  std::map<std::string, Served>& site_;
};

class ServedInternet : public platform::Internet {
 public:
  bool CanAttemptConnect() override { return true; }
  std::unique_ptr<platform::InternetSession> OpenSession(const std::string&) override {
    return std::make_unique<ServedSession>(site);
  }
  std::map<std::string, Served> site;
};

class MemoryFile : public platform::WritableFile {
 public:
  explicit MemoryFile(std::string& into) : into_(into) {}
  platform::Result<> Write(const void* data, uint32_t length) override {
    into_.append(static_cast<const char*>(data), length);
    return platform::Result<>::Success();
  }
  platform::Result<> Close() override { return platform::Result<>::Success(); }

 private:
  std::string& into_;
};

class MemoryDownloads : public platform::DownloadFiles {
 public:
  platform::Result<std::unique_ptr<platform::WritableFile>> Create(const std::string& path) override {
    // Only a file directly inside the chosen folder.
    FUZZ_CHECK(path.rfind(std::string(kFolder) + "\\", 0) == 0);
    const std::string name = path.substr(sizeof kFolder);
    FUZZ_CHECK(about::IsUsableArchiveName(name));
    return platform::Result<std::unique_ptr<platform::WritableFile>>(std::make_unique<MemoryFile>(files[path] = {}));
  }
  platform::Result<> Delete(const std::string& path) override {
    files.erase(path);
    return platform::Result<>::Success();
  }
  std::map<std::string, std::string> files;
};

class AgreeingView : public about::UpdateView {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
  std::optional<std::string> ChooseFolder(const std::string&) override { return std::string(kFolder); }
  void DownloadStarted(uint64_t max) override { max_ = max; }
  void DownloadProgress(uint64_t position, uint64_t max) override {
    FUZZ_CHECK(position <= max);
    FUZZ_CHECK(max >= max_);
    max_ = max;
  }
  void ProcessInput() override {}
  void DownloadEnded() override {}
  void OpenFolder(const std::string& folder) override { opened = folder; }
  std::vector<std::string> messages;
  std::string opened;

 private:
  uint64_t max_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const about::TAboutDialog about = about::PlexiscrubAboutDialog();
  about::UpdateConfig config = about.MakeSetup(32, "https://example.invalid/").update;

  Served page;
  page.piece = provider.ConsumeIntegralInRange<uint32_t>(1, 4096);
  page.available = provider.ConsumeIntegralInRange<uint32_t>(0, 8192);
  Served archive;
  archive.piece = provider.ConsumeIntegralInRange<uint32_t>(1, 4096);
  archive.available = provider.ConsumeIntegralInRange<uint32_t>(0, 8192);
  archive.status = provider.PickValueInArray<uint32_t>({200, 0, 404, 302});
  archive.fails = provider.ConsumeBool();
  if (provider.ConsumeBool()) archive.length = provider.ConsumeIntegralInRange<uint64_t>(0, 1024);
  archive.body = provider.ConsumeRandomLengthString(1024);
  page.body = provider.ConsumeRemainingBytesAsString();

  // The page parser on its own, with the configured name.
  if (std::optional<about::ArchiveOffer> offer = about::FindArchive(page.body, config.update_name)) {
    FUZZ_CHECK(offer->name.rfind(config.update_name, 0) == 0);
    FUZZ_CHECK(offer->name.size() <= config.update_name.size() + 8);
    FUZZ_CHECK(offer->version.size() <= 4);
    FUZZ_CHECK(offer->name.find(".zip") != std::string::npos);
    FUZZ_CHECK(!(offer->sha256 && offer->sha256_unreadable));
  }

  ServedInternet internet;
  internet.site[about::UpdatePageAddress(config.base_address, config.page_folder, config.page_name)] = page;
  if (std::optional<about::ArchiveOffer> offer = about::FindArchive(page.body, config.update_name))
    internet.site[about::ArchiveAddress(config.base_address, config.down_folder, offer->name)] = archive;
  MemoryDownloads downloads;
  AgreeingView view;
  about::UpdateChecker checker(config, internet, downloads, view);
  checker.UpdateButtonClick();
  FUZZ_CHECK(checker.Idle());
  // A file stays only after a complete download, which opens its folder.
  FUZZ_CHECK(downloads.files.size() <= 1);
  if (!downloads.files.empty()) {
    FUZZ_CHECK(view.opened == kFolder);
    FUZZ_CHECK(downloads.files.begin()->second == archive.body);
    FUZZ_CHECK(!archive.length || *archive.length == archive.body.size());
    // A page that gives a digest keeps only an archive that matches it.
    const std::optional<about::ArchiveOffer> offer = about::FindArchive(page.body, config.update_name);
    FUZZ_CHECK(offer && !offer->sha256_unreadable);
    FUZZ_CHECK(!offer->sha256 || *offer->sha256 == Sha256Of(archive.body));
  }
  return 0;
}
