#include "util/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace plexi {
namespace {

// The test vectors of FIPS 180-2, appendix B.
constexpr char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kTwoBlock[] = "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";
constexpr char kTwoBlockMessage[] = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
constexpr char kMillionA[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

TEST(Sha256Test, StandardVectors) {
  EXPECT_EQ(Sha256Hex(Sha256Of("abc")), kAbc);
  EXPECT_EQ(Sha256Hex(Sha256Of("")), kEmpty);
  EXPECT_EQ(Sha256Hex(Sha256Of(kTwoBlockMessage)), kTwoBlock);
  EXPECT_EQ(Sha256Hex(Sha256Of(std::string(1000000, 'a'))), kMillionA);
}

TEST(Sha256Test, PiecesOfAnySizeGiveTheSameDigest) {
  // Pieces that straddle the 64-byte blocks and the 56-byte padding edge.
  const std::string million(1000000, 'a');
  for (size_t piece : {1u, 55u, 56u, 63u, 64u, 65u, 4096u, 8191u}) {
    Sha256 sha;
    for (size_t at = 0; at < million.size(); at += piece) {
      const size_t n = std::min(piece, million.size() - at);
      sha.Update(million.data() + at, n);
    }
    EXPECT_EQ(Sha256Hex(sha.Final()), kMillionA) << piece;
  }
  // Messages whose padding needs a second block, around the edge.
  for (size_t n : {55u, 56u, 57u, 63u, 64u, 119u, 120u}) {
    const std::string message(n, 'x');
    Sha256 sha;
    sha.Update(message.data(), 3);
    sha.Update(message.data() + 3, n - 3);
    EXPECT_EQ(sha.Final(), Sha256Of(message)) << n;
  }
}

TEST(Sha256Test, HexDigestsAreReadExactly) {
  const auto digest = ParseSha256Hex(std::string(kAbc));
  ASSERT_TRUE(digest);
  EXPECT_EQ(*digest, Sha256Of("abc"));
  std::string upper(kAbc);
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(ParseSha256Hex(upper), digest);

  EXPECT_FALSE(ParseSha256Hex(std::string(kAbc).substr(0, 63)));
  EXPECT_FALSE(ParseSha256Hex(std::string(kAbc) + "0"));
  std::string bad(kAbc);
  bad[10] = 'g';
  EXPECT_FALSE(ParseSha256Hex(bad));
  EXPECT_FALSE(ParseSha256Hex(""));
}

}  // namespace
}  // namespace plexi
