#include "app/erase_guards_win.h"

#include "platform/win/utf.h"

namespace plexi::app {

KeepAwake::KeepAwake() { SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }

KeepAwake::~KeepAwake() { SetThreadExecutionState(ES_CONTINUOUS); }

ShutdownBlockReason::ShutdownBlockReason(HWND window, const std::string& reason)
    : window_(window),
      created_(ShutdownBlockReasonCreate(window, win::Utf8ToWide(reason).c_str()) != FALSE) {}

ShutdownBlockReason::~ShutdownBlockReason() {
  // The window may already be gone; its reason went with it then.
  if (created_ && IsWindow(window_)) ShutdownBlockReasonDestroy(window_);
}

}  // namespace plexi::app
