// UTF-8 inside the program, UTF-16 at the W calls.
#pragma once
#include <string>
#include <string_view>

namespace plexi::win {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace plexi::win
