#include "erase/purge_panel.h"

#include <string_view>

namespace plexi {
namespace {

// How the capability lines begin the line that says why not.
constexpr std::string_view kUnusablePrefix = "使用できません: ";

void AddLine(std::string& text, const std::string& line) {
  if (!text.empty()) text += '\n';
  text += line;
}

}  // namespace

PurgePanelText PurgePanelOf(const ConfirmRequest& request) {
  PurgePanelText panel;
  for (const std::string& line : request.purge_lines) {
    if (line == erase_text::kPurgeWarning) {
      if (request.purge_offered) panel.warning = line;
    } else if (std::string_view(line).starts_with(kUnusablePrefix)) {
      panel.reason = line.substr(kUnusablePrefix.size());
    } else {
      AddLine(panel.facts, line);
    }
  }
  // The drive could purge, but not this erase (one being resumed).
  if (!request.purge_offered && panel.reason.empty()) panel.reason = erase_text::kPurgeNotOffered;
  if (request.purge_offered) panel.reason.clear();
  return panel;
}

}  // namespace plexi
