// Where the GUI scenarios find the programs, the machine file to run them on
// and the folder for their screenshots (from the command line:
// --exe=PATH --machine=PATH [--cli=PATH] [--screenshots=DIR] [--dpi=N]; the
// update download scenario runs only with --update-site=URL
// --download-folder=DIR --archive=NAME).
#pragma once
#include <string>

namespace plexi::gui {

struct DriverConfig {
  std::wstring program;       // plexiscrub.exe
  std::wstring machine_file;  // demo/demo.machine
  std::wstring cli;           // plexiscrub-cli.exe; its scenarios are skipped without it
  std::wstring screenshots;   // folder; no screenshots without it
  int dpi = 0;                // the prefix's LogPixels; the DPI scenario runs only with it
  std::string update_site;     // a site offering a newer release ("http://127.0.0.1:PORT/")
  std::wstring download_folder;  // where that release is saved
  std::string archive;         // the archive the site offers
};

DriverConfig& Config();

}  // namespace plexi::gui
