#include "drives/forbidden_list.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>
#include <vector>

#include "util/ascii_text.h"
#include "util/text_lines.h"

namespace plexi {

namespace {

// Old entries carried a longer identity text; names this long are theirs.
constexpr size_t kOldKeyLetters = 256;

// The name is everything before the first "="; a line without one is all
// name, so a key typed into the file by hand still protects its drive.
std::string NameOf(const std::string& line) { return line.substr(0, line.find('=')); }

std::string ValueOf(const std::string& line) {
  size_t equals = line.find('=');
  return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

std::optional<size_t> FindName(const std::vector<std::string>& lines, const std::string& name) {
  if (name.empty()) return std::nullopt;
  for (size_t i = 0; i < lines.size(); ++i)
    if (EqualIgnoringAsciiCase(NameOf(lines[i]), name)) return i;
  return std::nullopt;
}

// A descriptor string as one field of a stable key: "|" separates the
// fields and "=" would end the name, so they, "%" and anything outside
// printable ASCII are written %XX. The key is then plain ASCII and reads
// back the same in any code page.
std::string KeyField(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string field;
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F || c == '%' || c == '|' || c == '=') {
      field += '%';
      field += kHex[c >> 4];
      field += kHex[c & 0x0F];
    } else {
      field += char(c);
    }
  }
  return field;
}

// The names of the row's keys in the file's code page, empty ones left out;
// the earlier copies' key only where `with_reported`.
std::vector<std::string> NamesOf(const ProtectionKeys& keys, bool with_reported = true) {
  std::vector<std::string> names;
  for (const std::string* key : {&keys.legacy, &keys.stable, &keys.reported})
    if (!key->empty() && (with_reported || key != &keys.reported)) names.push_back(platform::Utf8ToFileText(*key));
  return names;
}

std::string StableKey(const DriveRow& row, ViewMode view, const std::string& serial) {
  const std::string drive = KeyField(row.vendor) + "|" + KeyField(row.product) + "|" + KeyField(serial);
  return view == ViewMode::kPhysical ? "#DRIVE|" + drive : "#VOLUME|" + drive + "|" + KeyField(row.size_text);
}

// "C:" or "C: D:": the letters part of an identity key.
bool IsLetterList(std::string_view text) {
  if (text.empty()) return false;
  for (size_t at = 0;; at += 3) {
    if (at + 2 > text.size() || !std::isalpha(static_cast<unsigned char>(text[at])) || text[at + 1] != ':') return false;
    if (at + 2 == text.size()) return true;
    if (text[at + 2] != ' ') return false;
  }
}

// A drive no lettered volume reaches (its partition table overwritten or
// deleted) still answers to the identity key it was protected by while it
// had letters: its identity hex, any letters, its size text. Matching more
// lines can only protect more.
bool NamesLetterlessDrive(std::string_view name, const DriveRow& row, ViewMode view) {
  if (!row.letters.empty() || view != ViewMode::kPhysical || row.identity.empty()) return false;
  const std::string_view identity = row.identity, size = row.size_text;
  if (name.size() <= identity.size() + size.size()) return false;
  return EqualIgnoringAsciiCase(name.substr(0, identity.size()), identity) &&
         EqualIgnoringAsciiCase(name.substr(name.size() - size.size()), size) &&
         IsLetterList(name.substr(identity.size(), name.size() - identity.size() - size.size()));
}

bool HasAnyName(const std::vector<std::string>& lines, const std::vector<std::string>& names) {
  for (const std::string& name : names)
    if (FindName(lines, name)) return true;
  return false;
}

size_t LetterCount(const std::string& utf8) {
  size_t count = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The line with today's identity in place of the old one, or nullopt when
// the line is left as it is.
std::optional<std::string> MigratedLine(
    const std::string& line, const std::function<std::string(char letter)>& current_identity) {
  const std::string name = NameOf(line);
  if (!name.empty() && name[0] == '#') return std::nullopt;  // a stable key: nothing to update
  if (LetterCount(platform::FileTextToUtf8(name)) < kOldKeyLetters) return std::nullopt;
  size_t colon = name.find(':');
  if (colon == std::string::npos || colon == 0) return std::nullopt;
  char letter = name[colon - 1];
  if (!IsDriveLetter(letter)) return std::nullopt;
  // A drive that cannot be asked now keeps its old line: a key without an
  // identity would stand for any unidentified drive at that letter and size.
  std::string identity = current_identity(UpperAscii(letter));
  if (identity.empty()) return std::nullopt;
  return platform::Utf8ToFileText(identity) + name.substr(colon - 1) + "=" + ValueOf(line);
}

}  // namespace

ProtectionKeys ProtectionKeysOf(const DriveRow& row, ViewMode view) {
  ProtectionKeys keys;
  // Only rows of the list have letters; older copies never see the others.
  if (!row.letters.empty()) keys.legacy = row.IdentityKey();
  if (row.serial.empty()) return keys;
  keys.stable = StableKey(row, view, row.serial);
  if (!row.reported_serial.empty() || row.reported_vendor || row.reported_product) {
    DriveRow before = row;
    before.vendor = row.reported_vendor.value_or(row.vendor);
    before.product = row.reported_product.value_or(row.product);
    keys.reported = StableKey(before, view, row.reported_serial.empty() ? row.serial : row.reported_serial);
  }
  return keys;
}

ForbiddenList::ForbiddenList(platform::Machine& machine, platform::FileStore& files,
                             std::string path, Notifier& notifier)
    : machine_(machine), files_(files), path_(std::move(path)), notifier_(notifier) {}

std::string ForbiddenList::ReadFailure(uint32_t error) const {
  return "消去禁止リスト " + path_ + " を読み込めませんでした。\r\n" +
         SystemErrorText(machine_, error);
}

std::optional<std::vector<std::string>> ForbiddenList::Load(const std::string& consequence) {
  platform::FileContent file = files_.Read(path_);
  if (!file.exists) return std::vector<std::string>{};
  if (file.error != 0) {
    if (!consequence.empty()) notifier_.ShowMessage(ReadFailure(file.error) + consequence);
    return std::nullopt;
  }
  return SplitTextLines(file.bytes);
}

bool ForbiddenList::Store(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  platform::Result<> status = files_.Replace(path_, text);
  if (status.ok()) return true;
  notifier_.ShowMessage("消去禁止リスト " + path_ + " を保存できませんでした。\r\n" +
                        SystemErrorText(machine_, status.error()) +
                        "消去禁止の設定は変更されませんでした。");
  return false;
}

bool ForbiddenList::LookUp(const std::vector<std::string>& names,
                           const std::function<bool(const std::string& name)>& also) {
  // Every row of a refresh asks; one message per failure is enough.
  std::optional<std::vector<std::string>> lines =
      Load(lookup_failure_reported_ ? "" : "読み込めるまで、すべてのドライブを消去禁止として扱います。");
  if (!lines) {
    lookup_failure_reported_ = true;
    return true;
  }
  lookup_failure_reported_ = false;
  if (HasAnyName(*lines, names)) return true;
  return also && std::any_of(lines->begin(), lines->end(), [&](const std::string& line) { return also(NameOf(line)); });
}

bool ForbiddenList::IsForbidden(const std::string& key) { return LookUp({platform::Utf8ToFileText(key)}); }

ForbiddenList::Change ForbiddenList::AddForbidden(const std::string& key,
                                                  const std::string& bus_type) {
  // Writing without having read the file would lose every other entry.
  std::optional<std::vector<std::string>> lines = Load("消去禁止の設定は変更されませんでした。");
  if (!lines) return Change::kFailed;
  const std::string name = platform::Utf8ToFileText(key);
  if (FindName(*lines, name)) return Change::kUnchanged;
  lines->push_back(name + "=" + platform::Utf8ToFileText(bus_type));
  return Store(*lines) ? Change::kChanged : Change::kFailed;
}

ForbiddenList::Change ForbiddenList::RemoveForbidden(const std::string& key) {
  std::optional<std::vector<std::string>> lines = Load("消去禁止の設定は変更されませんでした。");
  if (!lines) return Change::kFailed;
  std::optional<size_t> found = FindName(*lines, platform::Utf8ToFileText(key));
  if (!found) return Change::kUnchanged;
  lines->erase(lines->begin() + long(*found));
  return Store(*lines) ? Change::kChanged : Change::kFailed;
}

bool ForbiddenList::IsForbidden(const DriveRow& row, ViewMode view) {
  return LookUp(NamesOf(ProtectionKeysOf(row, view)),
                [&](const std::string& name) { return NamesLetterlessDrive(name, row, view); });
}

ForbiddenList::Change ForbiddenList::AddForbidden(const DriveRow& row, ViewMode view) {
  std::optional<std::vector<std::string>> lines = Load("消去禁止の設定は変更されませんでした。");
  if (!lines) return Change::kFailed;
  bool added = false;
  // The identity key first: the line older copies look for.
  for (const std::string& name : NamesOf(ProtectionKeysOf(row, view), false)) {
    if (FindName(*lines, name)) continue;
    lines->push_back(name + "=" + platform::Utf8ToFileText(row.bus_type));
    added = true;
  }
  if (!added) return Change::kUnchanged;
  return Store(*lines) ? Change::kChanged : Change::kFailed;
}

ForbiddenList::Change ForbiddenList::RemoveForbidden(const DriveRow& row, ViewMode view) {
  std::optional<std::vector<std::string>> lines = Load("消去禁止の設定は変更されませんでした。");
  if (!lines) return Change::kFailed;
  const std::vector<std::string> names = NamesOf(ProtectionKeysOf(row, view));
  const size_t before = lines->size();
  std::erase_if(*lines, [&](const std::string& line) {
    for (const std::string& name : names)
      if (EqualIgnoringAsciiCase(NameOf(line), name)) return true;
    return NamesLetterlessDrive(NameOf(line), row, view);
  });
  if (lines->size() == before) return Change::kUnchanged;
  return Store(*lines) ? Change::kChanged : Change::kFailed;
}

bool ForbiddenList::MigrateForbiddenList(
    const std::function<std::string(char letter)>& current_identity) {
  // A missing file reads as an empty list and is not created here.
  std::optional<std::vector<std::string>> lines = Load("古い形式の項目は書き換えられませんでした。");
  if (!lines) return false;
  bool replaced = false;
  for (std::string& line : *lines) {
    if (std::optional<std::string> migrated = MigratedLine(line, current_identity)) {
      line = std::move(*migrated);
      replaced = true;
    }
  }
  return replaced && Store(*lines);
}

ForbidMenu PopupMenu2Popup(bool row_selected, const std::string& row_letters, bool not_erasable,
                           const std::string& system_drive) {
  if (!row_selected) return {};
  // Same test as the refresh uses to protect the system drive.
  const bool system = row_letters.find(system_drive) != std::string::npos;
  return {.forbid_visible = !not_erasable && !system, .allow_visible = not_erasable && !system};
}

std::optional<ForbidOutcome> N3Click(ForbiddenList& list, DriveRow& row, size_t row_index,
                                     ForbidAction action, bool partition_view,
                                     const std::string& system_drive) {
  if (row.letters.find(system_drive) != std::string::npos) return std::nullopt;
  const bool forbid = action == ForbidAction::kForbid;
  const ViewMode view = partition_view ? ViewMode::kPartition : ViewMode::kPhysical;
  ForbiddenList::Change change = forbid ? list.AddForbidden(row, view) : list.RemoveForbidden(row, view);
  // The row keeps showing what the file says when the file could not change.
  if (change == ForbiddenList::Change::kFailed) return std::nullopt;
  row.not_erasable = forbid;

  ForbidOutcome outcome;
  outcome.message.partition_view = partition_view;
  outcome.message.row_index = uint8_t(row_index & 0xFF);
  outcome.message.kind = RowChangeMessage::kForbiddenState;
  outcome.message.value = forbid ? 1 : 0;
  outcome.erase_enabled = !forbid;
  return outcome;
}

}  // namespace plexi
