// The organisation's signing key, which signs every erase report, and the
// check of such a signature.
//
// ECDSA over the P-256 curve with SHA-256, on every system: Windows' own
// cryptography (CNG, BCRYPT_ECDSA_P256_ALGORITHM) offers no Ed25519
// signatures, and a report signed on one system must verify on the other
// and with the openssl command line. Public keys travel as
// SubjectPublicKeyInfo DER (RFC 5480), signatures as the DER
// ECDSA-Sig-Value (RFC 3279) that `openssl dgst -verify` takes.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace plexi::platform {

inline constexpr char kSignatureAlgorithm[] = "ECDSA-P256-SHA256";
inline constexpr char kPrivateKeyFileName[] = "signing-key.private";
inline constexpr char kPublicKeyFileName[] = "signing-key.public.pem";
inline constexpr char kPublicKeyPemLabel[] = "PUBLIC KEY";

// The key pair kept in one folder: the private key readable by the operator
// alone (Linux: a file of mode 0600 in a folder of mode 0700; Windows: the
// key protected by DPAPI for the user), the public key beside it as PEM.
class SigningKeys {
 public:
  virtual ~SigningKeys() = default;
  // The public key (SubjectPublicKeyInfo DER); empty when none was made.
  virtual Result<std::string> PublicKey() = 0;
  // Makes a new key pair and returns its public key. A key that exists is
  // kept (ERROR_FILE_EXISTS) unless `replace`.
  virtual Result<std::string> Create(bool replace) = 0;
  // The DER signature of `data` by the private key (SHA-256 of the bytes).
  virtual Result<std::string> Sign(std::string_view data) = 0;
  virtual std::string PublicKeyPath() const = 0;
};

// Where one folder keeps the two files, for the systems' key stores.
class SigningKeyFiles : public SigningKeys {
 public:
  // `separator` ends a folder given without one.
  SigningKeyFiles(std::string folder, char separator);
  std::string PublicKeyPath() const override { return folder_ + kPublicKeyFileName; }

 protected:
  std::string PrivateKeyPath() const { return folder_ + kPrivateKeyFileName; }
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
};

// The keys kept in `folder`, on this system's cryptography.
std::unique_ptr<SigningKeys> MakeSigningKeys(const std::string& folder);

// Whether `signature` (DER) signs `data` by `public_key` (SubjectPublicKeyInfo
// DER of a P-256 key); false for anything malformed.
bool VerifySignature(std::string_view public_key, std::string_view data, std::string_view signature);

// --- Encodings the systems differ in (DER only, no arithmetic) ---

// A P-256 public key's SubjectPublicKeyInfo DER from its point's x and y
// (32 bytes each), and back; nothing for another key or a malformed one.
std::string P256PublicKeyInfo(std::string_view x_y);
std::optional<std::string> P256PointOf(std::string_view public_key);
// A signature as r || s (32 bytes each, as CNG gives it) and as DER.
std::string EcdsaSignatureDer(std::string_view r_s);
std::optional<std::string> EcdsaSignatureRaw(std::string_view der);

// The public key of a PEM file as read: none when the file (or its folder)
// is missing, ERROR_INVALID_DATA when it holds no P-256 key.
Result<std::string> PublicKeyOfFile(const Result<std::string>& text);

// The public key as read, but a failure (ERROR_FILE_NOT_FOUND) where its
// file is missing beside a private key: reports must not go unsigned
// without a word because one of the pair was lost.
Result<std::string> PublicKeyBesidePrivate(const Result<std::string>& public_key, bool private_key_exists);

// "SHA256:" and the lower-case hex SHA-256 of a public key's DER.
std::string KeyFingerprint(std::string_view public_key);

}  // namespace plexi::platform
