// The parts of the terminal view (plexiscrub-cli tui, Linux): the disks it
// lists and the texts it shows in the user's language.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "util/language.h"

namespace plexi::cli {

// One disk of the view's table, as list and inspect show it.
struct TuiDisk {
  std::string target;  // what erase takes: "1" on a simulated machine, "/dev/sda" on Linux
  std::string model, serial, size, bus;
  std::string record;        // the record in its first sector, in words
  std::string purge;         // the command method 3 would send; empty when it cannot purge now
  std::string refusal;       // why it may not be erased; empty when it may
};

// Every whole disk of the machine (--simulate FILE, else the host's, with
// loop devices under --loop). Only read: nothing is opened for writing.
std::vector<TuiDisk> ListTuiDisks(const Options& o, Language language, std::ostream& err);

// Every text of the view, in one language.
struct TuiTexts {
  const char* list_title;
  const char* selected;
  const char* col_disk;
  const char* col_model;
  const char* col_serial;
  const char* col_size;
  const char* col_bus;
  const char* col_record;
  const char* col_purge;
  const char* col_method;
  const char* col_verify;
  const char* col_note;
  const char* yes;
  const char* no;
  const char* cannot_erase;
  const char* can_erase;
  const char* purge_with;
  const char* no_purge;
  const char* method_legend;
  const char* list_help;
  const char* list_help_power;  // with the power-off key
  const char* select_first;
  const char* no_disks;
  const char* too_small;
  const char* preparing;
  const char* question_keys;
  const char* confirm_title;
  const char* confirm_warning;
  const char* confirm_prompt;
  const char* confirm_wrong;
  const char* confirm_hidden;  // some drives of the set are off the screen
  const char* method_names[4];
  const char* progress_title;
  const char* progress_help;
  const char* interrupting;
  const char* waiting;
  const char* left;
  const char* calculating;
  const char* summary_title;
  const char* reports_in;
  const char* report;
  const char* no_report;
  const char* duration;
  const char* rate;
  const char* summary_help;
  const char* summary_hidden;  // drives below the screen's end
  const char* summary_help_power;
  const char* powering_off;
  const char* resumed;
  const char* purge_note;
};

const TuiTexts& TextsOf(Language language);

}  // namespace plexi::cli
