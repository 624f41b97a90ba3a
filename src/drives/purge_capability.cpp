#include "drives/purge_capability.h"

#include <algorithm>
#include <cstring>

#include "platform/firmware_routes.h"
#include "platform/winconst.h"

namespace plexi {
namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
bool Bit(uint32_t value, int bit) { return (value >> bit & 1u) != 0; }

// An erase-time word: bits 0-14 (extended format, bit 15 set) or 0-7, in
// units of two minutes; the largest value means "more than that".
uint32_t EraseMinutes(uint16_t word) {
  const uint32_t units = (word & 0x8000) ? (word & 0x7FFF) : (word & 0xFF);
  return units * 2;
}

// Another namespace could be on the controller: a command that covers all
// of them would erase more than the confirmed drive.
bool OtherNamespacesPossible(const NvmeFacts& n) {
  return n.active_namespaces ? *n.active_namespaces > 1 : n.namespace_limit != 1;
}

// Why `host` cannot send a command: only in Windows PE, or not at all.
template <class Carried>
PurgeBlock CarrierBlock(const platform::HostSystem& host, Carried carried) {
  if (carried(host)) return PurgeBlock::kNone;
  platform::HostSystem pe = host;
  pe.windows_pe = true;
  return carried(pe) ? PurgeBlock::kNeedsWindowsPe : PurgeBlock::kNotOnThisWindows;
}

PurgeBlock NvmeCarrierBlock(const platform::HostSystem& host, const platform::NvmeAdminCommand& command) {
  return CarrierBlock(host, [&command](const platform::HostSystem& h) {
    return platform::RouteOfNvme(h, command) != platform::NvmeRoute::kNone;
  });
}

PurgeBlock AtaCarrierBlock(const platform::HostSystem& host, const platform::AtaCommand& command) {
  return CarrierBlock(host, [&command](const platform::HostSystem& h) { return platform::AtaCommandCarried(h, command); });
}

void ChooseNvme(const NvmeFacts& n, const platform::HostSystem& host, PurgeCapability& cap) {
  const bool others = OtherNamespacesPossible(n);
  auto offer = [&](bool supported, bool covers_all, const platform::NvmeAdminCommand& sent, PurgeCommand command) {
    if (!supported || cap.Usable()) return;
    const bool is_format = sent.opcode == nvme::kOpFormatNvm;
    PurgeBlock why = covers_all && others ? PurgeBlock::kOtherNamespaces
                     // The format keeps the namespace's format, known only from its identify data.
                     : is_format && !n.namespace_answered ? PurgeBlock::kNamespaceUnknown
                                                          : NvmeCarrierBlock(host, sent);
    if (why != PurgeBlock::kNone) {
      cap.withheld.push_back({command, why});
    } else {
      cap.command = command;
      cap.no_deallocate = sent.opcode == nvme::kOpSanitize && (sent.cdw10 & nvme::kNoDeallocateAfterSanitize);
    }
  };
  // A sanitize always covers the whole subsystem. It asks the drive not to
  // deallocate where the drive and the system's route allow it.
  auto sanitize = [&](uint32_t action) {
    const bool no_deallocate = !n.no_deallocate_inhibited &&
                               platform::RouteOfNvme(host, nvme::Sanitize(action, true)) != platform::NvmeRoute::kNone;
    return nvme::Sanitize(action, no_deallocate);
  };
  offer(n.sanitize_crypto, true, sanitize(nvme::kSanitizeCryptoErase), PurgeCommand::kNvmeSanitizeCrypto);
  offer(n.sanitize_block, true, sanitize(nvme::kSanitizeBlockErase), PurgeCommand::kNvmeSanitizeBlock);
  offer(n.sanitize_overwrite, true, sanitize(nvme::kSanitizeOverwrite), PurgeCommand::kNvmeSanitizeOverwrite);
  offer(n.format_supported && n.format_crypto, n.format_all_namespaces || n.crypto_all_namespaces,
        nvme::Format(n.nsid, n, nvme::kSesCrypto), PurgeCommand::kNvmeFormatCrypto);
  offer(n.format_supported, n.format_all_namespaces, nvme::Format(n.nsid, n, nvme::kSesUserData),
        PurgeCommand::kNvmeFormatUserData);
  if (!cap.Usable()) {
    cap.block = cap.withheld.empty() ? PurgeBlock::kNotSupported : cap.withheld.front().second;
    return;
  }
  cap.block = PurgeBlock::kNone;
  // Blocks left mapped read as the media: zeros only after the one zero
  // pattern of an overwrite that the drive does not modify afterwards.
  // Deallocated blocks read as the drive says deallocated blocks read.
  cap.zeros_guaranteed = cap.no_deallocate ? cap.command == PurgeCommand::kNvmeSanitizeOverwrite &&
                                                 n.no_deallocate_modifies_media != 2
                                           : n.namespace_answered && n.dealloc_read == 1;
}

// Why a security erase cannot run in the drive's security state.
PurgeBlock SecurityStateBlock(const AtaFacts& a, const platform::HostSystem& host) {
  if (a.security_count_expired) return PurgeBlock::kAttemptsExpired;
  if (a.security_enabled || a.security_locked) return PurgeBlock::kPasswordSet;
  if (a.security_frozen) return host.windows_pe ? PurgeBlock::kFrozenReplug : PurgeBlock::kFrozen;
  return PurgeBlock::kNone;
}

void ChooseAta(const AtaFacts& a, const platform::HostSystem& host, PurgeCapability& cap) {
  auto offer = [&](bool supported, const platform::AtaCommand& sent, PurgeCommand command) {
    if (!supported || cap.Usable()) return;
    const PurgeBlock why = AtaCarrierBlock(host, sent);
    if (why != PurgeBlock::kNone) cap.withheld.push_back({command, why});
    else cap.command = command;
  };
  offer(a.sanitize_supported && a.sanitize_crypto, ata::Sanitize(ata::kSanitizeCrypto), PurgeCommand::kAtaSanitizeCrypto);
  offer(a.sanitize_supported && a.sanitize_block, ata::Sanitize(ata::kSanitizeBlock), PurgeCommand::kAtaSanitizeBlock);
  offer(a.sanitize_supported && a.sanitize_overwrite, ata::Sanitize(ata::kSanitizeOverwrite),
        PurgeCommand::kAtaSanitizeOverwrite);
  const PurgeCommand security = a.enhanced_erase_supported ? PurgeCommand::kAtaEnhancedSecureErase
                                                           : PurgeCommand::kAtaSecureErase;
  platform::AtaCommand set_password;
  set_password.command = ata::kCmdSecuritySetPassword;
  const PurgeBlock state = SecurityStateBlock(a, host);
  offer(a.security_supported && state == PurgeBlock::kNone, set_password, security);
  // What an ATA drive reads after these is up to its maker (a normal
  // security erase may write 0xFF): the zero pass always follows.
  cap.zeros_guaranteed = false;
  cap.ata_password = ata::TemporaryPassword(host);
  const PurgeBlock carrier = AtaCarrierBlock(host, set_password);
  if (cap.Usable()) cap.block = PurgeBlock::kNone;
  else if (!cap.withheld.empty()) cap.block = cap.withheld.front().second;
  else if (!a.security_supported) cap.block = PurgeBlock::kNotSupported;
  // A Windows that does not carry the commands freezes security itself.
  else cap.block = carrier != PurgeBlock::kNone ? carrier : state;
  if (!cap.Usable() && a.security_supported && state != PurgeBlock::kNone && carrier != PurgeBlock::kNone)
    cap.withheld.push_back({security, carrier});
}

void PutPassword(uint8_t* block512, const std::string& password, bool enhanced) {
  std::memset(block512, 0, 512);
  block512[0] = enhanced ? 0x02 : 0x00;  // word 0: bit 0 user password, bit 1 enhanced erase
  // Words 1-16 hold the 32 password bytes in the order they are typed,
  // zero-padded: the field is bytes, not an ATA string, and other tools
  // (hdparm) send it so, which is what unlocks the drive elsewhere.
  std::memcpy(block512 + 2, password.data(), std::min<size_t>(password.size(), 32));
}

}  // namespace

Transport TransportOfBus(uint32_t bus_type) {
  switch (bus_type) {
    case winconst::kBusTypeNvme: return Transport::kNvme;
    case winconst::kBusTypeAta:
    case winconst::kBusTypeSata: return Transport::kAta;
    case winconst::kBusTypeUsb: return Transport::kUsbBridge;
    default: return Transport::kOther;
  }
}

NvmeFacts ParseNvmeIdentify(const uint8_t* ctrl, const uint8_t* ns) {
  NvmeFacts f;
  const uint16_t oacs = Le16(ctrl + 256);
  const uint8_t fna = ctrl[524];
  const uint32_t sanicap = Le32(ctrl + 328);
  f.format_supported = Bit(oacs, 1);
  f.format_all_namespaces = Bit(fna, 0);
  f.crypto_all_namespaces = Bit(fna, 1);
  f.format_crypto = Bit(fna, 2);
  f.sanitize_crypto = Bit(sanicap, 0);
  f.sanitize_block = Bit(sanicap, 1);
  f.sanitize_overwrite = Bit(sanicap, 2);
  f.no_deallocate_inhibited = Bit(sanicap, 29);
  f.no_deallocate_modifies_media = uint8_t(sanicap >> 30);
  f.namespace_limit = Le32(ctrl + 516);
  if (ns) {
    f.namespace_answered = true;
    const uint8_t flbas = ns[26];
    f.lba_format = uint8_t((flbas & 0x0F) | ((flbas >> 5) & 0x03) << 4);
    f.metadata_extended = Bit(flbas, 4);
    f.protection = ns[29] & 0x0F;
    f.dealloc_read = ns[33] & 0x07;
  }
  return f;
}

uint32_t CountActiveNamespaces(const uint8_t* list) {
  uint32_t count = 0;
  for (uint32_t i = 0; i < nvme::kIdentifyBytes / 4 && Le32(list + i * 4) != 0; ++i) ++count;
  return count;
}

AtaFacts ParseAtaIdentify(const uint8_t* id) {
  auto word = [id](int n) { return Le16(id + 2 * n); };
  AtaFacts f;
  const uint16_t w59 = word(59), w128 = word(128);
  f.sanitize_supported = Bit(w59, 12);
  f.sanitize_crypto = f.sanitize_supported && Bit(w59, 13);
  f.sanitize_overwrite = f.sanitize_supported && Bit(w59, 14);
  f.sanitize_block = f.sanitize_supported && Bit(w59, 15);
  // Word 82 bit 1 says the feature set is there; word 128 gives its state.
  f.security_supported = Bit(word(82), 1) && word(82) != 0xFFFF && Bit(w128, 0);
  if (f.security_supported) {
    f.security_enabled = Bit(w128, 1);
    f.security_locked = Bit(w128, 2);
    f.security_frozen = Bit(w128, 3);
    f.security_count_expired = Bit(w128, 4);
    f.enhanced_erase_supported = Bit(w128, 5);
    f.erase_minutes = EraseMinutes(word(89));
    f.enhanced_erase_minutes = EraseMinutes(word(90));
  }
  f.trim_supported = Bit(word(169), 0);
  f.trim_reads_zeros = f.trim_supported && Bit(word(69), 5);
  return f;
}

PurgeCapability ChoosePurge(Transport transport, const std::optional<NvmeFacts>& nvme,
                            const std::optional<AtaFacts>& ata, const platform::HostSystem& host) {
  PurgeCapability cap;
  cap.transport = transport;
  cap.nvme = nvme;
  cap.ata = ata;
  if (nvme) {
    ChooseNvme(*nvme, host, cap);
  } else if (ata) {
    ChooseAta(*ata, host, cap);
  } else {
    cap.block = transport == Transport::kUsbBridge ? PurgeBlock::kUsbBridge : PurgeBlock::kNotSupported;
  }
  return cap;
}

namespace {

// The namespace of the disk, where it is known for certain: the handle
// names it, or the controller can have no other (NN 1). Never guessed.
std::optional<uint32_t> NamespaceOfDisk(platform::Device& device, const uint8_t* controller4096) {
  platform::Result<uint32_t> own = device.NvmeNamespaceId();
  if (own.ok() && *own != 0) return *own;
  if (Le32(controller4096 + 516) == 1) return 1u;
  return std::nullopt;
}

std::optional<NvmeFacts> AskNvme(platform::Device& device, bool& denied) {
  std::vector<uint8_t> ctrl(nvme::kIdentifyBytes), ns(nvme::kIdentifyBytes), list(nvme::kIdentifyBytes);
  auto ask = [&device, &denied](platform::NvmeAdminCommand command) {
    platform::Result<platform::NvmeCompletion> r = device.NvmeAdmin(command);
    denied = denied || (!r.ok() && r.error() == winconst::kErrorAccessDenied);
    return r.ok() && r->Succeeded();
  };
  if (!ask(nvme::Identify(1, 0, ctrl.data()))) return std::nullopt;
  const std::optional<uint32_t> nsid = NamespaceOfDisk(device, ctrl.data());
  const bool ns_ok = nsid && ask(nvme::Identify(0, *nsid, ns.data()));
  NvmeFacts facts = ParseNvmeIdentify(ctrl.data(), ns_ok ? ns.data() : nullptr);
  facts.nsid = nsid.value_or(0);
  if (ask(nvme::Identify(2, 0, list.data()))) facts.active_namespaces = CountActiveNamespaces(list.data());
  return facts;
}

}  // namespace

PurgeCapability QueryPurgeCapability(platform::Device& device, uint32_t bus_type, const platform::HostSystem& host) {
  const Transport transport = TransportOfBus(bus_type);
  std::optional<NvmeFacts> nvme_facts;
  std::optional<AtaFacts> ata_facts;
  bool denied = false;
  if (transport == Transport::kNvme) {
    nvme_facts = AskNvme(device, denied);
  } else {
    std::vector<uint8_t> id(512);
    platform::Result<platform::AtaReply> r = device.AtaPassThrough(ata::Identify(id.data()));
    if (r.ok() && !r->Failed()) ata_facts = ParseAtaIdentify(id.data());
    denied = !r.ok() && r.error() == winconst::kErrorAccessDenied;
  }
  PurgeCapability cap = ChoosePurge(transport, nvme_facts, ata_facts, host);
  cap.identify_denied = denied;
  return cap;
}

std::string PurgeCommandName(PurgeCommand command, Language language) {
  const auto in = [language](const char* english, const char* japanese) {
    return InLanguage(language, english, japanese);
  };
  switch (command) {
    case PurgeCommand::kNone: return in("none", "なし");
    case PurgeCommand::kNvmeSanitizeCrypto: return in("NVMe sanitize (crypto erase)", "NVMe サニタイズ（暗号消去）");
    case PurgeCommand::kNvmeSanitizeBlock: return in("NVMe sanitize (block erase)", "NVMe サニタイズ（ブロック消去）");
    case PurgeCommand::kNvmeSanitizeOverwrite: return in("NVMe sanitize (overwrite)", "NVMe サニタイズ（上書き）");
    case PurgeCommand::kNvmeFormatCrypto: return in("NVMe format (crypto erase)", "NVMe フォーマット（暗号消去）");
    case PurgeCommand::kNvmeFormatUserData:
      return in("NVMe format (user data erase)", "NVMe フォーマット（ユーザーデータ消去）");
    case PurgeCommand::kAtaSanitizeCrypto: return in("ATA sanitize (crypto scramble)", "ATA サニタイズ（暗号スクランブル）");
    case PurgeCommand::kAtaSanitizeBlock: return in("ATA sanitize (block erase)", "ATA サニタイズ（ブロック消去）");
    case PurgeCommand::kAtaSanitizeOverwrite: return in("ATA sanitize (overwrite)", "ATA サニタイズ（上書き）");
    case PurgeCommand::kAtaEnhancedSecureErase:
      return in("ATA security erase (enhanced)", "ATA セキュリティ消去（拡張）");
    case PurgeCommand::kAtaSecureErase: return in("ATA security erase (normal)", "ATA セキュリティ消去（通常）");
  }
  return {};
}

bool IsSanitize(PurgeCommand command) {
  switch (command) {
    case PurgeCommand::kNvmeSanitizeCrypto:
    case PurgeCommand::kNvmeSanitizeBlock:
    case PurgeCommand::kNvmeSanitizeOverwrite:
    case PurgeCommand::kAtaSanitizeCrypto:
    case PurgeCommand::kAtaSanitizeBlock:
    case PurgeCommand::kAtaSanitizeOverwrite: return true;
    default: return false;
  }
}

std::string PurgeTechniqueCode(PurgeCommand command) {
  switch (command) {
    case PurgeCommand::kNone: return "none";
    case PurgeCommand::kNvmeSanitizeCrypto: return "nvme_sanitize_crypto_erase";
    case PurgeCommand::kNvmeSanitizeBlock: return "nvme_sanitize_block_erase";
    case PurgeCommand::kNvmeSanitizeOverwrite: return "nvme_sanitize_overwrite";
    case PurgeCommand::kNvmeFormatCrypto: return "nvme_format_crypto_erase";
    case PurgeCommand::kNvmeFormatUserData: return "nvme_format_user_data_erase";
    case PurgeCommand::kAtaSanitizeCrypto: return "ata_sanitize_crypto_scramble";
    case PurgeCommand::kAtaSanitizeBlock: return "ata_sanitize_block_erase";
    case PurgeCommand::kAtaSanitizeOverwrite: return "ata_sanitize_overwrite";
    case PurgeCommand::kAtaEnhancedSecureErase: return "ata_enhanced_security_erase";
    case PurgeCommand::kAtaSecureErase: return "ata_security_erase";
  }
  return {};
}

std::string PurgeBlockText(PurgeBlock block, Language language) {
  const auto in = [language](const char* english, const char* japanese) {
    return InLanguage(language, english, japanese);
  };
  switch (block) {
    case PurgeBlock::kNone: return {};
    case PurgeBlock::kNotSupported:
      return in("This drive does not support a firmware purge.", "このドライブはファームウェア消去に対応していません。");
    case PurgeBlock::kFrozen:
      return in("The drive's security features are frozen. Put the computer to sleep and wake it, or reconnect "
                "the drive.",
                "ドライブのセキュリティ機能が凍結されています。パソコンをスリープさせてから復帰させるか、"
                "ドライブを接続し直して下さい。");
    case PurgeBlock::kUsbBridge:
      return in("The USB adapter does not pass the purge commands on, so it cannot be used.",
                "USB 変換アダプタがファームウェア消去のコマンドを通さないため、使用できません。");
    case PurgeBlock::kPasswordSet:
      return in("The drive has a password set, so the firmware purge cannot be used.",
                "ドライブにパスワードが設定されているため、ファームウェア消去を使用できません。");
    case PurgeBlock::kAttemptsExpired:
      return in("Too many password attempts, so the firmware purge cannot be used. Switch the drive off and on.",
                "パスワードの試行回数を超えたため、ファームウェア消去を使用できません。ドライブの電源を入れ直して下さい。");
    case PurgeBlock::kOtherNamespaces:
      return in("This drive's erase command also erases the other namespaces of its controller, so it cannot be used.",
                "このドライブの消去コマンドは同じコントローラの他の名前空間も消去するため、使用できません。");
    case PurgeBlock::kFrozenReplug:
      return in("The drive's security features are frozen. Reconnect the drive (Windows PE cannot wake from sleep).",
                "ドライブのセキュリティ機能が凍結されています。ドライブを接続し直して下さい"
                "（Windows PE ではスリープから復帰させる方法は使えません）。");
    case PurgeBlock::kNeedsWindowsPe:
      return in("Not on this Windows. It can be used when started from Windows PE.",
                "この Windows では使用できません。Windows PE から起動すると使用できます。");
    case PurgeBlock::kNotOnThisWindows:
      return in("This Windows's driver does not pass this command on, so it cannot be used.",
                "この Windows のドライバはこのコマンドを通さないため、使用できません。");
    case PurgeBlock::kNamespaceUnknown:
      return in("This disk's namespace cannot be determined, so commands naming a namespace cannot be used.",
                "このディスクの名前空間を確かめられないため、名前空間を指定するコマンドは使用できません。");
  }
  return {};
}

namespace {

std::vector<std::string> NvmeLines(const NvmeFacts& n, Language language) {
  const auto in = [language](const char* english, const char* japanese) {
    return std::string(InLanguage(language, english, japanese));
  };
  const auto yes_no = [&](bool b) { return b ? in("yes", "可") : in("no", "不可"); };
  std::vector<std::string> lines;
  lines.push_back(in("NVMe sanitize: crypto erase ", "NVMe サニタイズ: 暗号消去 ") + yes_no(n.sanitize_crypto) +
                  in(" / block erase ", " / ブロック消去 ") + yes_no(n.sanitize_block) + in(" / overwrite ", " / 上書き ") +
                  yes_no(n.sanitize_overwrite));
  lines.push_back(in("NVMe format: ", "NVMe フォーマット: ") + yes_no(n.format_supported) + in(" (crypto erase ", " (暗号消去 ") +
                  yes_no(n.format_supported && n.format_crypto) + ")");
  const std::string reads = n.dealloc_read == 1   ? in("zeros", "ゼロ")
                            : n.dealloc_read == 2 ? "0xFF"
                                                  : in("undefined", "不定");
  lines.push_back(in("deallocated blocks read: ", "解放済みブロックの読み出し: ") +
                  (n.namespace_answered ? reads : in("unknown", "不明")));
  return lines;
}

std::vector<std::string> AtaLines(const AtaFacts& a, Language language) {
  const auto in = [language](const char* english, const char* japanese) {
    return std::string(InLanguage(language, english, japanese));
  };
  const auto yes_no = [&](bool b) { return b ? in("yes", "可") : in("no", "不可"); };
  std::vector<std::string> lines;
  lines.push_back(in("ATA sanitize: ", "ATA サニタイズ: ") + yes_no(a.sanitize_supported) +
                  in(" (crypto scramble ", " (暗号スクランブル ") + yes_no(a.sanitize_crypto) +
                  in(" / block erase ", " / ブロック消去 ") + yes_no(a.sanitize_block) +
                  in(" / overwrite ", " / 上書き ") + yes_no(a.sanitize_overwrite) + ")");
  std::string security = in("ATA security erase: ", "ATA セキュリティ消去: ") + yes_no(a.security_supported);
  if (a.security_supported) {
    security += in(" (enhanced ", " (拡張 ") + yes_no(a.enhanced_erase_supported) + ")";
    if (a.security_frozen) security += in(" frozen", " 凍結中");
    if (a.security_enabled) security += in(" password set", " パスワード設定済み");
    if (a.security_locked) security += in(" locked", " ロック中");
    if (a.erase_minutes)
      security += in(" takes about ", " 所要時間 約") + std::to_string(a.erase_minutes) + in(" min", "分");
  }
  lines.push_back(security);
  return lines;
}

// What the chosen command does beyond its name: the password it sets, the
// deallocation after a sanitize, what the drive reads afterwards.
void AppendChosenLines(const PurgeCapability& cap, Language language, std::vector<std::string>& lines) {
  const auto in = [language](const char* english, const char* japanese) {
    return std::string(InLanguage(language, english, japanese));
  };
  lines.push_back(in("command to run: ", "実行するコマンド: ") + PurgeCommandName(cap.command, language));
  if (cap.command == PurgeCommand::kAtaEnhancedSecureErase || cap.command == PurgeCommand::kAtaSecureErase)
    lines.push_back(in("temporary password: \"", "一時パスワード: 「") + cap.ata_password +
                    in("\" (removed after the erase)", "」（消去の後に解除します）"));
  if (cap.nvme && IsSanitize(cap.command))
    lines.push_back(
        cap.no_deallocate
            ? in("deallocation after the sanitize: asked not to (the read-back reads the media)",
                 "サニタイズ後のブロック解放: 行わないよう指示します（照合は媒体を読みます）")
            : in("deallocation after the sanitize: cannot be stopped", "サニタイズ後のブロック解放: 止められません"));
  // Without a zero pass a read-back of deallocated blocks reads the
  // drive's answer for them, not the media.
  const bool deallocated = cap.nvme && !cap.no_deallocate;
  lines.push_back(!cap.zeros_guaranteed
                      ? in("reads after the purge: not promised (zeros are written once after it)",
                           "消去後の読み出し: 保証なし（続けてゼロを 1 回書き込みます）")
                  : deallocated
                      ? in("reads after the purge: zeros (no zero pass; the read-back reads the deallocated blocks)",
                           "消去後の読み出し: ゼロ（ゼロ書き込みは行いません。照合は解放済みのブロックを読みます）")
                      : in("reads after the purge: zeros (no zero pass)", "消去後の読み出し: ゼロ（ゼロ書き込みは行いません）"));
}

}  // namespace

std::vector<std::string> PurgeCapabilityLines(const PurgeCapability& cap, Language language) {
  std::vector<std::string> lines;
  if (cap.nvme)
    lines = NvmeLines(*cap.nvme, language);
  else if (cap.ata)
    lines = AtaLines(*cap.ata, language);
  for (const auto& [command, why] : cap.withheld)
    lines.push_back(PurgeCommandName(command, language) + ": " + PurgeBlockText(why, language));
  if (cap.Usable())
    AppendChosenLines(cap, language, lines);
  else
    lines.push_back(InLanguage(language, "cannot be used: ", "使用できません: ") + PurgeBlockText(cap.block, language));
  return lines;
}

namespace nvme {

platform::NvmeAdminCommand Identify(uint8_t cns, uint32_t nsid, uint8_t* reply4096) {
  platform::NvmeAdminCommand c;
  c.opcode = kOpIdentify;
  c.nsid = nsid;
  c.cdw10 = cns;
  c.data = reply4096;
  c.data_length = kIdentifyBytes;
  return c;
}

platform::NvmeAdminCommand SanitizeStatusLog(uint8_t* reply512) {
  platform::NvmeAdminCommand c;
  c.opcode = kOpGetLogPage;
  c.nsid = 0xFFFFFFFF;  // the log is the controller's
  c.cdw10 = kLogSanitizeStatus | (kSanitizeLogBytes / 4 - 1) << 16;
  c.data = reply512;
  c.data_length = kSanitizeLogBytes;
  return c;
}

platform::NvmeAdminCommand Sanitize(uint32_t action, bool no_deallocate) {
  platform::NvmeAdminCommand c;
  c.opcode = kOpSanitize;
  // One pass of a zero pattern for an overwrite (OWPASS 1, OVRPAT 0).
  c.cdw10 = action | (action == kSanitizeOverwrite ? 1u << 4 : 0u) | (no_deallocate ? kNoDeallocateAfterSanitize : 0u);
  c.cdw11 = 0;
  return c;
}

platform::NvmeAdminCommand Format(uint32_t nsid, const NvmeFacts& f, uint32_t ses) {
  platform::NvmeAdminCommand c;
  c.opcode = kOpFormatNvm;
  c.nsid = nsid;
  // The format in use is kept: its index, metadata and protection settings.
  c.cdw10 = uint32_t(f.lba_format & 0x0F) | uint32_t(f.metadata_extended) << 4 | uint32_t(f.protection & 0x07) << 5 |
            uint32_t(f.protection >> 3 & 1) << 8 | (ses & 0x07) << 9 | uint32_t(f.lba_format >> 4 & 0x03) << 12;
  c.timeout_ms = 0;
  return c;
}

SanitizeStatus ParseSanitizeLog(const uint8_t* log) {
  SanitizeStatus s;
  const uint16_t sstat = Le16(log + 2);
  s.progress = Le16(log);
  s.state = uint8_t(sstat & 0x07);
  s.overwrite_passes = uint8_t(sstat >> 3 & 0x1F);
  s.global_data_erased = Bit(sstat, 8);
  s.command_dword10 = Le32(log + 4);
  for (int k = 0; k < 6; ++k) s.estimates[k] = Le32(log + 8 + 4 * k);
  return s;
}

std::optional<uint32_t> EstimatedSeconds(const SanitizeStatus& status, uint32_t cdw10, uint8_t modifies_media) {
  const uint32_t action = cdw10 & 0x07;
  const int kind = action == kSanitizeOverwrite ? 0 : action == kSanitizeBlockErase ? 1
                   : action == kSanitizeCryptoErase ? 2 : -1;
  if (kind < 0) return std::nullopt;
  // The no-deallocate estimates hold where the drive modifies the media
  // further after such a sanitize.
  const bool further = (cdw10 & kNoDeallocateAfterSanitize) && modifies_media == 2;
  const uint32_t seconds = status.estimates[kind + (further ? 3 : 0)];
  if (seconds == kNoEstimate) return std::nullopt;
  return seconds;
}

}  // namespace nvme

namespace ata {

platform::AtaCommand Identify(uint8_t* reply512) {
  platform::AtaCommand c;
  c.command = kCmdIdentify;
  c.device = 0;
  c.direction = platform::AtaCommand::Data::kIn;
  c.data = reply512;
  c.data_length = 512;
  return c;
}

platform::AtaCommand Sanitize(uint16_t feature) {
  platform::AtaCommand c;
  c.command = kCmdSanitize;
  c.feature = feature;
  switch (feature) {
    case kSanitizeCrypto: c.lba = kCryptoKey; break;
    case kSanitizeBlock: c.lba = kBlockKey; break;
    case kSanitizeOverwrite:
      c.lba = kOverwriteKey << 32;  // pattern 0 in bits 31:0
      c.count = 1;                  // one pass
      break;
    default: break;
  }
  return c;
}

namespace {

// A security command that sends the password block.
platform::AtaCommand WithPasswordBlock(uint8_t command, uint8_t* block512, const std::string& password,
                                       bool enhanced) {
  PutPassword(block512, password, enhanced);
  platform::AtaCommand c;
  c.command = command;
  c.direction = platform::AtaCommand::Data::kOut;
  c.data = block512;
  c.data_length = 512;
  return c;
}

}  // namespace

std::string TemporaryPassword(const platform::HostSystem& host) {
  return host.windows ? platform::kWindowsPePassword : kTemporaryPassword;
}

platform::AtaCommand SetPassword(uint8_t* block512, const std::string& password) {
  return WithPasswordBlock(kCmdSecuritySetPassword, block512, password, false);
}

platform::AtaCommand ErasePrepare() {
  platform::AtaCommand c;
  c.command = kCmdSecurityErasePrepare;
  return c;
}

platform::AtaCommand EraseUnit(uint8_t* block512, const std::string& password, bool enhanced,
                               uint32_t timeout_seconds) {
  platform::AtaCommand c = WithPasswordBlock(kCmdSecurityEraseUnit, block512, password, enhanced);
  c.timeout_seconds = timeout_seconds;
  return c;
}

platform::AtaCommand DisablePassword(uint8_t* block512, const std::string& password) {
  return WithPasswordBlock(kCmdSecurityDisablePassword, block512, password, false);
}

SanitizeStatus ParseSanitizeStatus(const platform::AtaReply& reply) {
  return {Bit(reply.count, 15), Bit(reply.count, 14), uint16_t(reply.lba & 0xFFFF)};
}

}  // namespace ata
}  // namespace plexi
