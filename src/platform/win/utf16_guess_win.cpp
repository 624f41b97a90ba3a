// The system's UTF-16 text test for the sector viewer.
#include <windows.h>

#include <climits>

#include "platform/win/utf.h"

namespace plexi::win {

bool SystemIsTextUnicode(const uint8_t* data, size_t length) {
  if (data == nullptr) return false;
  // The call takes an int length; a sector is far below the limit, and the
  // system only looks at the start anyway.
  const int size = length > size_t(INT_MAX) ? INT_MAX : static_cast<int>(length);
  return ::IsTextUnicode(data, size, nullptr) != FALSE;
}

}  // namespace plexi::win
