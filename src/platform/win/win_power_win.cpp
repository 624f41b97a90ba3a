#include "platform/win/win_power.h"

#include <windows.h>
#include <powrprof.h>

#include "platform/win/utf.h"
#include "platform/win/win_handles.h"

namespace plexi::win {

namespace {

// A failing call that leaves no last error still must not read as success.
uint32_t LastErrorOr(uint32_t fallback) {
  DWORD error = GetLastError();
  return error != 0 ? error : fallback;
}

}  // namespace

platform::Result<> WinPower::ExitWindowsEx(uint32_t flags, uint32_t reason) {
  if (::ExitWindowsEx(flags, reason)) return platform::Result<>::Success();
  return platform::Result<>::Failure(LastErrorOr(ERROR_GEN_FAILURE));
}

platform::Result<> WinPower::SetSystemPowerState(bool suspend, bool force) {
  const BOOLEAN hibernate = suspend ? FALSE : TRUE;
  if (SetSuspendState(hibernate, force ? TRUE : FALSE, FALSE)) return platform::Result<>::Success();
  const uint32_t error = LastErrorOr(ERROR_GEN_FAILURE);
  // Asked only after the call failed: a machine that reports the state as
  // unavailable may still manage it, and then nothing should stop it.
  const bool allowed = suspend ? IsPwrSuspendAllowed() : IsPwrHibernateAllowed();
  return platform::Result<>::Failure(allowed ? error : ERROR_NOT_SUPPORTED);
}

platform::PrivilegeResult WinPower::AdjustPrivilege(const std::string& name, uint32_t attributes) {
  using Step = platform::PrivilegeResult::Step;
  UniqueKernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put()))
    return {Step::kOpenToken, LastErrorOr(ERROR_GEN_FAILURE)};

  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = attributes;
  if (!LookupPrivilegeValueW(nullptr, Utf8ToWide(name).c_str(), &privileges.Privileges[0].Luid))
    return {Step::kLookup, LastErrorOr(ERROR_GEN_FAILURE)};

  // The call succeeds even when the token lacks the privilege; only the last
  // error (ERROR_NOT_ALL_ASSIGNED) tells. Read it before anything else runs.
  SetLastError(ERROR_SUCCESS);
  BOOL adjusted = AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  DWORD error = adjusted ? GetLastError() : LastErrorOr(ERROR_GEN_FAILURE);
  if (error != ERROR_SUCCESS) return {Step::kAdjust, error};
  return {};
}

}  // namespace plexi::win
