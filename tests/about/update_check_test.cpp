// The update check against a scripted server, files kept in memory, and a
// view that records what the user would see.
#include "about/update_check.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

namespace plexi::about {
namespace {

constexpr char kBase[] = "https://127.0.0.1:8443/";
constexpr char kPageUrl[] = "https://127.0.0.1:8443/DownLoadHtml/UpdateFilePage.html";
constexpr char kPlainBase[] = "http://127.0.0.1:8080/";
constexpr char kPlainPageUrl[] = "http://127.0.0.1:8080/DownLoadHtml/UpdateFilePage.html";

struct Resource {
  std::string body;
  uint32_t status = 200;
  std::optional<uint64_t> length;  // default: the body's size
  bool no_length = false;
  uint32_t available = 8192;
  size_t fail_after = std::string::npos;  // a read failure from this byte on
};

class FakeRequest : public platform::InternetRequest {
 public:
  FakeRequest(const Resource& resource, std::function<void()> on_read)
      : resource_(resource), on_read_(std::move(on_read)) {}
  uint32_t StatusCode() override { return resource_.status; }
  std::optional<uint64_t> ContentLength() override {
    if (resource_.no_length) return std::nullopt;
    return resource_.length ? resource_.length : uint64_t(resource_.body.size());
  }
  uint32_t AvailableBytes() override { return resource_.available; }
  platform::IoResult Read(void* buffer, uint32_t length) override {
    if (on_read_) on_read_();
    if (offset_ >= resource_.fail_after) return platform::IoResult::Failure(12002);
    const size_t n = std::min<size_t>(length, resource_.body.size() - offset_);
    std::memcpy(buffer, resource_.body.data() + offset_, n);
    offset_ += n;
    return platform::IoResult(uint32_t(n));
  }

 private:
  const Resource& resource_;
  std::function<void()> on_read_;
  size_t offset_ = 0;
};

class FakeInternet : public platform::Internet {
 public:
  class Session : public platform::InternetSession {
   public:
    explicit Session(FakeInternet& net) : net_(net) {}
    std::unique_ptr<platform::InternetRequest> OpenUrl(const std::string& url) override {
      net_.opened.push_back(url);
      auto found = net_.resources.find(url);
      if (found == net_.resources.end()) return nullptr;
      return std::make_unique<FakeRequest>(found->second, net_.on_read);
    }

   private:
    FakeInternet& net_;
  };

  bool CanAttemptConnect() override { return online; }
  std::unique_ptr<platform::InternetSession> OpenSession(const std::string& agent) override {
    agents.push_back(agent);
    return sessions_fail ? nullptr : std::make_unique<Session>(*this);
  }

  bool online = true;
  bool sessions_fail = false;
  std::map<std::string, Resource> resources;
  std::vector<std::string> opened;
  std::vector<std::string> agents;
  std::function<void()> on_read;
};

class MemoryFiles : public platform::DownloadFiles {
 public:
  class File : public platform::WritableFile {
   public:
    File(MemoryFiles& files, std::string path) : files_(files), path_(std::move(path)) {}
    platform::Result<> Write(const void* data, uint32_t length) override {
      if (files_.write_fails_after <= files_.contents[path_].size())
        return platform::Result<>::Failure(112);  // disk full
      files_.contents[path_].append(static_cast<const char*>(data), length);
      return platform::Result<>::Success();
    }
    platform::Result<> Close() override { return platform::Result<>::Success(); }

   private:
    MemoryFiles& files_;
    std::string path_;
  };

  platform::Result<std::unique_ptr<platform::WritableFile>> Create(const std::string& path) override {
    using Created = platform::Result<std::unique_ptr<platform::WritableFile>>;
    if (create_fails) return Created::Failure(5);
    contents[path].clear();
    return Created(std::make_unique<File>(*this, path));
  }
  platform::Result<> Delete(const std::string& path) override {
    contents.erase(path);
    return platform::Result<>::Success();
  }

  std::map<std::string, std::string> contents;
  bool create_fails = false;
  size_t write_fails_after = std::string::npos;
};

class RecordingView : public UpdateView {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string& caption, const std::string& text) override {
    questions.push_back(caption + "|" + text);
    return answer_yes;
  }
  std::optional<std::string> ChooseFolder(const std::string&) override { return folder; }
  void DownloadStarted(uint64_t max) override {
    started_max = max;
    downloading = true;
  }
  void DownloadProgress(uint64_t position, uint64_t max) override {
    positions.push_back(position);
    last_max = max;
  }
  void ProcessInput() override {
    if (on_input) on_input();
  }
  void DownloadEnded() override { downloading = false; }
  void OpenFolder(const std::string& path) override { opened_folders.push_back(path); }

  std::vector<std::string> messages, questions, opened_folders;
  bool answer_yes = true;
  std::optional<std::string> folder = std::string("C:\\Down");
  std::optional<uint64_t> started_max;
  uint64_t last_max = 0;
  std::vector<uint64_t> positions;
  bool downloading = false;
  std::function<void()> on_input;
};

std::string Page(const std::string& archive) {
  return "<html><body><a href=\"../UpdateFile/" + archive + "\">" + archive + "</a></body></html>";
}

// The digest line `sha256sum --tag` prints, for the page.
std::string DigestLine(const std::string& archive, const std::string& hex) {
  return "<pre>SHA256 (" + archive + ") = " + hex + "</pre>\n";
}

std::string Bytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = char(i * 7 + i / 251);
  return s;
}

class UpdateCheckerTest : public ::testing::Test {
 protected:
  UpdateConfig Config() {
    UpdateConfig config;
    config.base_address = kBase;
    config.update_name = "Plexiscrub_Up";
    config.own_version = "1102";
    return config;
  }
  void Offer(const std::string& archive, std::string body) {
    net.resources[kPageUrl].body = Page(archive);
    net.resources[std::string(kBase) + "UpdateFile/" + archive].body = std::move(body);
  }
  void Click(UpdateConfig config) {
    UpdateChecker checker(std::move(config), net, files, view);
    checker.UpdateButtonClick();
    EXPECT_TRUE(checker.Idle());
  }
  void Click() { Click(Config()); }

  FakeInternet net;
  MemoryFiles files;
  RecordingView view;
};

TEST(UpdatePage, AddressesFromFolderAndPageNames) {
  EXPECT_EQ(UpdatePageAddress("http://h/", "DownLoadHtml", "UpdateFilePage.html"),
            "http://h/DownLoadHtml/UpdateFilePage.html");
  EXPECT_EQ(UpdatePageAddress("http://h/", "  DownLoadHtml \t", "p.html"),
            "http://h/DownLoadHtml/p.html");
  // Exactly one blank: no folder and no "/"; two blanks trim to an empty folder.
  EXPECT_EQ(UpdatePageAddress("http://h/", " ", "p.html"), "http://h/p.html");
  EXPECT_EQ(UpdatePageAddress("http://h/", "  ", "p.html"), "http://h//p.html");
  EXPECT_EQ(ArchiveAddress("http://h/", "UpdateFile", "A1103.zip"), "http://h/UpdateFile/A1103.zip");
}

TEST(UpdatePage, FirstOccurrenceGivesNameAndVersion) {
  auto offer = FindArchive("x Plexiscrub_Up1103.zip y Plexiscrub_Up1200.zip", "Plexiscrub_Up");
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->name, "Plexiscrub_Up1103.zip");
  EXPECT_EQ(offer->version, "1103");

  // The first mention decides even when it is no archive.
  EXPECT_FALSE(FindArchive("Plexiscrub_Up is here; Plexiscrub_Up1103.zip", "Plexiscrub_Up"));
  EXPECT_FALSE(FindArchive("nothing here", "Plexiscrub_Up"));
  EXPECT_FALSE(FindArchive("Plexiscrub_Up1103.zi", "Plexiscrub_Up"));  // cut short by the page end
  EXPECT_FALSE(FindArchive("Plexiscrub_Up1103.zip", ""));
  // A short version still sits before ".zip".
  offer = FindArchive("Plexiscrub_Up13.zip...", "Plexiscrub_Up");
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->name, "Plexiscrub_Up13.zip..");
  EXPECT_EQ(offer->version, "Up13");
}

TEST(UpdatePage, DigestLineGivesTheArchivesSha256) {
  const std::string hex = Sha256Hex(Sha256Of("zip"));
  const std::string link = Page("Plexiscrub_Up1103.zip");
  auto offer = FindArchive(link + DigestLine("Plexiscrub_Up1103.zip", hex), "Plexiscrub_Up");
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->sha256, Sha256Of("zip"));
  EXPECT_FALSE(offer->sha256_unreadable);

  // Before the link too; the archive found stays the same, digits of
  // either case; only the line for this archive counts.
  std::string upper = hex;
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  offer = FindArchive(DigestLine("Plexiscrub_Up1102.zip", std::string(64, '0')) +
                          DigestLine("Plexiscrub_Up1103.zip", upper) + link,
                      "Plexiscrub_Up");
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->name, "Plexiscrub_Up1102.zip");
  EXPECT_EQ(offer->sha256, Sha256Digest{});

  // Pages without the line parse as before.
  offer = FindArchive(link + "sha256: " + hex, "Plexiscrub_Up");
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->name, "Plexiscrub_Up1103.zip");
  EXPECT_FALSE(offer->sha256);
  EXPECT_FALSE(offer->sha256_unreadable);

  // A line whose digest is cut short, too long or not hex is unreadable.
  for (const std::string& bad : {hex.substr(0, 63), hex + "0", "x" + hex.substr(1), std::string()}) {
    offer = FindArchive(link + "SHA256 (Plexiscrub_Up1103.zip) = " + bad, "Plexiscrub_Up");
    ASSERT_TRUE(offer);
    EXPECT_FALSE(offer->sha256) << bad;
    EXPECT_TRUE(offer->sha256_unreadable) << bad;
  }
}

TEST(UpdatePage, VersionComparisonIsByCharacters) {
  EXPECT_TRUE(IsNewerVersion("1102", "1103"));
  EXPECT_FALSE(IsNewerVersion("1102", "1102"));
  EXPECT_FALSE(IsNewerVersion("1103", "1102"));
  EXPECT_TRUE(IsNewerVersion("1102", "2000"));
  EXPECT_FALSE(IsNewerVersion("1102", "0999"));
}

TEST(UpdatePage, ArchiveNamesThatAreNotPlainFileNames) {
  EXPECT_TRUE(IsUsableArchiveName("Plexiscrub_Up1103.zip"));
  for (const char* bad : {"Plexiscrub_Up/../a.zip", "Plexiscrub_Up\\..\\x.zip", "Plexiscrub_Up..zip",
                          "C:Plexiscrub.zip", "Plexiscrub_Up1103.zip.", "Plexiscrub_Up1103.zip ",
                          "Up<1>.zip", "Up|1.zip", "Up\"1.zip", "Up?.zip", "Up*.zip", "Up\t1.zip",
                          "Up\x82\xa0.zip", ""}) {
    EXPECT_FALSE(IsUsableArchiveName(bad)) << bad;
  }
}

TEST(DownloadMeterTest, PiecesOfTheFirstAvailableCount) {
  DownloadMeter meter(1000000, 8192);
  EXPECT_EQ(meter.Max(), 123u);
  EXPECT_EQ(meter.ChunkSize(), 8192u);
  for (int i = 0; i < 200; ++i) meter.Received(100);
  EXPECT_EQ(meter.Position(), 123u);  // short reads never run past the end
  EXPECT_FALSE(meter.Complete());
}

TEST(DownloadMeterTest, NoAvailableCountOrLengthCountsBytes) {
  DownloadMeter no_count(20000, 0);
  EXPECT_EQ(no_count.ChunkSize(), DownloadMeter::kFallbackChunk);
  EXPECT_EQ(no_count.Max(), 20000u);
  no_count.Received(8192);
  no_count.Received(8192);
  no_count.Received(3616);
  EXPECT_EQ(no_count.Position(), 20000u);
  EXPECT_TRUE(no_count.Complete());

  DownloadMeter no_length(std::nullopt, 0);
  const uint64_t first_max = no_length.Max();
  ASSERT_GT(first_max, 0u);
  no_length.Received(uint32_t(first_max));
  EXPECT_EQ(no_length.Position(), first_max);
  EXPECT_GT(no_length.Max(), no_length.Position());
  EXPECT_TRUE(no_length.Complete());

  DownloadMeter zero_length(0, 4096);
  EXPECT_GT(zero_length.Max(), 0u);
  EXPECT_TRUE(zero_length.Complete());
  zero_length.Received(1);
  EXPECT_FALSE(zero_length.Complete());
}

TEST_F(UpdateCheckerTest, SameVersionIsUpToDate) {
  Offer("Plexiscrub_Up1102.zip", "zip");
  Click();
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kUpToDate});
  EXPECT_EQ(net.opened, std::vector<std::string>{kPageUrl});
  EXPECT_EQ(net.agents, std::vector<std::string>{"qandz"});
  EXPECT_TRUE(view.questions.empty());
}

TEST_F(UpdateCheckerTest, PageNameAndFolderFromTheSettings) {
  UpdateConfig config = Config();
  config.page_name = "other.html";
  config.page_folder = " ";
  net.resources[std::string(kBase) + "other.html"].body = "Plexiscrub_Up1101.zip";
  Click(config);
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kUpToDate});
}

TEST_F(UpdateCheckerTest, NewerArchiveDownloadedIntoTheChosenFolder) {
  const std::string body = Bytes(50000);
  Offer("Plexiscrub_Up1103.zip", body);
  net.resources[std::string(kBase) + "UpdateFile/Plexiscrub_Up1103.zip"].available = 4096;
  Click();
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.questions[0],
            "Update|最新のアップデートファイルが見つかりました。\n'Plexiscrub_Up1103.zip' "
            "をダウンロードしますか？");
  EXPECT_EQ(files.contents["C:\\Down\\Plexiscrub_Up1103.zip"], body);
  EXPECT_EQ(view.started_max, 13u);
  EXPECT_EQ(view.positions.back(), 13u);
  EXPECT_FALSE(view.downloading);
  EXPECT_EQ(view.opened_folders, std::vector<std::string>{"C:\\Down"});
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(UpdateCheckerTest, NoAvailableCountStillDownloadsEverything) {
  const std::string body = Bytes(30000);
  Offer("Plexiscrub_Up1103.zip", body);
  for (auto& [url, resource] : net.resources) {
    resource.available = 0;
    resource.no_length = true;
  }
  Click();
  EXPECT_EQ(files.contents["C:\\Down\\Plexiscrub_Up1103.zip"], body);
  EXPECT_EQ(view.positions.back(), 30000u);
  EXPECT_GT(view.last_max, 30000u);
}

TEST_F(UpdateCheckerTest, ArchiveMatchingThePagesDigestIsKept) {
  const std::string body = Bytes(50000);
  Offer("Plexiscrub_Up1103.zip", body);
  net.resources[kPageUrl].body += DigestLine("Plexiscrub_Up1103.zip", Sha256Hex(Sha256Of(body)));
  net.resources[std::string(kBase) + "UpdateFile/Plexiscrub_Up1103.zip"].available = 4096;
  Click();
  EXPECT_EQ(files.contents["C:\\Down\\Plexiscrub_Up1103.zip"], body);
  EXPECT_EQ(view.opened_folders, std::vector<std::string>{"C:\\Down"});
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(UpdateCheckerTest, ArchiveThatDiffersFromThePagesDigestIsDeleted) {
  std::string body = Bytes(50000);
  const std::string digest = Sha256Hex(Sha256Of(body));
  body[30000] ^= 1;  // one bit changed on the way
  Offer("Plexiscrub_Up1103.zip", body);
  net.resources[kPageUrl].body += DigestLine("Plexiscrub_Up1103.zip", digest);
  Click();
  EXPECT_TRUE(files.contents.empty());
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kDigestMismatch});
  EXPECT_TRUE(view.opened_folders.empty());
  EXPECT_FALSE(view.downloading);
}

TEST_F(UpdateCheckerTest, UnreadableDigestDownloadsNothing) {
  Offer("Plexiscrub_Up1103.zip", "zip");
  net.resources[kPageUrl].body += DigestLine("Plexiscrub_Up1103.zip", "not a digest");
  Click();
  EXPECT_EQ(view.messages, std::vector<std::string>{UnreadableDigestMessage("Plexiscrub_Up1103.zip")});
  EXPECT_TRUE(view.questions.empty());
  EXPECT_EQ(net.opened, std::vector<std::string>{kPageUrl});
  EXPECT_TRUE(files.contents.empty());
}

TEST_F(UpdateCheckerTest, DeclinedOrNoFolderWritesNothing) {
  Offer("Plexiscrub_Up1103.zip", "zip");
  view.answer_yes = false;
  Click();
  view.answer_yes = true;
  view.folder.reset();
  Click();
  EXPECT_TRUE(files.contents.empty());
  EXPECT_EQ(net.opened.size(), 2u);  // the page twice, never the archive
}

TEST_F(UpdateCheckerTest, CancelDeletesThePartialFile) {
  Offer("Plexiscrub_Up1103.zip", Bytes(100000));
  net.resources[std::string(kBase) + "UpdateFile/Plexiscrub_Up1103.zip"].available = 1000;
  std::unique_ptr<UpdateChecker> checker;
  int inputs = 0;
  view.on_input = [&] {
    EXPECT_TRUE(view.downloading);
    if (++inputs == 3) checker->UpdateButtonClick();  // "中止"
  };
  checker = std::make_unique<UpdateChecker>(Config(), net, files, view);
  checker->UpdateButtonClick();
  EXPECT_EQ(inputs, 3);
  EXPECT_TRUE(checker->Idle());
  EXPECT_FALSE(view.downloading);
  EXPECT_TRUE(files.contents.empty());
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kCancelled});
  EXPECT_TRUE(view.opened_folders.empty());
}

TEST_F(UpdateCheckerTest, BrokenTransferLeavesNoArchive) {
  const std::string archive_url = std::string(kBase) + "UpdateFile/Plexiscrub_Up1103.zip";
  Offer("Plexiscrub_Up1103.zip", Bytes(20000));
  net.resources[archive_url].fail_after = 8192;
  Click();
  EXPECT_TRUE(files.contents.empty());
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kFailed});

  // The connection ends early: fewer bytes than the server announced.
  view.messages.clear();
  net.resources[archive_url].fail_after = std::string::npos;
  net.resources[archive_url].length = 30000;
  Click();
  EXPECT_TRUE(files.contents.empty());
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kFailed});

  // The disk fills up.
  view.messages.clear();
  net.resources[archive_url].length.reset();
  files.write_fails_after = 8192;
  Click();
  EXPECT_TRUE(files.contents.empty());
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kFailed});
  EXPECT_TRUE(view.opened_folders.empty());
}

TEST_F(UpdateCheckerTest, HostileArchiveNameIsRefused) {
  // Both sort after "1102"; one climbs out of the folder, one names an
  // alternate stream of a file "Plexiscrub_Up".
  for (const char* page : {"Plexiscrub_Up\\..\\.zip", "Plexiscrub_Up:999.zip"}) {
    view.messages.clear();
    net.opened.clear();
    net.resources[kPageUrl].body = page;
    Click();
    ASSERT_EQ(view.messages.size(), 1u) << page;
    EXPECT_NE(view.messages[0].find("ファイル名に使えない"), std::string::npos);
    EXPECT_TRUE(view.questions.empty());
    EXPECT_EQ(net.opened.size(), 1u);
  }
  EXPECT_TRUE(files.contents.empty());
}

TEST_F(UpdateCheckerTest, ConnectionProblems) {
  net.online = false;
  Click();
  net.online = true;
  Click();  // no page at that address
  net.resources[kPageUrl].body = "Plexiscrub_Up1103.zip";
  net.resources[kPageUrl].status = 404;
  Click();
  net.resources[kPageUrl].body = "no archive named";
  net.resources[kPageUrl].status = 200;
  Click();
  EXPECT_EQ(view.messages,
            (std::vector<std::string>{update_text::kNoInternet, update_text::kCannotConnect,
                                      update_text::kCannotConnect, update_text::kNoUpdateFile}));

  // A failing internet handle ends the check without a word.
  view.messages.clear();
  net.sessions_fail = true;
  Click();
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(UpdateCheckerTest, ArchiveThatCannotBeFetchedWritesNothing) {
  Offer("Plexiscrub_Up1103.zip", "zip");
  net.resources[std::string(kBase) + "UpdateFile/Plexiscrub_Up1103.zip"].status = 404;
  Click();
  EXPECT_TRUE(files.contents.empty());
  EXPECT_TRUE(view.opened_folders.empty());
  files.create_fails = true;
  net.resources[std::string(kBase) + "UpdateFile/Plexiscrub_Up1103.zip"].status = 200;
  Click();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find("C:\\Down\\Plexiscrub_Up1103.zip"), std::string::npos);
}

TEST_F(UpdateCheckerTest, NoSiteAddressNeverTouchesTheNetwork) {
  UpdateConfig config = Config();
  config.base_address.clear();
  Click(config);
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kNoBaseAddress});
  EXPECT_TRUE(net.agents.empty());
}

TEST(UpdatePage, OnlyHttpsCountsAsEncrypted) {
  EXPECT_TRUE(IsEncryptedAddress("https://h/p.html"));
  EXPECT_TRUE(IsEncryptedAddress("HTTPS://h/p.html"));
  EXPECT_FALSE(IsEncryptedAddress("http://h/p.html"));
  EXPECT_FALSE(IsEncryptedAddress("https:/h/p.html"));
  EXPECT_FALSE(IsEncryptedAddress(""));
  EXPECT_EQ(AddressOrigin("http://h:80/DownLoadHtml/p.html"), "http://h:80");
  EXPECT_EQ(AddressOrigin("http://h"), "http://h");
  const std::string question = PlainHttpQuestion("http://h/DownLoadHtml/p.html");
  EXPECT_NE(question.find("'http://h'"), std::string::npos);
  EXPECT_NE(question.find("暗号化されていません"), std::string::npos);
  EXPECT_NE(question.find("続けますか"), std::string::npos);
}

TEST_F(UpdateCheckerTest, PlainHttpDeclinedConnectsNowhere) {
  UpdateConfig config = Config();
  config.base_address = kPlainBase;
  net.resources[kPlainPageUrl].body = Page("Plexiscrub_Up1103.zip");
  view.answer_yes = false;
  Click(config);
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.questions[0], "Update|" + PlainHttpQuestion(kPlainPageUrl));
  EXPECT_TRUE(net.agents.empty());
  EXPECT_TRUE(net.opened.empty());
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(UpdateCheckerTest, PlainHttpAcceptedOnceCoversPageAndArchive) {
  UpdateConfig config = Config();
  config.base_address = kPlainBase;
  net.resources[kPlainPageUrl].body = Page("Plexiscrub_Up1103.zip");
  net.resources[std::string(kPlainBase) + "UpdateFile/Plexiscrub_Up1103.zip"].body = "zip";
  Click(config);
  ASSERT_EQ(view.questions.size(), 2u);  // plain http, then the download itself
  EXPECT_NE(view.questions[0].find("暗号化されていません"), std::string::npos);
  EXPECT_NE(view.questions[1].find("ダウンロードしますか"), std::string::npos);
  EXPECT_EQ(files.contents["C:\\Down\\Plexiscrub_Up1103.zip"], "zip");

  // Each check asks again; an up-to-date page still needs the consent.
  view.questions.clear();
  net.resources[kPlainPageUrl].body = Page("Plexiscrub_Up1102.zip");
  Click(config);
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_NE(view.questions[0].find("暗号化されていません"), std::string::npos);
}

TEST_F(UpdateCheckerTest, HttpsNeedsNoQuestion) {
  Offer("Plexiscrub_Up1102.zip", "zip");
  Click();
  EXPECT_TRUE(view.questions.empty());
  EXPECT_EQ(view.messages, std::vector<std::string>{update_text::kUpToDate});
}

TEST(UpdateFolders, TrailingSeparators) {
  EXPECT_EQ(WithTrailingSeparator("C:\\Down"), "C:\\Down\\");
  EXPECT_EQ(WithTrailingSeparator("C:\\"), "C:\\");
  EXPECT_EQ(WithoutTrailingSeparator("C:\\Down\\"), "C:\\Down");
  EXPECT_EQ(WithoutTrailingSeparator("C:\\"), "C:\\");
}

}  // namespace
}  // namespace plexi::about
