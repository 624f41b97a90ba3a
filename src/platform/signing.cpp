#include "platform/signing.h"

#include "platform/winconst.h"
#include "util/base64.h"
#include "util/sha256.h"

namespace plexi::platform {

namespace {

// SEQUENCE { SEQUENCE { id-ecPublicKey, prime256v1 }, BIT STRING { 0x04 x y } }:
// the fixed head of every P-256 key's SubjectPublicKeyInfo (RFC 5480).
constexpr char kP256InfoHead[] =
    "\x30\x59\x30\x13\x06\x07\x2a\x86\x48\xce\x3d\x02\x01\x06\x08\x2a\x86\x48\xce\x3d\x03\x01\x07\x03\x42\x00\x04";
constexpr size_t kP256InfoHeadSize = sizeof kP256InfoHead - 1;
constexpr size_t kCoordinateSize = 32;

// One INTEGER of DER: the big-endian magnitude without leading zeros, and
// one zero byte in front when its top bit is set (it is not negative).
std::string DerInteger(std::string_view magnitude) {
  size_t first = 0;
  while (first + 1 < magnitude.size() && magnitude[first] == 0) ++first;
  std::string value(magnitude.substr(first));
  if (!value.empty() && (uint8_t(value[0]) & 0x80)) value.insert(value.begin(), '\0');
  return std::string{'\x02', char(value.size())} + value;
}

// Reads an INTEGER at `at` into a 32-byte big-endian field; moves `at` past it.
bool ReadDerInteger(std::string_view der, size_t& at, std::string& field) {
  if (at + 2 > der.size() || der[at] != 0x02) return false;
  const size_t length = uint8_t(der[at + 1]);
  at += 2;
  if (length == 0 || length > kCoordinateSize + 1 || at + length > der.size()) return false;
  std::string_view value = der.substr(at, length);
  if (uint8_t(value[0]) & 0x80) return false;                           // negative
  if (length > 1 && value[0] == 0 && !(uint8_t(value[1]) & 0x80)) return false;  // not minimal
  // 33 bytes only for a value of 32 whose top bit needs the zero before it:
  // any other first byte is a number beyond the field, which CNG's r || s
  // cannot hold and OpenSSL refuses.
  if (value.size() == kCoordinateSize + 1 && value[0] != 0) return false;
  if (value.size() == kCoordinateSize + 1) value.remove_prefix(1);
  at += length;
  field = std::string(kCoordinateSize - value.size(), '\0') + std::string(value);
  return true;
}

}  // namespace

std::string P256PublicKeyInfo(std::string_view x_y) {
  if (x_y.size() != 2 * kCoordinateSize) return {};
  return std::string(kP256InfoHead, kP256InfoHeadSize) + std::string(x_y);
}

std::optional<std::string> P256PointOf(std::string_view public_key) {
  if (public_key.size() != kP256InfoHeadSize + 2 * kCoordinateSize ||
      public_key.substr(0, kP256InfoHeadSize) != std::string_view(kP256InfoHead, kP256InfoHeadSize))
    return std::nullopt;
  return std::string(public_key.substr(kP256InfoHeadSize));
}

std::string EcdsaSignatureDer(std::string_view r_s) {
  if (r_s.size() != 2 * kCoordinateSize) return {};
  const std::string body = DerInteger(r_s.substr(0, kCoordinateSize)) + DerInteger(r_s.substr(kCoordinateSize));
  return std::string{'\x30', char(body.size())} + body;
}

std::optional<std::string> EcdsaSignatureRaw(std::string_view der) {
  if (der.size() < 2 || der[0] != 0x30 || size_t(uint8_t(der[1])) != der.size() - 2) return std::nullopt;
  size_t at = 2;
  std::string r, s;
  if (!ReadDerInteger(der, at, r) || !ReadDerInteger(der, at, s) || at != der.size()) return std::nullopt;
  return r + s;
}

SigningKeyFiles::SigningKeyFiles(std::string folder, char separator) : folder_(std::move(folder)) {
  if (!folder_.empty() && folder_.back() != '/' && folder_.back() != '\\') folder_ += separator;
}

Result<std::string> PublicKeyOfFile(const Result<std::string>& text) {
  if (!text.ok() && (text.error() == winconst::kErrorFileNotFound || text.error() == winconst::kErrorPathNotFound))
    return std::string();
  if (!text.ok()) return text;
  std::optional<std::string> info = PemBytes(*text, kPublicKeyPemLabel);
  if (!info || !P256PointOf(*info)) return Result<std::string>::Failure(winconst::kErrorInvalidData);
  return *info;
}

Result<std::string> PublicKeyBesidePrivate(const Result<std::string>& public_key, bool private_key_exists) {
  if (public_key.ok() && public_key->empty() && private_key_exists)
    return Result<std::string>::Failure(winconst::kErrorFileNotFound);
  return public_key;
}

std::string KeyFingerprint(std::string_view public_key) { return "SHA256:" + Sha256Hex(Sha256Of(public_key)); }

}  // namespace plexi::platform
