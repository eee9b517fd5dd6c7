#pragma once
// Base of the five module pages: the caption with the bus address, the tab control polled by
// the page timer one visible tab at a time, the tabs "Общие" and "RS-485", and the rules that
// bind controls to registers (display with its failure texts and the focus rule, the edit
// keys, number, single-precision, time, name and address entry, command buttons, value lists,
// bit toggles, bit choices and bit fields). A model page declares its tabs as register rows
// (AddRowsTab, pages/Rows.h), built by its rows engine (pages/RowsEngine.h); its special
// algorithms are steps of its own in the same tab. The "Индикация" tab is a unit of its own
// (pages/IndicationTab.h).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/LineTask.h"
#include "models/prDevice.h"
#include "shell/Controls.h"
#include "pages/IndicationTab.h"
#include "pages/PageRules.h"
#include "pages/Rows.h"
#include "pages/RowsEngine.h"
#include "shell/UiServices.h"
#include "shell/prUnit.h"

class TModuleForm : public TprForm, private TRowsHost {
 public:
  // analog: the page of an analog module (its version field is shown even with the focus).
  explicit TModuleForm(TprNode* owner, bool analog = false);
  ~TModuleForm() override;

  // The device object the page talks to (the node owning the page).
  TprModel* Device() const { return Module; }

  void FormShow() override;
  void FormHide() override;

  TControlSet Controls;
  TPageControl* pcMain;
  TPageTimer MainTimer;
  // Runs while the line is lost: each tick tries to open it again.
  TPageTimer ReconnectTimer;

  // ---- handlers shared by every page
  // Starts a polling cycle of the visible tab. The cycle waits for each exchange without
  // blocking; the timer is off while it runs and on again once it has ended.
  void MainTimerTimer();
  void ReconnectTimerTimer();
  // Every value of the page shows its failure display ("Н/Д", grayed, no selection): what the
  // page shows after an error stopped its polling.
  void ShowPollingStopped();
  void pcMainChange();
  void cbCloseUp(TComboBox& list);
  void edExit(TEdit& field);

  // ---- "Общие"
  TContainer* tsCommon;
  TEdit* edDays;
  TEdit* edTime;
  TEdit* edName;
  TEdit* edVersion;
  TEdit* edWD;
  TEdit* edSelfDiag;
  TCheckBox* chbWDStatus;
  TCheckBox* chbRestartStatus;
  TCheckBox* chbInitStatus;
  TButton* bbWDStatusReset;
  TButton* bbRestartStatusReset;
  // The clock group: SECNS, then MINTS, then HOURS, each only while the one before succeeded.
  TTask<> RefreshClock();
  void edTimeKeyPress(TEdit& field, char key);

  // ---- "RS-485"
  TContainer* tsNetwork;
  TEdit* edAddress;
  TComboBox* cbBaud;
  TComboBox* cbParity;
  TCheckBox* chbLRC;
  TTask<> ReadInitState();
  // After an address entry was written: the page follows the module to its new address
  // unless the module is in INIT mode or its state is unknown (InitFlag).
  void AddressWritten(bool written, int32_t address);

  // The "Индикация" tab, on the pages that add it (nullptr on the others).
  std::unique_ptr<TIndicationTab> Indication;

  // The caption line for the device's present address.
  std::string ModuleCaption() const;
  // The tab and row label of the first row showing the register ("RS-485: Адрес").
  std::string RegisterCaption(const std::string& registerName) const override;

  // Shows a dialog of this module modally (the calibration wizard, ...). The page does not
  // poll while it is open, so that no other traffic reaches the module meanwhile; the timer
  // runs again once it has closed, whatever way it closed.
  TModalResult ShowModuleDialog(TModalDialog& dialog);

 protected:
  // Adds a tab with its refresh step (run by the polling cycle while the tab is visible).
  TContainer* AddTab(const std::string& name, const std::string& caption, TRefreshStep refresh);
  // Adds a tab declared as register rows; its refresh step reads as the rows say.
  TContainer* AddRowsTab(const std::string& name, const std::string& caption, TRowsTable table);
  // Creates the rows' controls on the sheet and returns their refresh (TRowsEngine::Build).
  TRefreshStep BuildRows(TContainer* sheet, TRowsTable table) { return Rows.Build(sheet, std::move(table)); }
  // The "Индикация" tab (pages/IndicationTab.h), refreshed as a whole.
  TContainer* AddIndicationTab(const TIndicationLayout& layout);
  // A step run after every polling cycle, whatever the tab.
  void AfterEveryCycle(std::function<void()> step);
  // The Calibrate-button rule: after every cycle the button is enabled exactly while
  // calibration is enabled in the main window.
  void FollowCalibration(TButton* button);
  const bool Analog;

  // ---- register access
  // co_await Read(reg): the read's success; the value is in reg->ValueText.
  TTask<bool> Read(TprDevReg* reg) override;
  TTask<bool> Write(TprDevReg* reg, std::string text);
  // Starts work of the page that waits for the line (a write on commit, ...). It is dropped
  // where it waits once the page is hidden. An error is shown in the error box (raised to
  // the caller when it comes before the first wait).
  void RunTask(TTask<> task);
  // The channel register prefix + (tag + 1) of the device; raises std::logic_error when the
  // model has none (a misspelt name must not show "Н/Д" forever).
  TprDevReg* ChannelRegister(const std::string& prefix, int tag) const;
  // The register of the name; raises std::logic_error when the model lacks it.
  TprDevReg* Register(const std::string& name) const override;

  // ---- display rules (the focus rule applies to successful reads only)
  static void ShowText(TEdit& field, bool ok, const std::string& text, bool evenFocused = false);
  // A computed text: ok false "Н/Д", converted false "Ошибка", else the text (focus rule).
  static void ShowComputed(TEdit& field, bool ok, bool converted, const std::string& text,
                           bool evenFocused = false);
  static void ShowBit(TCheckBox& box, bool ok, const TprDevReg& reg, int bit);
  static void ShowIndex(TComboBox& list, bool ok, int index);

  // ---- edit rules
  // Enter: number entry in lo..hi written to reg as typed, then written(result, number) when
  // given; Esc: focus release.
  void NumberEntry(TEdit& field, char key, TprDevReg* reg, int64_t lo, int64_t hi,
                   std::function<void(bool, int32_t)> written = {});
  // Parses the field as an integer in lo..hi; a rejected entry turns the text red and beeps.
  bool AcceptNumber(TEdit& field, int64_t lo, int64_t hi, int32_t& value);
  void RejectEntry(TEdit& field);
  // Enter: the text written as typed when the register takes it (its value rule), else
  // rejected; Esc: focus release.
  void TextEntry(TEdit& field, char key, TprDevReg* reg);
  void SingleEntry(TEdit& field, char key, TprDevReg* reg);
  void CheckedEntry(TEdit& field, TprDevReg* reg);
  // A command button: one fixed text, result not shown, focus release.
  void Command(TControl& control, TprDevReg* reg, const std::string& text);
  // A value list: the text derived from the selection, result not shown, focus release.
  void ValueListChange(TComboBox& list, TprDevReg* reg, const std::string& text);
  // Bit toggle of a bit of reg (box.Tag when bit < 0).
  void BitToggle(TCheckBox& box, TprDevReg* reg, int bit = -1);
  // Bit choice of a bit of reg (list.Tag when bit < 0).
  void BitChoice(TComboBox& list, TprDevReg* reg, int bit = -1);
  // The list's index replaces bits lo..lo+width-1 of the value last read; every other bit
  // is kept.
  void BitFieldChoice(TComboBox& list, TprDevReg* reg, int lo, int width);
  // A check box standing for one value: checked writes it, unchecked writes 0.
  void FlagClick(TCheckBox& box, TprDevReg* reg, int32_t value);

  // ---- binding helpers: hook a control to its handler and the page's shared handlers
  void BindField(TEdit* field, std::function<void(TEdit&, char)> keyPress);
  void BindList(TComboBox* list, std::function<void(TComboBox&)> change);
  void BindBox(TCheckBox* box, std::function<void(TCheckBox&)> click);
  void BindButton(TButton* button, std::function<void(TButton&)> click);

 private:
  friend class TIndicationTab;
  void SetCaption();
  // The notice under the caption while the module's replies come later than the time-out.
  void ShowLateNotice();
  void BuildCommonTab();
  void BuildNetworkTab();
  // The rules of a row part's control: its entry, click or change, and how it shows a read.
  void BindPart(const std::shared_ptr<const TPart>& part, TControl* control, TprDevReg* reg,
                int bit) override;
  void ShowBound(const TRowBinding& binding, bool ok) override;
  void WriteDerived(TControl& control, TprDevReg* reg, uint32_t value);
  // Esc releases the focus; true for Enter, the key that commits an entry.
  static bool Commits(TEdit& field, char key);
  void WriteEntry(TEdit& field, TprDevReg* reg);
  // The writes on commit: the control keeps the focus until its write is done, so that the
  // cycle does not show the value it replaces meanwhile.
  TTask<> WriteThenRelease(TControl& control, TprDevReg* reg, std::string text);
  TTask<> NumberWrite(TEdit& field, TprDevReg* reg, std::string text, int32_t value,
                      std::function<void(bool, int32_t)> written);
  TTask<> DerivedWrite(TControl& control, TprDevReg* reg, std::string text);
  TTask<> TimeWrite(TEdit& field, int h, int m, int s);
  TTask<> Cycle();
  TTask<> Reconnect();
  // A line error stopped the polling: the notice under the caption, and the tries to open
  // the line again.
  void LineLost();
  // The token of the page while it is shown: work started for it ends with it.
  std::weak_ptr<void> ShownToken() const { return Shown; }

  TprModel* Module;
  std::vector<TRefreshStep> RefreshSteps;
  TRowsEngine Rows{*this, Controls, Module, ClassName};
  std::vector<std::function<void()>> CycleSteps;
  std::shared_ptr<char> Shown = std::make_shared<char>();
  bool InCycle = false;
  bool DialogOpen = false;
  // The module's lateness the last cycle found on the line (0: its replies come in time).
  int SeenLateMs = 0;
  // The stable name of the line's adapter when it was shown (empty: none).
  std::string LineById;
};

// Registers every page class of the program: those of the shell and the page class of every
// model of the model table. Called once at start, before the first page is created.
void RegisterPageClasses();
