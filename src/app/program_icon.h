// The program's icon: a drive crossed by a red eraser, drawn for any size
// with smooth edges, and the .ico file that holds it at every size Windows
// asks for. Plain C++ with no other part of the program; plexiscrub_make_icon
// writes the icon resource, app/plexiscrub.ico, from it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plexi::app {

// Square, rows top down, each pixel 0xAARRGGBB (straight alpha).
struct IconImage {
  int size = 0;
  std::vector<std::uint32_t> argb;
};

// The sizes Windows shows: title bars and lists at 100 to 250 percent
// scaling, the taskbar, Explorer's views.
inline constexpr int kProgramIconSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};

IconImage DrawProgramIcon(int size);

// An .ico file of 32-bit images (an all-clear AND mask; the alpha decides).
std::string IconFileBytes(const std::vector<IconImage>& images);

}  // namespace plexi::app
