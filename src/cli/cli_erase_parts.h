// What the one-drive and the many-drive erase of plexiscrub-cli share: how
// questions are answered from the options and the terminal, the dispatcher
// the worker's GUI steps run on, and how an outcome is said and exited with.
#pragma once
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/console_interrupt.h"
#include "erase/erase_workflow.h"

namespace plexi::cli {

// "prompt [y/N] " on `err`, one line read from standard input.
bool AskOnTerminal(std::ostream& err, const std::string& prompt);

// One line read from standard input: "del" in any letter case starts an erase.
bool ReadDelWord(const Options& o, std::ostream& err);

// " → yes" / " → はい": the answer given for the user, after the question.
const char* AnswerText(const Options& o, bool yes);

// The answer --resume / --no-resume gives to the resume question, if any.
std::optional<bool> ResumeAnswerOf(const Options& o, const EraseQuestion& question);

// Whether nobody can answer a question: --yes answers them all, standard
// input is no terminal, or the console is going away.
bool UnattendedRun(const Options& o);
// The answer to a question the console went away under: the resume point is
// kept, as an unattended erase keeps it; anything else is declined.
bool AnswerOfClosedConsole(const EraseQuestion& question);

// Whether --method asked for the drive's own purge: only then are firmware
// commands sent to a drive.
bool PurgeAsked(const Options& o);
// The drive's purge capability and the warning that the purge cannot be
// interrupted, when --method asked for it.
void PrintPurgeLines(const Options& o, const ConfirmRequest& request, std::ostream& out);

// The confirmation's choices as the options make them (ok is left true):
// a resumed erase keeps its method, which is said on `err` when --method
// asked for another.
ConfirmChoice ChoiceOfOptions(const Options& o, const ConfirmRequest& request, std::ostream& err);

// Steps of a worker run right away on its own thread, one at a time.
class SerialDispatcher : public GuiDispatcher {
 public:
  void RunOnGui(const std::function<void()>& step) override {
    std::lock_guard lock(mutex_);
    step();
  }

 private:
  std::mutex mutex_;
};

// What an erase left on the drive, in words of `language`.
const char* ResultText(RecordLeft result, EraseOutcome outcome, Language language);
// The same for a finished workflow, with what its record does not say: a
// read-back stopped at N %, a resumed erase not read back whole.
std::string ResultText(RecordLeft result, const EraseWorkflow& workflow, Language language);

// What happened to the drive, as an exit code.
int ExitCodeOf(EraseOutcome outcome);

// An erase the tool refused before the drive was opened, for its report.
// The TARGET is the index'th of the command line.
EraseJournal RefusedJournal(platform::Machine& machine, const Options& o, size_t index, const std::string& why);

// The erase target the index'th TARGET of the command line names, with
// its asset number and source for the report.
EraseTarget EraseTargetOf(const Options& o, size_t index);

// A stretch of the storage a target's bytes lie on, to tell two names of the
// same drive apart from two drives. A length of 0 runs to the device's end
// (from offset 0: the whole device).
struct Footprint {
  std::string device;  // "disk 2", "block 8:0", "file 2049:1234" (a loop device's file too)...
  uint64_t offset = 0;
  uint64_t length = 0;
};
bool Overlap(const Footprint& a, const Footprint& b);

// Where a target on the host lies (Linux: the disk or file behind any path
// naming it, symbolic links followed; a partition as a stretch of its disk,
// a loop device as a stretch of its backing file or device). Nothing where
// the machine's own answers serve (Windows).
// An empty list, with `problem` set, when the path cannot be looked at.
std::optional<std::vector<Footprint>> HostFootprint(const std::string& path, std::string* problem);

// Whether standard error is a terminal that takes cursor moves.
bool ErrorIsTerminal();

// Several targets erased at once (erase TARGET TARGET...).
int EraseManyCommand(const Options& o, std::ostream& out, std::ostream& err);

}  // namespace plexi::cli
