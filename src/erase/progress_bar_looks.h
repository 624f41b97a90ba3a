// The looks of the progress dialog's two bars as designed, and the plainer
// ones for screens of fewer than 10 bits per pixel. Apart from the portable
// erase logic so that only the dialog's window code needs the control.
#pragma once
#include "controls/color_progress_bar.h"

namespace plexi {

void StyleWriteBar(controls::TColorProgressBar& bar, int colour_depth);
void StyleVerifyBar(controls::TColorProgressBar& bar, int colour_depth);
inline constexpr controls::Color kWriteBarColour = controls::Rgb(0, 128, 255);
inline constexpr controls::Color kLowColourWriteBar = 0x800000;  // navy

}  // namespace plexi
