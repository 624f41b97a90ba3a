// The codes of the firmware commands a purge (and the hidden-area query) sends: the NVMe admin
// opcodes, log and status codes, and the ATA commands with their features,
// as the command sets number them. Shared by the commands' builders, the
// routes each system gives them and the machines that answer them.
#pragma once
#include <cstdint>

namespace plexi {

namespace nvme {
inline constexpr uint8_t kOpGetLogPage = 0x02;
inline constexpr uint8_t kOpIdentify = 0x06;
inline constexpr uint8_t kOpFormatNvm = 0x80;
inline constexpr uint8_t kOpSanitize = 0x84;
inline constexpr uint8_t kLogSanitizeStatus = 0x81;
inline constexpr uint32_t kIdentifyBytes = 4096;
inline constexpr uint32_t kSanitizeLogBytes = 512;
// Sanitize actions (SANACT).
inline constexpr uint32_t kSanitizeBlockErase = 2;
inline constexpr uint32_t kSanitizeOverwrite = 3;
inline constexpr uint32_t kSanitizeCryptoErase = 4;
// Sanitize dword 10 bit 9: No-Deallocate After Sanitize.
inline constexpr uint32_t kNoDeallocateAfterSanitize = 1u << 9;
// The sanitize status log's states (SSTAT bits 2:0).
inline constexpr uint8_t kSanitizeStateDone = 1;
inline constexpr uint8_t kSanitizeStateRunning = 2;
inline constexpr uint8_t kSanitizeStateFailed = 3;
inline constexpr uint8_t kSanitizeStateDoneDeallocated = 4;
// An estimate of the log that the drive does not give.
inline constexpr uint32_t kNoEstimate = 0xFFFFFFFF;
// Format secure erase settings (SES).
inline constexpr uint32_t kSesUserData = 1;
inline constexpr uint32_t kSesCrypto = 2;
// Status code type 0 (generic): invalid opcode, invalid field.
inline constexpr uint8_t kInvalidOpcode = 0x01;
inline constexpr uint8_t kInvalidField = 0x02;
inline constexpr uint8_t kCnsNamespace = 0;
inline constexpr uint8_t kCnsController = 1;
}  // namespace nvme

namespace ata {
inline constexpr uint8_t kCmdIdentify = 0xEC;
inline constexpr uint8_t kCmdSanitize = 0xB4;
inline constexpr uint8_t kCmdSecuritySetPassword = 0xF1;
inline constexpr uint8_t kCmdSecurityErasePrepare = 0xF3;
inline constexpr uint8_t kCmdSecurityEraseUnit = 0xF4;
inline constexpr uint8_t kCmdSecurityDisablePassword = 0xF6;
// The host protected area and the device configuration overlay.
inline constexpr uint8_t kCmdReadNativeMaxExt = 0x27;
inline constexpr uint8_t kCmdSetMaxAddressExt = 0x37;
inline constexpr uint8_t kCmdDeviceConfiguration = 0xB1;
inline constexpr uint16_t kDcoIdentify = 0x00C2;  // the DEVICE CONFIGURATION feature
inline constexpr uint16_t kSetMaxNonVolatile = 0x0001;  // SET MAX ADDRESS EXT count bit 0 (VV)
inline constexpr uint8_t kDcoSignature = 0xA5;   // word 255 bits 7:0
inline constexpr uint8_t kErrorIdNotFound = 0x10;  // IDNF: the address is past the native maximum
// SANITIZE DEVICE features.
inline constexpr uint16_t kSanitizeStatus = 0x0000;
inline constexpr uint16_t kSanitizeCrypto = 0x0011;
inline constexpr uint16_t kSanitizeBlock = 0x0012;
inline constexpr uint16_t kSanitizeOverwrite = 0x0014;
// The keys the sanitize commands carry in their LBA field.
inline constexpr uint64_t kCryptoKey = 0x43727970;     // "Cryp"
inline constexpr uint64_t kBlockKey = 0x426B4572;      // "BkEr"
inline constexpr uint64_t kOverwriteKey = 0x4F57;      // "OW", in bits 47:32
}  // namespace ata

}  // namespace plexi
