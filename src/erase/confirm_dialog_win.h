// The final confirmation before an erase: everything about the drive, the
// method, verification and history choices, and a start button armed only
// by typing "del". While it is open it reads the first sectors of the drive
// once a second, so that the drive's access lamp shows which device is meant.
#pragma once
#include <windows.h>

#include <memory>

#include "window/dialog_form_win.h"
#include "window/glyph_button_win.h"
#include "window/standard_controls_win.h"
#include "erase/erase_workflow.h"
#include "platform/aligned_buffer.h"

namespace plexi {

class TDriveDelInfoDlg : public win::DialogForm {
 public:
  static constexpr wchar_t kClassName[] = L"TDriveDelInfoDlg";
  enum ControlId : int {
    kConfirmationText = 100,  // Label1
    kConfirmWordEdit = 101,   // Edit1
    kIrreversibleNote = 102,  // "※消去後は、復元できません。"
    kPurgeNote = 103,         // why the purge cannot be chosen, or its warning
    kPurgeFacts = 104,        // what the drive can purge with
    kMethodGroup = 110,       // RadioGroup1
    kMethodItem0 = 111,       // + method code
    kVerifyCheck = 120,       // CheckBox1
    kHistoryCheck = 121,      // CheckBox2
    kHelpButton = 130,        // SpeedButton1
    kStartButton = IDOK,
    kCancelButton = IDCANCEL,
  };

  // With a drive, the access-lamp timer runs while the dialog is open.
  TDriveDelInfoDlg(const win::FormResources& resources, platform::Device* drive,
                   uint32_t bytes_per_sector);
  ~TDriveDelInfoDlg() override;

  // Sets the caption, text and method from the request, shows the dialog
  // modally and reads the choices back.
  ConfirmChoice Run(const ConfirmRequest& request);

 private:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Create();
  void CreateControls();
  void CreateMethodGroup();
  void CreateButtons();
  void Edit1Change();
  void Timer1Timer();
  void SpeedButton1Click();
  bool PaintsEveryPixel() const override { return true; }
  void OnPaint(HDC dc) override;
  void ShowPurge(const ConfirmRequest& request);
  int SelectedMethod() const;

  win::FormResources resources_;
  platform::Device* drive_;
  uint32_t bytes_per_sector_;
  std::unique_ptr<AlignedBuffer> blink_buffer_;
  win::Label text_;  // Label1
  win::Edit confirm_word_;
  win::Label irreversible_;
  win::RadioGroup methods_;
  win::Label purge_note_;
  win::Label purge_facts_;
  win::CheckBox verify_;
  win::CheckBox history_;
  win::Button start_;
  win::Button cancel_;
  win::GlyphButton help_;
  plexi::win::UniqueFont text_font_;  // Label1
  plexi::win::UniqueFont edit_font_;  // Edit1
  plexi::win::UniqueFont note_font_;
  plexi::win::UniqueFont facts_font_;
  bool timer_on_ = false;
};

}  // namespace plexi
