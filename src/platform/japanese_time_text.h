// The Japanese system's defaults for dates and times (short date
// yyyy/MM/dd, long time H:mm:ss), for machines that have no user format
// of their own to ask: Linux, the simulated machine, a replayed probe.
#pragma once
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace plexi::platform {

inline std::string JapaneseDateText(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d", t.year, t.month, t.day);
  return text;
}

inline std::string JapaneseTimeText(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

}  // namespace plexi::platform
