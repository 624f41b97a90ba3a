// Writes the program's icon file: plexiscrub_make_icon OUT.ico. After a
// change to the drawing, write src/app/plexiscrub.ico with it, the file the
// Windows build embeds; a test of the Linux build fails while they differ.
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/program_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: plexiscrub_make_icon OUT.ico\n");
    return 2;
  }
  std::vector<plexi::app::IconImage> images;
  for (int size : plexi::app::kProgramIconSizes) images.push_back(plexi::app::DrawProgramIcon(size));
  const std::string bytes = plexi::app::IconFileBytes(images);
  std::ofstream out(argv[1], std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "plexiscrub_make_icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
