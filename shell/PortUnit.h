#pragma once
// The settings page of a serial-port node: protocol and line settings of the port, INIT mode,
// and the module search. Its controls are the shared control model that the Qt view binds like
// those of a module page; a handler reads and changes them and stores the settings in the port
// node.
#include <functional>
#include <string>

#include "comm/LineTask.h"
#include "shell/Controls.h"
#include "shell/prUnit.h"

class TprPort;

class TPortForm : public TprForm {
 public:
  explicit TPortForm(TprNode* owner);

  // The port node this page edits (its owner).
  TprPort* Port() const;

  void FormShow() override;
  void FormHide() override;

  // Handlers, run once the user has changed their control (and by each other).
  void cbProtocolChange();
  void chbInitClick();
  void cbBaudChange();
  void cbParityChange();
  void chbLRCClick();
  void seTimeoutChange();
  void seNetAllowanceChange();
  // Shows the search window modally; returns when it has closed.
  void bbSearchClick();

  // True while the page copies the port's settings into its controls: the handlers then only
  // set enabled states and change no setting.
  bool Loading = false;

  // The controls, laid out as one panel of rows that the view centres in the page.
  TControlSet Controls;
  TLabel* lbProtocol;
  TComboBox* cbProtocol;
  TCheckBox* chbInit;
  TLabel* lbBaud;
  TComboBox* cbBaud;
  TLabel* lbParity;
  TComboBox* cbParity;
  TCheckBox* chbLRC;
  TLabel* lbTimeout;
  TSpinEdit* seTimeout;
  TButton* bbSearch;
  // The stable name of the port's USB adapter (/dev/serial/by-id/...), found on show; both
  // hidden when the device has none besides its own name.
  TLabel* lbById;
  TEdit* edById;
  std::string ById;
  // Shown only for a port on a network gateway: the reminder that the line settings are the
  // gateway's own, and the allowance the automatic time-out adds for the network.
  TLabel* lbGateway;
  TLabel* lbNetAllowance;
  TSpinEdit* seNetAllowance;

 private:
  // Runs the job on the port's line: a change of the port's line settings.
  void OnPortLine(std::function<void(TprPort&)> job);
  // Fills the controls with the port's settings, taken on its line behind any change queued.
  TTask<> LoadSettings();
  // Puts the controls' common "no parity, no LRC, time-out t" state into the port.
  void ResetLineOptions(int timeoutMs);
};
