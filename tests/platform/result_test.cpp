// The result of a system call: a value or a Windows error code, never both.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/result.h"

namespace plexi::platform {
namespace {

TEST(ResultTest, SuccessCarriesItsValue) {
  Result<std::string> r(std::string("sector"));
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.error(), 0u);
  EXPECT_EQ(*r, "sector");
  EXPECT_EQ(r->size(), 6u);
  Result<std::unique_ptr<int>> owned(std::make_unique<int>(7));
  std::unique_ptr<int> taken = std::move(owned).value();
  EXPECT_EQ(*taken, 7);
}

TEST(ResultTest, AFailureHoldsItsCodeAndTheDefaultValue) {
  const Result<uint32_t> r = Result<uint32_t>::Failure(29);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.error(), 29u);
  EXPECT_EQ(r.value(), 0u);
  EXPECT_EQ(Result<std::unique_ptr<int>>::Failure(5).value(), nullptr);
}

TEST(ResultTest, CallsWithoutAValue) {
  EXPECT_TRUE(Result<>::Success().ok());
  EXPECT_TRUE(Result<>::FromCode(0).ok());
  const Result<> refused = Result<>::FromCode(5);
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), 5u);
  // A failure is a failure even when the system gave no code for it.
  const Result<> no_code = Result<>::Failure(0);
  EXPECT_FALSE(no_code.ok());
  EXPECT_EQ(no_code.error(), 0u);
  EXPECT_FALSE(Result<int>::Failure(0).ok());
}

}  // namespace
}  // namespace plexi::platform
