// Base64 (RFC 4648, with padding) and the PEM text around it (RFC 7468), for
// the keys and signatures an erase report carries as text.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace plexi {

std::string Base64Encode(std::string_view bytes);
// Nothing when `text` is not padded base64 (no blanks, no line breaks).
std::optional<std::string> Base64Decode(std::string_view text);

// "-----BEGIN <label>-----", the base64 in lines of 64, "-----END <label>-----".
std::string PemText(std::string_view label, std::string_view bytes);
// The bytes of the first PEM block of `label` in `text`; nothing without one.
std::optional<std::string> PemBytes(std::string_view text, std::string_view label);

}  // namespace plexi
