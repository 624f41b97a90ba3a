#include "platform/firmware_routes.h"

#include "platform/firmware_codes.h"

namespace plexi::platform {
namespace {

// "StorNVMe command set support",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/storage/stornvme-command-set-support:
// Sanitize is marked "WinPE Only" there. Sent through
// IOCTL_STORAGE_PROTOCOL_COMMAND in Windows PE of Windows 10 version 2004 and
// later; outside Windows PE only as the media reinitialisation below, so
// that nothing is offered that the driver would refuse once confirmed.
bool SanitizeByProtocolCommand(const HostSystem& host) {
  return host.windows_pe && host.build >= windows_build::kWindows10v2004;
}

NvmeRoute SanitizeRoute(const HostSystem& host, uint32_t cdw10) {
  // STORAGE_REINITIALIZE_MEDIA, whose sanitize options name block and crypto
  // erase only, is taken from Windows Server 2022 on; an older driver takes
  // no input and would format instead
  // ("IOCTL_STORAGE_REINITIALIZE_MEDIA",
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddstor/ni-ntddstor-ioctl_storage_reinitialize_media).
  // Its options have no field for No-Deallocate After Sanitize
  // ("STORAGE_REINITIALIZE_MEDIA structure",
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddstor/ns-ntddstor-storage_reinitialize_media),
  // so a sanitize asking for it never goes that way.
  const uint32_t action = cdw10 & 0x07;
  const bool method = action == nvme::kSanitizeBlockErase || action == nvme::kSanitizeCryptoErase;
  const bool no_deallocate = (cdw10 & nvme::kNoDeallocateAfterSanitize) != 0;
  if (method && !no_deallocate && host.build >= windows_build::kServer2022) return NvmeRoute::kReinitializeSanitize;
  return SanitizeByProtocolCommand(host) ? NvmeRoute::kProtocolCommand : NvmeRoute::kNone;
}

// Format NVM: IOCTL_STORAGE_PROTOCOL_COMMAND in Windows PE only; outside it
// only a crypto erase, as IOCTL_STORAGE_REINITIALIZE_MEDIA (Windows 10
// version 1607 and later) (same StorNVMe page).
NvmeRoute FormatRoute(const HostSystem& host, uint32_t ses) {
  if (host.windows_pe && host.build >= windows_build::kWindows10v1903) return NvmeRoute::kProtocolCommand;
  if (ses == nvme::kSesCrypto && host.build >= windows_build::kWindows10v1607) return NvmeRoute::kReinitializeMedia;
  return NvmeRoute::kNone;
}

}  // namespace

NvmeRoute RouteOfNvme(const HostSystem& host, const NvmeAdminCommand& command) {
  if (!host.windows) return NvmeRoute::kDirect;
  switch (command.opcode) {
    case nvme::kOpIdentify: {
      // Identify Controller and Identify Namespace only: the driver has no
      // query for the active namespace list.
      const uint32_t cns = command.cdw10 & 0xFF;
      return cns <= 1 ? NvmeRoute::kPropertyQuery : NvmeRoute::kNone;
    }
    case nvme::kOpGetLogPage: return NvmeRoute::kPropertyQuery;
    case nvme::kOpSanitize: return SanitizeRoute(host, command.cdw10);
    case nvme::kOpFormatNvm: return FormatRoute(host, command.cdw10 >> 9 & 0x07);
    default: return NvmeRoute::kNone;
  }
}

// "Security Group Commands",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/storage/security-group-commands:
// from Windows 8 the security commands, and SANITIZE's CRYPTO SCRAMBLE EXT,
// are restricted to Windows PE (with the fixed user password); Windows 7
// and earlier freeze security at start. No other ATA command is restricted
// there: IOCTL_ATA_PASS_THROUGH sends "almost any ATA command" on a handle
// with read and write access ("IOCTL_ATA_PASS_THROUGH IOCTL (ntddscsi.h)",
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntddscsi/ni-ntddscsi-ioctl_ata_pass_through;
// "ATA Command Support" lists only the security group as special), so the
// host protected area's commands are carried on every Windows.
bool AtaCommandCarried(const HostSystem& host, const AtaCommand& command) {
  const bool security = command.command >= 0xF1 && command.command <= 0xF6;
  const bool crypto_scramble = command.command == ata::kCmdSanitize && command.feature == ata::kSanitizeCrypto;
  if (!host.windows || (!security && !crypto_scramble)) return true;
  return host.windows_pe && host.build >= windows_build::kWindows8;
}

}  // namespace plexi::platform
