// A sector's text as the sector viewer shows it: the encoding and start
// decided from any bytes, and the text handed to the edit control.
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_support.h"
#include "viewer/sector_text.h"

using namespace plexi;

namespace {

bool SaysUnicode(const uint8_t*, size_t) { return true; }
bool SaysAnsi(const uint8_t*, size_t) { return false; }

void CheckViewText(const std::string& text) {
  FUZZ_CHECK(fuzz::IsValidUtf8(text));
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    FUZZ_CHECK(c != 0 && c != 0x7F);
    // Only CR LF pairs and tabs among the control characters.
    if (c == '\r') FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == '\n');
    if (c == '\n') FUZZ_CHECK(i > 0 && text[i - 1] == '\r');
    if (c < 0x20) FUZZ_CHECK(c == '\r' || c == '\n' || c == '\t');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> sector(data, size);
  for (TextUnicodeTest test : {&SaysUnicode, &SaysAnsi, &PortableIsTextUnicode}) {
    const SectorTextChoice choice = DecideSectorText(sector, test);
    FUZZ_CHECK(choice.offset <= 2);
    if (choice.encoding == TextEncoding::kAnsi) FUZZ_CHECK(choice.offset == 0);
    CheckViewText(SectorTextForView(sector, choice));
  }
  if (size > 0) FUZZ_CHECK(TextStartOffset(sector) <= 1);
  FUZZ_CHECK(fuzz::IsValidUtf8(Utf16LeToUtf8(sector)));
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string valid = ValidUtf8(text);
  FUZZ_CHECK(fuzz::IsValidUtf8(valid));
  if (fuzz::IsValidUtf8(text)) FUZZ_CHECK(valid == text);
  return 0;
}
