#pragma once
// The settings page of a serial-port node: protocol and line settings of the port, INIT mode,
// and the module search. Controls are plain state that the Qt view renders; a handler reads
// and changes them and stores the settings in the port node.
#include <string>
#include <vector>

#include "shell/prUnit.h"

class TprPort;

struct TPortPageLabel {
  std::string Caption;
  bool Enabled = true;
};

struct TPortPageList {
  std::vector<std::string> Items;
  int ItemIndex = -1;  // -1: no item selected
  bool Enabled = true;
  // The selected item's text, empty when none is selected.
  std::string Text() const;
  // Selects the item bearing the text; no item when none does.
  void SelectText(const std::string& text);
};

struct TPortPageCheck {
  std::string Caption;
  bool Checked = false;
  bool Enabled = true;
};

struct TPortPageSpin {
  int MinValue = 0;
  int MaxValue = 0;
  int Value = 0;
  bool Enabled = true;
};

struct TPortPageButton {
  std::string Caption;
  bool Enabled = true;
};

class TPortForm : public TprForm {
 public:
  explicit TPortForm(TprNode* owner);

  // The port node this page edits (its owner).
  TprPort* Port() const;

  void FormShow() override;
  void FormHide() override;

  // Handlers, run by the view after it has put the user's change into the control.
  void cbProtocolChange();
  void chbInitClick();
  void cbBaudChange();
  void cbParityChange();
  void chbLRCClick();
  void seTimeoutChange();
  void bbSearchClick();

  // True while the page copies the port's settings into its controls: the handlers then only
  // set enabled states and change no setting.
  bool Loading = false;

  TPortPageLabel lbProtocol{"Протокол обмена:"};
  TPortPageList cbProtocol{{"Modbus", "DCS (отключен)", "Vela"}};
  TPortPageCheck chbInit{"Режим INIT"};
  TPortPageLabel lbBaud{"Скорость обмена:"};
  TPortPageList cbBaud{{"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}};
  TPortPageLabel lbParity{"Четность (Modbus):"};
  TPortPageList cbParity{{"Нет", "Нечетность", "Четность"}};
  TPortPageCheck chbLRC{"Использовать LRC (DCS)"};
  TPortPageLabel lbTimeout{"Таймаут (0 - Авто):"};
  TPortPageSpin seTimeout{0, 65000};
  TPortPageButton bbSearch{"Поиск модулей"};
  // The stable name of the port's USB adapter (/dev/serial/by-id/...) under lbById, found on
  // show; empty when the device has none besides its own name.
  TPortPageLabel lbById{"Постоянное имя:"};
  std::string ById;

 private:
  // Puts the controls' common "no parity, no LRC, time-out t" state into the port.
  void ResetLineOptions(int timeoutMs);
};
