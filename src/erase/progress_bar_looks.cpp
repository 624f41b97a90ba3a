#include "erase/progress_bar_looks.h"

namespace plexi {

using controls::TColorProgressBar;

void StyleWriteBar(TColorProgressBar& bar, int colour_depth) {
  bar.SetBlockCount(9);
  bar.SetBoxColor(0xC0C0C0);
  bar.SetLineColor(0x808080);
  bar.SetFlat(true);
  if (colour_depth < 10) {
    bar.SetBarStyle(controls::btSolid2);
    bar.SetBarColor(kLowColourWriteBar);
  } else {
    bar.SetBarStyle(controls::btWin7);
    bar.SetBarColor(kWriteBarColour);
  }
}

void StyleVerifyBar(TColorProgressBar& bar, int colour_depth) {
  bar.SetBlockCount(20);
  bar.SetBoxColor(0xC0C0C0);
  bar.SetFlat(true);
  bar.SetBarStyle(controls::btGradetion);
  bar.SetBarColor(colour_depth < 10 ? controls::SystemColor(controls::kColorHighlight)
                                    : controls::Rgb(0, 255, 0));
}

}  // namespace plexi
