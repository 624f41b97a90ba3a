// The signing key on Linux: OpenSSL's libcrypto (the EVP interface) makes,
// uses and checks the key; the private key is a PKCS #8 PEM file of mode
// 0600, created so (O_EXCL), in a folder of mode 0700.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cerrno>
#include <filesystem>

#include "platform/new_file.h"
#include "platform/posix/posix_device.h"
#include "platform/signing.h"
#include "platform/winconst.h"
#include "util/base64.h"

namespace plexi::platform {

namespace {

struct PkeyTraits {
  using Value = EVP_PKEY*;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { EVP_PKEY_free(v); }
};
struct MdContextTraits {
  using Value = EVP_MD_CTX*;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { EVP_MD_CTX_free(v); }
};
struct BioTraits {
  using Value = BIO*;
  static Value Invalid() { return nullptr; }
  static void Close(Value v) { BIO_free(v); }
};
using UniquePkey = Unique<PkeyTraits>;
using UniqueMdContext = Unique<MdContextTraits>;
using UniqueBio = Unique<BioTraits>;

uint32_t LastError() { return posix::WindowsErrorFromErrno(errno, posix::IoKind::kOther); }

// A key file under a passphrase is not ours: without this, OpenSSL would
// ask for the passphrase on the terminal while a report is being filed
// (pem_password_cb: -1 is an error).
int NoPassphrase(char*, int, int, void*) { return -1; }

bool IsP256(EVP_PKEY* key) {
  char group[32] = {};
  size_t length = 0;
  return EVP_PKEY_is_a(key, "EC") && EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1 &&
         std::string(group) == "prime256v1";
}

std::string PublicKeyInfoOf(EVP_PKEY* key) {
  unsigned char* der = nullptr;
  const int length = i2d_PUBKEY(key, &der);
  if (length <= 0) return {};
  std::string info(reinterpret_cast<const char*>(der), size_t(length));
  OPENSSL_free(der);
  return info;
}

Result<std::string> ReadWholeFile(const std::string& path) {
  posix::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) return Result<std::string>::Failure(LastError());
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Result<std::string>::Failure(LastError());
    if (n == 0) return bytes;
    bytes.append(buffer, size_t(n));
  }
}

// The folder made (mode 0700) when missing, and kept to its owner when not.
uint32_t MakeOwnerFolder(const std::string& folder) {
  std::error_code ec;
  const std::filesystem::path path(folder);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return LastError();
  return ::chmod(folder.c_str(), 0700) == 0 ? 0 : LastError();
}

// Writes `bytes` as a new file of mode 0600 under a temporary name, then
// gives it `path`: in place of an existing key only when `replace`.
uint32_t WriteOwnerFile(const std::string& path, const std::string& bytes, bool replace) {
  const std::string temporary = TemporaryNameBeside(path);
  posix::UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!file) return LastError();
  const bool written = ::write(file.get(), bytes.data(), bytes.size()) == ssize_t(bytes.size()) &&
                       ::fsync(file.get()) == 0;
  uint32_t error = written ? 0 : LastError();
  file.reset();
  if (error == 0 && replace && ::rename(temporary.c_str(), path.c_str()) != 0) error = LastError();
  if (error == 0 && !replace && ::link(temporary.c_str(), path.c_str()) != 0) error = LastError();
  if (error != 0 || !replace) ::unlink(temporary.c_str());
  return error;
}

std::string PrivateKeyPem(EVP_PKEY* key) {
  UniqueBio memory(BIO_new(BIO_s_mem()));
  if (!memory || PEM_write_bio_PrivateKey(memory.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) return {};
  char* data = nullptr;
  const long length = BIO_get_mem_data(memory.get(), &data);
  return length > 0 ? std::string(data, size_t(length)) : std::string();
}

class OpenSslSigningKeys : public SigningKeyFiles {
 public:
  explicit OpenSslSigningKeys(std::string folder) : SigningKeyFiles(std::move(folder), '/') {}

  Result<std::string> PublicKey() override {
    return PublicKeyBesidePrivate(PublicKeyOfFile(ReadWholeFile(PublicKeyPath())),
                                  ::access(PrivateKeyPath().c_str(), F_OK) == 0);
  }

  Result<std::string> Create(bool replace) override {
    using Outcome = Result<std::string>;
    if (!replace && ::access(PrivateKeyPath().c_str(), F_OK) == 0) return Outcome::Failure(winconst::kErrorFileExists);
    if (uint32_t error = MakeOwnerFolder(folder())) return Outcome::Failure(error);
    UniquePkey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    const std::string private_pem = key ? PrivateKeyPem(key.get()) : std::string();
    const std::string info = key ? PublicKeyInfoOf(key.get()) : std::string();
    if (private_pem.empty() || info.empty()) return Outcome::Failure(winconst::kErrorGenFailure);
    if (uint32_t error = WriteOwnerFile(PrivateKeyPath(), private_pem, replace)) return Outcome::Failure(error);
    // The public key is for everyone: mode 0644 as umask allows.
    const std::string temporary = TemporaryNameBeside(PublicKeyPath());
    Result<> written = CreateNewFile(temporary, PemText(kPublicKeyPemLabel, info));
    if (written.ok() && ::rename(temporary.c_str(), PublicKeyPath().c_str()) != 0) {
      written = Result<>::Failure(LastError());
      ::unlink(temporary.c_str());
    }
    if (!written.ok()) return Outcome::Failure(written.error());
    return info;
  }

  Result<std::string> Sign(std::string_view data) override {
    using Outcome = Result<std::string>;
    Result<std::string> pem = ReadWholeFile(PrivateKeyPath());
    if (!pem.ok()) return Outcome::Failure(pem.error());
    UniqueBio source(BIO_new_mem_buf(pem->data(), int(pem->size())));
    UniquePkey key(source ? PEM_read_bio_PrivateKey(source.get(), nullptr, NoPassphrase, nullptr) : nullptr);
    if (!key || !IsP256(key.get())) return Outcome::Failure(winconst::kErrorInvalidData);
    UniqueMdContext context(EVP_MD_CTX_new());
    size_t length = 0;
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length, nullptr, 0) != 1)
      return Outcome::Failure(winconst::kErrorGenFailure);
    std::string signature(length, '\0');
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1)
      return Outcome::Failure(winconst::kErrorGenFailure);
    signature.resize(length);
    return signature;
  }

};

}  // namespace

std::unique_ptr<SigningKeys> MakeSigningKeys(const std::string& folder) {
  return std::make_unique<OpenSslSigningKeys>(folder);
}

bool VerifySignature(std::string_view public_key, std::string_view data, std::string_view signature) {
  // Only the one encoding Windows reads too (uncompressed point, nothing
  // after it), so that a report checks the same on both systems and its
  // fingerprint is over exactly the key.
  if (!P256PointOf(public_key)) return false;
  const unsigned char* der = reinterpret_cast<const unsigned char*>(public_key.data());
  UniquePkey key(d2i_PUBKEY(nullptr, &der, long(public_key.size())));
  if (!key || !IsP256(key.get())) return false;
  UniqueMdContext context(EVP_MD_CTX_new());
  return context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
         EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                          reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
}

}  // namespace plexi::platform
