// The certificate of sanitization an erase report carries: besides the
// erase's own facts, what an organisation records of each drive it
// sanitizes (NIST SP 800-88 Rev. 2, section 4.6): the drive's asset number
// and source, its media type, the method and technique, the tool, how the
// result was verified, who performed and who validated the erase, and
// where the drive goes next.
#pragma once
#include <string>

#include "erase/erase_journal.h"
#include "platform/platform.h"
#include "report/json.h"

namespace plexi::report {

inline constexpr char kStandardName[] = "NIST SP 800-88 Rev. 2";

// A person who signs the certificate.
struct Person {
  std::string name, title, organisation, location, contact;
};

// What stays the same between erases, kept in the operator settings; the
// asset number and (when given) the source come with each erase.
struct CertificateFacts {
  std::string media_source;       // the default where an erase names none
  std::string media_destination;  // a destination's code, or empty: not stated
  Person performer, validator;
};

// Where a drive goes after sanitization.
struct Destination {
  const char* code;
  const char* words;
};
inline constexpr Destination kDestinations[] = {
    {"reuse", "再利用"}, {"recycling", "リサイクル"}, {"destruction", "破壊"}, {"return", "返却"}};
bool IsDestinationCode(const std::string& code);
// The Japanese words of a destination's code; "—" for none, the code
// itself for one this program does not know.
std::string DestinationWords(const std::string& code);

// The settings values of the certificate. "operator" and "organisation"
// are those older copies kept.
namespace setting {
inline constexpr char kPerformerName[] = "operator";
inline constexpr char kOrganisation[] = "organisation";
inline constexpr char kPerformerTitle[] = "operator_title";
inline constexpr char kPerformerLocation[] = "operator_location";
inline constexpr char kPerformerContact[] = "operator_contact";
inline constexpr char kValidatorName[] = "validator";
inline constexpr char kValidatorTitle[] = "validator_title";
inline constexpr char kValidatorOrganisation[] = "validator_organisation";
inline constexpr char kValidatorLocation[] = "validator_location";
inline constexpr char kValidatorContact[] = "validator_contact";
inline constexpr char kMediaSource[] = "media_source";
inline constexpr char kMediaDestination[] = "media_destination";
// 1: the program asks for the asset number and source before each erase.
inline constexpr char kAskAsset[] = "ask_asset";
}  // namespace setting

CertificateFacts ReadCertificateSettings(platform::Settings& settings);
// Stops at the first value that cannot be stored and returns its error.
platform::Result<> StoreCertificateSettings(platform::Settings& settings, const CertificateFacts& facts);

// The drive's media type as the standard's media tables name it
// ("ATA SSD", "NVMe SSD", "USB removable media"...).
std::string MediaTypeOf(const EraseJournal& erase);

// The report's "certificate" member, made from the rest of its `body`,
// whose method, tool and verification it restates in the certificate's
// words.
json::Value CertificateOf(const EraseJournal& erase, const CertificateFacts& facts, const json::Value& body);

}  // namespace plexi::report
