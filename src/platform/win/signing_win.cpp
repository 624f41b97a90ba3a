// The signing key on Windows: CNG (bcrypt.dll) makes, uses and checks the
// ECDSA P-256 key; the private key blob is protected by DPAPI for the user
// (CryptProtectData) in a file in the program's data folder, the public key
// is PEM text beside it.
#include <windows.h>

#include <bcrypt.h>
#include <dpapi.h>

#include <vector>

#include "platform/signing.h"
#include "platform/win/utf.h"
#include "platform/win/whole_file.h"
#include "platform/win/win_handles.h"
#include "util/base64.h"
#include "util/sha256.h"

namespace plexi::platform {

namespace {

struct AlgorithmTraits {
  using Value = BCRYPT_ALG_HANDLE;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { BCryptCloseAlgorithmProvider(v, 0); }
};
struct KeyTraits {
  using Value = BCRYPT_KEY_HANDLE;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { BCryptDestroyKey(v); }
};
using UniqueAlgorithm = Unique<AlgorithmTraits>;
using UniqueKey = Unique<KeyTraits>;

constexpr ULONG kCoordinateSize = 32;
constexpr wchar_t kProtectionName[] = L"Plexiscrub report signing key";

bool Succeeded(NTSTATUS status) { return status >= 0; }

// Plain key bytes are wiped when they go.
struct SecretBytes {
  std::string bytes;
  ~SecretBytes() { SecureZeroMemory(bytes.data(), bytes.size()); }
};

// BCryptOpenAlgorithmProvider function (bcrypt.h)
UniqueAlgorithm OpenEcdsaP256() {
  UniqueAlgorithm algorithm;
  if (!Succeeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) return {};
  return algorithm;
}

// BCryptExportKey function (bcrypt.h): asked first for the size.
std::string ExportBlob(BCRYPT_KEY_HANDLE key, const wchar_t* type) {
  ULONG size = 0;
  if (!Succeeded(BCryptExportKey(key, nullptr, type, nullptr, 0, &size, 0))) return {};
  std::string blob(size, '\0');
  if (!Succeeded(BCryptExportKey(key, nullptr, type, reinterpret_cast<PUCHAR>(blob.data()), size, &size, 0)))
    return {};
  blob.resize(size);
  return blob;
}

// BCryptImportKeyPair function (bcrypt.h)
UniqueKey ImportBlob(BCRYPT_ALG_HANDLE algorithm, const wchar_t* type, const std::string& blob) {
  UniqueKey key;
  if (!Succeeded(BCryptImportKeyPair(algorithm, nullptr, type, key.put(),
                                     reinterpret_cast<PUCHAR>(const_cast<char*>(blob.data())), ULONG(blob.size()), 0)))
    return {};
  return key;
}

// BCRYPT_ECCKEY_BLOB structure (bcrypt.h): the header, then X and Y (and d
// for a private key), big-endian, cbKey bytes each.
std::string PublicKeyInfoOf(const std::string& public_blob) {
  if (public_blob.size() != sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateSize) return {};
  BCRYPT_ECCKEY_BLOB header;
  memcpy(&header, public_blob.data(), sizeof header);
  if (header.dwMagic != BCRYPT_ECDSA_PUBLIC_P256_MAGIC || header.cbKey != kCoordinateSize) return {};
  return P256PublicKeyInfo(std::string_view(public_blob).substr(sizeof header));
}

std::string PublicBlobOf(std::string_view x_y) {
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateSize};
  return std::string(reinterpret_cast<const char*>(&header), sizeof header) + std::string(x_y);
}

// CryptProtectData function (dpapi.h) / CryptUnprotectData function
// (dpapi.h): for the user who runs the program, never with a prompt.
// Windows encrypts the blob with the user's logon credentials; Wine's
// stand-in keeps the bytes readable behind a header, so under Wine the
// file's mode is all that guards it.
std::optional<std::string> Protected(const std::string& bytes, bool protect) {
  DATA_BLOB in{DWORD(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
  DATA_BLOB out{};
  const BOOL done = protect ? CryptProtectData(&in, kProtectionName, nullptr, nullptr, nullptr,
                                               CRYPTPROTECT_UI_FORBIDDEN, &out)
                            : CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                                                 &out);
  if (!done) return std::nullopt;
  win::UniqueLocalMemory owner(out.pbData);
  std::string result(reinterpret_cast<const char*>(out.pbData), out.cbData);
  SecureZeroMemory(out.pbData, out.cbData);
  return result;
}

// ReadFile function (fileapi.h)
Result<std::string> ReadWholeFile(const std::string& path) {
  win::UniqueFile file(CreateFileW(win::Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Result<std::string>::Failure(GetLastError());
  std::string bytes;
  char buffer[4096];
  // The count is set to 0 before any work, so a failed read must be told
  // by the call's own answer, not by the count.
  DWORD done = 0;
  BOOL read = FALSE;
  while ((read = ReadFile(file.get(), buffer, sizeof buffer, &done, nullptr)) && done > 0) bytes.append(buffer, done);
  if (!read) return Result<std::string>::Failure(GetLastError());
  return bytes;
}

// Writes `bytes` as a whole new file; in place of one only when `replace`.
Result<> WriteKeyFile(const std::string& path, const std::string& bytes, bool replace) {
  const std::wstring wide = win::Utf8ToWide(path);
  return win::WriteWholeFile(wide, bytes, replace ? CREATE_ALWAYS : CREATE_NEW);
}

class CngSigningKeys : public SigningKeyFiles {
 public:
  explicit CngSigningKeys(std::string folder) : SigningKeyFiles(std::move(folder), '\\') {}

  Result<std::string> PublicKey() override {
    return PublicKeyBesidePrivate(PublicKeyOfFile(ReadWholeFile(PublicKeyPath())), PrivateKeyExists());
  }

  Result<std::string> Create(bool replace) override {
    using Outcome = Result<std::string>;
    if (!replace && PrivateKeyExists()) return Outcome::Failure(ERROR_FILE_EXISTS);
    CreateDirectoryW(win::Utf8ToWide(folder()).c_str(), nullptr);
    UniqueAlgorithm algorithm = OpenEcdsaP256();
    UniqueKey key;
    // BCryptGenerateKeyPair function (bcrypt.h), then BCryptFinalizeKeyPair
    // function (bcrypt.h): the key is usable only once finalized.
    if (!algorithm || !Succeeded(BCryptGenerateKeyPair(algorithm.get(), key.put(), 256, 0)) ||
        !Succeeded(BCryptFinalizeKeyPair(key.get(), 0)))
      return Outcome::Failure(ERROR_GEN_FAILURE);
    SecretBytes plain{ExportBlob(key.get(), BCRYPT_ECCPRIVATE_BLOB)};
    const std::string info = PublicKeyInfoOf(ExportBlob(key.get(), BCRYPT_ECCPUBLIC_BLOB));
    std::optional<std::string> sealed = plain.bytes.empty() ? std::nullopt : Protected(plain.bytes, true);
    // BCrypt calls answer with an NTSTATUS and leave the last error alone.
    if (!sealed || info.empty()) return Outcome::Failure(sealed || plain.bytes.empty() ? ERROR_GEN_FAILURE : GetLastError());
    Result<> written = WriteKeyFile(PrivateKeyPath(), *sealed, replace);
    if (written.ok()) written = WriteKeyFile(PublicKeyPath(), PemText(kPublicKeyPemLabel, info), true);
    if (!written.ok()) return Outcome::Failure(written.error());
    return info;
  }

  bool PrivateKeyExists() const {
    return GetFileAttributesW(win::Utf8ToWide(PrivateKeyPath()).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  Result<std::string> Sign(std::string_view data) override {
    using Outcome = Result<std::string>;
    Result<std::string> sealed = ReadWholeFile(PrivateKeyPath());
    if (!sealed.ok()) return Outcome::Failure(sealed.error());
    std::optional<std::string> opened = Protected(*sealed, false);
    if (!opened) return Outcome::Failure(GetLastError());
    SecretBytes plain{std::move(*opened)};
    UniqueAlgorithm algorithm = OpenEcdsaP256();
    UniqueKey key = algorithm ? ImportBlob(algorithm.get(), BCRYPT_ECCPRIVATE_BLOB, plain.bytes) : UniqueKey();
    if (!key) return Outcome::Failure(ERROR_INVALID_DATA);
    // BCryptSignHash function (bcrypt.h): an ECDSA key takes no padding
    // information and gives r || s, cbKey bytes each.
    Sha256Digest hash = Sha256Of(data);
    std::string r_s(2 * kCoordinateSize, '\0');
    ULONG size = 0;
    if (!Succeeded(BCryptSignHash(key.get(), nullptr, hash.data(), ULONG(hash.size()),
                                  reinterpret_cast<PUCHAR>(r_s.data()), ULONG(r_s.size()), &size, 0)) ||
        size != r_s.size())
      return Outcome::Failure(ERROR_GEN_FAILURE);
    return EcdsaSignatureDer(r_s);
  }

};

}  // namespace

std::unique_ptr<SigningKeys> MakeSigningKeys(const std::string& folder) {
  return std::make_unique<CngSigningKeys>(folder);
}

// BCryptVerifySignature function (bcrypt.h): STATUS_SUCCESS only for a
// signature that matches; r || s as BCryptSignHash gives it.
bool VerifySignature(std::string_view public_key, std::string_view data, std::string_view signature) {
  const std::optional<std::string> point = P256PointOf(public_key);
  std::optional<std::string> r_s = EcdsaSignatureRaw(signature);
  if (!point || !r_s) return false;
  UniqueAlgorithm algorithm = OpenEcdsaP256();
  UniqueKey key = algorithm ? ImportBlob(algorithm.get(), BCRYPT_ECCPUBLIC_BLOB, PublicBlobOf(*point)) : UniqueKey();
  if (!key) return false;
  Sha256Digest hash = Sha256Of(data);
  return BCryptVerifySignature(key.get(), nullptr, hash.data(), ULONG(hash.size()),
                               reinterpret_cast<PUCHAR>(r_s->data()), ULONG(r_s->size()), 0) == 0;
}

}  // namespace plexi::platform
