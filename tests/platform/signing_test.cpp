// The report signing key on this system's cryptography: where and how the
// key is kept, and the encodings CNG and openssl differ in.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <set>

#include "platform/signing.h"
#include "platform/winconst.h"
#include "support/test_support.h"
#include "util/base64.h"

namespace plexi {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat s {};
  return ::stat(path.c_str(), &s) == 0 ? s.st_mode & 0777 : 0;
}

TEST(SigningKeys, OnlyTheOperatorReadsThePrivateKeyAndNoneIsReplacedUnasked) {
  test::TempDir dir;
  const std::string folder = dir.file("config/plexiscrub");
  std::unique_ptr<platform::SigningKeys> keys = platform::MakeSigningKeys(folder);
  platform::Result<std::string> none = keys->PublicKey();
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(none->empty());
  EXPECT_FALSE(keys->Sign("facts").ok());

  platform::Result<std::string> made = keys->Create(false);
  ASSERT_TRUE(made.ok()) << made.error();
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(ModeOf(folder + "/" + platform::kPrivateKeyFileName), 0600u);
  EXPECT_EQ(keys->PublicKeyPath(), folder + "/" + platform::kPublicKeyFileName);
  EXPECT_EQ(*keys->PublicKey(), *made);

  platform::Result<std::string> again = keys->Create(false);
  EXPECT_EQ(again.error(), winconst::kErrorFileExists);
  EXPECT_EQ(*keys->PublicKey(), *made);
  platform::Result<std::string> signature = keys->Sign("facts");
  ASSERT_TRUE(signature.ok());
  EXPECT_TRUE(platform::VerifySignature(*made, "facts", *signature));
  EXPECT_FALSE(platform::VerifySignature(*made, "fact", *signature));

  platform::Result<std::string> replaced = keys->Create(true);
  ASSERT_TRUE(replaced.ok());
  EXPECT_NE(*replaced, *made);
  EXPECT_EQ(ModeOf(folder + "/" + platform::kPrivateKeyFileName), 0600u);
  EXPECT_FALSE(platform::VerifySignature(*replaced, "facts", *signature));
  EXPECT_TRUE(platform::VerifySignature(*replaced, "facts", *keys->Sign("facts")));
}

// CNG gives and takes r || s; openssl and the file hold DER. Every
// signature openssl makes must survive the way through r || s unchanged,
// those whose r or s needs a zero byte in front (top bit set) included;
// a leading zero byte of r or s (one in 256) is the vector below.
TEST(SigningKeys, SignaturesAndKeysConvertBetweenDerAndTheRawFormsExactly) {
  test::TempDir dir;
  std::unique_ptr<platform::SigningKeys> keys = platform::MakeSigningKeys(dir.file("k"));
  const std::string key = *keys->Create(false);
  const std::optional<std::string> point = platform::P256PointOf(key);
  ASSERT_TRUE(point);
  EXPECT_EQ(platform::P256PublicKeyInfo(*point), key);
  std::set<size_t> lengths;
  for (int k = 0; k < 400; ++k) {
    const std::string der = *keys->Sign(std::to_string(k));
    const std::optional<std::string> raw = platform::EcdsaSignatureRaw(der);
    ASSERT_TRUE(raw && raw->size() == 64) << k;
    EXPECT_EQ(platform::EcdsaSignatureDer(*raw), der) << k;
    lengths.insert(der.size());
  }
  EXPECT_TRUE(lengths.count(70) && lengths.count(71) && lengths.count(72));
  // r = 0x80 00.. (needs a zero byte in front), s = 0x00 7f ff.. (one byte shorter).
  std::string r_s = std::string(1, '\x80') + std::string(31, '\0') + std::string(1, '\0') + std::string(31, '\x7f');
  const std::string der = platform::EcdsaSignatureDer(r_s);
  EXPECT_EQ(der.substr(0, 5), std::string("\x30\x44\x02\x21\x00", 5));
  EXPECT_EQ(der.substr(37, 2), std::string("\x02\x1f", 2));
  EXPECT_EQ(platform::EcdsaSignatureRaw(der), r_s);
  // Not minimal, negative, trailing bytes, a key of another curve.
  EXPECT_FALSE(platform::EcdsaSignatureRaw(std::string("\x30\x06\x02\x01\x80\x02\x01\x01", 8)));
  EXPECT_FALSE(platform::EcdsaSignatureRaw(std::string("\x30\x07\x02\x02\x00\x01\x02\x01\x01", 9)));
  EXPECT_FALSE(platform::EcdsaSignatureRaw(der + "x"));
  // r + 2^256: 33 bytes whose first is not the zero a top bit needs. Read
  // as r, it would check on Windows and not with OpenSSL.
  std::string beyond = der;
  beyond[4] = '\x01';
  EXPECT_FALSE(platform::EcdsaSignatureRaw(beyond));
  std::string other_curve = key;
  other_curve[20] ^= 1;
  EXPECT_FALSE(platform::P256PointOf(other_curve));
  EXPECT_FALSE(platform::VerifySignature(other_curve, "0", *keys->Sign("0")));
}

TEST(Base64, EncodesAndRefusesWhatIsNotPaddedBase64) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}};
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(Base64Encode(bytes), text);
    EXPECT_EQ(Base64Decode(text), std::string(bytes));
  }
  for (const char* bad : {"Zg=", "Zh==", "Z===", "Zm9v\n", "Zg==Zg==", "Zm 9"}) EXPECT_FALSE(Base64Decode(bad)) << bad;
  const std::string pem = PemText("PUBLIC KEY", std::string(100, '\xA5'));
  EXPECT_EQ(PemBytes("junk\r\n" + pem, "PUBLIC KEY"), std::string(100, '\xA5'));
  EXPECT_FALSE(PemBytes(pem, "PRIVATE KEY"));
}

}  // namespace
}  // namespace plexi
