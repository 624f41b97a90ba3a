// What the control gallery and its driver agree on: window classes, child
// ids and the questions the gallery answers.
#pragma once
#include <windows.h>

namespace plexi::gallery {

constexpr wchar_t kGalleryClass[] = L"PlexiscrubGallery";
constexpr wchar_t kDialogClass[] = L"PlexiscrubGalleryDialog";

enum ChildId : int {
  kTrackFocused = 101,
  kTrackDisabled = 102,
  kTrackAtMin = 103,
  kTrackAtMax = 104,
  kTrackVertical = 105,
  kButtonDefault = 201,
  kButtonCancel = 202,
  kButtonDisabled = 203,
  kButtonIcon = 204,
  kButtonOpenDialog = 205,
  kDialogTrack = 301,
  kDialogOk = 302,
  kDialogCancel = 303,
};

// Answered by the gallery window: the id of the gallery button clicked last
// (0 for none) and the modal result the dialog ended with last (-1 for none).
constexpr UINT kGetLastClicked = WM_APP + 1;
constexpr UINT kGetLastModalResult = WM_APP + 2;
// Shows the dialog modally (posted by the "open" button).
constexpr UINT kOpenDialog = WM_APP + 3;

}  // namespace plexi::gallery
