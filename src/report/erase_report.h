// The erase report: what was erased, how, and with what result, for the
// organisation that disposes of the drive. Its facts come from the erase's
// journal (what the workflow saw happen) and from where it ran; the report
// file holds them as JSON, with a SHA-256 digest of their canonical text
// and, once the organisation has a signing key, a signature of that text;
// the same facts make the printable page.
#pragma once
#include <optional>
#include <string>

#include "erase/erase_journal.h"
#include "platform/platform.h"
#include "util/language.h"
#include "plexiscrub_version.h"
#include "report/certificate.h"
#include "report/json.h"

namespace plexi::report {

inline constexpr char kSchemaName[] = "plexiscrub-erase-report";
// Version 2 added the certificate, the signing key the body names
// (`signer_key`, null when unsigned) and the signature; files of version 1
// are read as before, as unsigned.
inline constexpr int kSchemaVersion = 2;
inline constexpr int kOldestSchemaVersion = 1;
inline constexpr char kToolName[] = "Plexiscrub";
inline constexpr char kToolVersion[] = PLEXISCRUB_VERSION_TEXT;

// Who and where, besides the erase itself.
struct ReportContext {
  std::string id;  // a random UUID (NewReportId)
  std::string computer_name;
  std::string operating_system;
  // Who performed and validated the erase, and the drive's source and
  // destination, from the operator settings (the asset number, and a
  // source given for this erase, come with the erase's journal).
  CertificateFacts certificate;
  // Interrupted erases of this drive right before this one, as earlier
  // reports tell; nothing when they do not (a resumed erase without them).
  std::optional<int> interruptions_before;
  // The public key the report is signed with (DER); empty: unsigned.
  std::string signer_public_key;
  // The language of the messages about filing it (the report itself is
  // Japanese): the command-line tool speaks its user's.
  Language language = Language::kJapanese;
};

// A random version 4 UUID in its 36-character form.
std::string NewReportId();

// "2026-12-08T09:30:00" (local time, as the machine's clock gives it).
std::string IsoTime(const platform::LocalTime& t);

// The report's body: every fact, in the form its digest is taken over.
json::Value ReportBody(const EraseJournal& erase, const ReportContext& context);

// The text the digest and the signature are taken over.
std::string CanonicalText(const json::Value& body);

// A signature of a body's canonical text: the signer's public key
// (SubjectPublicKeyInfo DER) and the signature (DER).
struct ReportSignature {
  std::string public_key;
  std::string value;
};

// The body's `signer_key` member for a public key: its algorithm and
// fingerprint, so that the signed facts (and the printed page) name the key.
json::Value SignerKeyOf(const std::string& public_key);

// The whole file: schema, body, digest and signature (null when unsigned),
// one member a line.
std::string ReportFileText(const json::Value& body, const std::optional<ReportSignature>& signature = {});

// SHA-256 of the body's canonical text, lower-case hex.
std::string BodyDigest(const json::Value& body);

// What a report's signature says of it.
enum class SignatureCheck {
  kUnsigned,      // no signature, and the body names no key (every version 1 file)
  kValid,         // signed by the key the body names, over these facts
  kInvalid,       // the signature does not match the facts
  kKeyMismatch,   // the file's key is not the one the body names
  kMissing,       // the body names a key, but the file holds no signature
  kMalformed,     // the signature member cannot be read
};

// A report file as read back.
struct ReadReport {
  json::Value body;
  std::string stored_digest;
  std::string computed_digest;
  SignatureCheck signature = SignatureCheck::kUnsigned;
  std::string signer_public_key;   // the file's key (DER), when there is one
  std::string signer_fingerprint;  // of that key, "SHA256:..."
  std::string named_fingerprint;   // the body's signer_key
  bool DigestMatches() const { return !stored_digest.empty() && stored_digest == computed_digest; }
  // Neither the digest nor a signature shows a change.
  bool Unchanged() const {
    return DigestMatches() && (signature == SignatureCheck::kUnsigned || signature == SignatureCheck::kValid);
  }
  bool Signed() const { return DigestMatches() && signature == SignatureCheck::kValid; }
  // The fingerprint of the key whose signature over the facts checks out;
  // empty for a report that is unsigned, or whose signature does not.
  std::string SignerFingerprint() const { return Signed() ? signer_fingerprint : std::string(); }
};
// Nothing, with the reason in *error, when the text is no report of a
// schema version this program knows.
std::optional<ReadReport> ParseReportFile(const std::string& text, std::string* error);

// Japanese words of the report's codes, shared by the page and the lists.
std::string OutcomeWords(const std::string& outcome, Language language = Language::kJapanese);
std::string MethodWords(int64_t code);
// The report's drive as the lists name it: vendor and product, a blank
// between them where both are there.
std::string DriveNameOf(const json::Value& drive);

}  // namespace plexi::report
