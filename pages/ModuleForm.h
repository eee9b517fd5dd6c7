#pragma once
// Base of the five module pages: the caption with the bus address, the tab control polled by
// the page timer one visible tab at a time, the tabs "Общие" and "RS-485", and the rules that
// bind controls to registers (display with its failure texts and the focus rule, the edit
// keys, number, time, name and address entry, command buttons, value lists, bit toggles, bit
// choices, the indication mode list and the indicator boxes). A model page adds its tabs with
// AddTab, describes their layout and binds their controls with the Bind* calls below.
#include <functional>
#include <string>
#include <vector>

#include "models/prDevice.h"
#include "pages/Controls.h"
#include "pages/PageRules.h"
#include "shell/UiServices.h"
#include "shell/prUnit.h"

class TModuleForm : public TprForm {
 public:
  explicit TModuleForm(TprNode* owner);
  ~TModuleForm() override;

  // The device object the page talks to (the node owning the page).
  TprModel* Device() const { return Module; }

  void FormShow() override;
  void FormHide() override;

  TControlSet Controls;
  TPageControl* pcMain;
  TPageTimer MainTimer;

  // ---- handlers shared by every page
  void MainTimerTimer();
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
  void RefreshCommon();
  void edTimeKeyPress(TEdit& field, char key);
  void edDaysKeyPress(TEdit& field, char key);
  void edNameKeyPress(TEdit& field, char key);
  void edWDKeyPress(TEdit& field, char key);
  void bbWDStatusResetClick(TButton& button);
  void bbRestartStatusResetClick(TButton& button);

  // ---- "RS-485"
  TContainer* tsNetwork;
  TEdit* edAddress;
  TComboBox* cbBaud;
  TComboBox* cbParity;
  TCheckBox* chbLRC;
  void ReadInitState();
  void RefreshNetwork();
  void edAddressKeyPress(TEdit& field, char key);
  void cbBaudChange(TComboBox& list);
  void cbParityChange(TComboBox& list);
  void chbLRCClick(TCheckBox& box);

  // ---- indication (on the pages that add the tab)
  TComboBox* cbIndControl = nullptr;
  // Indicator boxes in indicator order (index 0 is indicator 1).
  std::vector<TCheckBox*> chbInd, chbFlash, chbPhase;
  void cbIndControlChange(TComboBox& list);
  void chb1IndClick(TCheckBox& box);
  void chb2IndClick(TCheckBox& box);
  void chb1FlashClick(TCheckBox& box);
  void chb2FlashClick(TCheckBox& box);
  void chb1PhaseClick(TCheckBox& box);
  void chb2PhaseClick(TCheckBox& box);

  // The caption line for the device's present address.
  std::string ModuleCaption() const;

  // Shows a dialog of this module modally (the calibration wizard, ...). The page does not
  // poll while it is open, so that no other traffic reaches the module meanwhile; the timer
  // runs again once it has closed, whatever way it closed.
  TModalResult ShowModuleDialog(TModalDialog& dialog);

 protected:
  // Adds a tab with its refresh step (run by the polling cycle while the tab is visible).
  TContainer* AddTab(const std::string& name, const std::string& caption,
                     std::function<void()> refresh);
  // On the analog pages the version field is set even while it has the focus.
  bool VersionIgnoresFocus = false;

  // ---- register access
  bool Read(TprDevReg* reg);
  bool Write(TprDevReg* reg, const std::string& text);
  // The channel register prefix + (tag + 1) of the device, nullptr when it has none.
  TprDevReg* ChannelRegister(const std::string& prefix, int tag) const;

  // ---- display rules (the focus rule applies to successful reads only)
  static void ShowText(TEdit& field, bool ok, const std::string& text, bool evenFocused = false);
  // A computed text: ok false "Н/Д", converted false "Ошибка", else the text (focus rule).
  static void ShowComputed(TEdit& field, bool ok, bool converted, const std::string& text,
                           bool evenFocused = false);
  static void ShowBit(TCheckBox& box, bool ok, const std::string& valueText, int bit);
  // Each box shows the bit of its tag.
  static void ShowBits(const std::vector<TCheckBox*>& boxes, bool ok, const std::string& valueText);
  static void ShowIndex(TComboBox& list, bool ok, int index);
  // Each list shows the bit of its tag as item 1 (set) or 0 (clear).
  static void ShowBitChoices(const std::vector<TComboBox*>& lists, bool ok,
                             const std::string& valueText);

  // Read and show in one step; each returns the read's success.
  bool RefreshText(TEdit& field, TprDevReg* reg, bool evenFocused = false);
  bool RefreshBits(const std::vector<TCheckBox*>& boxes, TprDevReg* reg);
  // The list selects toIndex(value) (identity when empty); -1 for no selection.
  bool RefreshIndex(TComboBox& list, TprDevReg* reg, const std::function<int(int32_t)>& toIndex = {});
  bool RefreshBitChoices(const std::vector<TComboBox*>& lists, TprDevReg* reg);

  // ---- edit rules
  // Enter: number entry in lo..hi written to reg as typed; Esc: focus release.
  void NumberEntry(TEdit& field, char key, TprDevReg* reg, int64_t lo, int64_t hi);
  // Parses the field as an integer in lo..hi; a rejected entry turns the text red and beeps.
  bool AcceptNumber(TEdit& field, int64_t lo, int64_t hi, int32_t& value);
  void RejectEntry(TEdit& field);
  // Enter: the text written as typed without a check; Esc: focus release.
  void TextEntry(TEdit& field, char key, TprDevReg* reg);
  // A command button: one fixed text, result not shown, focus release.
  void Command(TControl& control, TprDevReg* reg, const std::string& text);
  // A value list: the text derived from the selection, result not shown, focus release.
  void ValueListChange(TComboBox& list, TprDevReg* reg, const std::string& text);
  // Bit toggle of bit box.Tag of reg.
  void BitToggle(TCheckBox& box, TprDevReg* reg);
  // Bit choice of bit list.Tag of reg.
  void BitChoice(TComboBox& list, TprDevReg* reg);

  // ---- binding helpers: hook a control to its handler and the page's shared handlers
  void BindField(TEdit* field, std::function<void(TEdit&, char)> keyPress);
  void BindList(TComboBox* list, std::function<void(TComboBox&)> change);
  void BindBox(TCheckBox* box, std::function<void(TCheckBox&)> click);
  void BindButton(TButton* button, std::function<void(TButton&)> click);

  // ---- indication
  struct TIndicator {
    int Group;  // 1 or 2
    int Bit;    // the boxes' tag
  };
  // Creates cbIndControl with its label row in grid, and for the indicators (in indicator
  // order) the three rows of boxes under headerRows (the column labels, one row each).
  void BuildIndication(TContainer* sheet, const std::vector<TIndicationMode>& modes,
                       const std::vector<TIndicator>& indicators,
                       const std::vector<TLayoutRow>& headerRows);
  // Mode registers, then the group registers present: GR1IND, GR2IND, GR1INDFL, GR2INDFL,
  // GR1INDPH, GR2INDPH.
  void RefreshIndicationMode();
  void RefreshIndicators();
  std::vector<TIndicationMode> Modes;
  std::vector<TIndicator> Indicators;

 private:
  void SetCaption();
  void ShowIndicatorRow(const std::vector<TCheckBox*>& row, int group, bool ok,
                        const std::string& valueText);
  void BuildCommonTab();
  void BuildNetworkTab();

  TprModel* Module;
  std::vector<std::function<void()>> RefreshSteps;
};

// Registers the five module page classes (idempotent).
void RegisterModulePages();
