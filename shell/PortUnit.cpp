#include "comm/SerialById.h"
#include "shell/PortUnit.h"

#include <iterator>
#include <memory>

#include "comm/prPort.h"
#include "shell/MainUnit.h"
#include "shell/SearchUnit.h"
#include "shell/UiServices.h"

namespace {

constexpr int kParityNone = 0;  // "Нет"
constexpr int kBaudInit = 3;    // "9600", the rate of a module in INIT mode

// What choosing a protocol does, by item of the protocol list: the time-out it resets to and
// the controls it enables. DCS defines no frames, so it cannot be searched.
struct TProtocolRule {
  uint8_t Protocol;
  int TimeoutMs;
  bool ParityEnabled, LrcEnabled, SearchEnabled;
};
constexpr TProtocolRule kProtocolRules[] = {
    {ptModbus, 0, true, false, true},
    {ptDCS, 500, false, true, false},
    {ptVela, 0, false, false, true},
};

}  // namespace

std::string TPortPageList::Text() const {
  if (ItemIndex < 0 || ItemIndex >= static_cast<int>(Items.size())) return {};
  return Items[static_cast<size_t>(ItemIndex)];
}

void TPortPageList::SelectText(const std::string& text) {
  ItemIndex = -1;
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i] == text) {
      ItemIndex = static_cast<int>(i);
      return;
    }
}

TPortForm::TPortForm(TprNode* owner) : TprForm(owner) {}

TprPort* TPortForm::Port() const { return dynamic_cast<TprPort*>(OwnerNode()); }

void TPortForm::FormShow() {
  TprForm::FormShow();
  TprPort* port = Port();
  if (!port) return;
  ById = SerialByIdName(port->PortName());
  if (ById == port->PortName()) ById.clear();
  Loading = true;
  cbProtocol.ItemIndex = port->Protocol() < cbProtocol.Items.size() ? port->Protocol() : -1;
  cbBaud.ItemIndex = BaudRateIndex(port->BaudRate());
  cbParity.ItemIndex = ParityIndex(port->Parity());
  chbLRC.Checked = port->UseLRC();
  seTimeout.Value = port->Timeout();
  cbProtocolChange();
  // Setting the box runs its click handler only when this changes its state.
  if (chbInit.Checked != port->InitMode()) {
    chbInit.Checked = port->InitMode();
    chbInitClick();
  }
  Loading = false;
  port->ApplySettings();
}

void TPortForm::FormHide() {
  // The settings are on the port node already. They go to the line only while it is this
  // port's line: the selection that hides this page may have opened it for another port.
  TprPort* port = Port();
  if (port && port->ComPort && port->ComPort->Port() == port->PortName()) port->ApplySettings();
}

void TPortForm::ResetLineOptions(int timeoutMs) {
  cbParity.ItemIndex = kParityNone;
  cbParityChange();
  chbLRC.Checked = false;
  chbLRCClick();
  seTimeout.Value = timeoutMs;
  seTimeoutChange();
}

void TPortForm::cbProtocolChange() {
  TprPort* port = Port();
  bbSearch.Enabled = true;
  const int index = cbProtocol.ItemIndex;
  if (index >= 0 && index < static_cast<int>(std::size(kProtocolRules))) {
    const TProtocolRule& rule = kProtocolRules[index];
    if (!Loading && port) {
      port->SetProtocol(rule.Protocol);
      ResetLineOptions(rule.TimeoutMs);
    }
    cbParity.Enabled = lbParity.Enabled = rule.ParityEnabled;
    chbLRC.Enabled = rule.LrcEnabled;
    if (!rule.SearchEnabled) bbSearch.Enabled = false;
  }
  if (chbInit.Checked) chbInitClick();
}

void TPortForm::chbInitClick() {
  if (chbInit.Checked) {
    if (!Loading) {
      cbBaud.ItemIndex = kBaudInit;
      cbBaudChange();
    }
    cbBaud.Enabled = lbBaud.Enabled = false;
    if (cbParity.Enabled) {
      if (!Loading) {
        cbParity.ItemIndex = kParityNone;
        cbParityChange();
      }
      cbParity.Enabled = lbParity.Enabled = false;
    }
    if (chbLRC.Enabled) {
      if (!Loading) {
        chbLRC.Checked = false;
        chbLRCClick();
      }
      chbLRC.Enabled = false;
    }
    bbSearch.Caption = "Поиск модуля";
  } else {
    cbBaud.Enabled = lbBaud.Enabled = true;
    cbProtocolChange();
    bbSearch.Caption = "Поиск модулей";
  }
  if (!Loading)
    if (TprPort* port = Port()) port->SetInitMode(chbInit.Checked);
}

// The storing handlers write nothing while the page is loading: copying a setting into its
// control must never push it back to the line.
void TPortForm::cbBaudChange() {
  if (Loading) return;
  if (TprPort* port = Port())
    if (auto rate = BaudRateAt(cbBaud.ItemIndex)) port->SetBaudRate(*rate);
}

void TPortForm::cbParityChange() {
  if (Loading) return;
  if (TprPort* port = Port())
    if (auto parity = ParityAt(cbParity.ItemIndex)) port->SetParity(*parity);
}

void TPortForm::chbLRCClick() {
  if (Loading) return;
  if (TprPort* port = Port()) port->SetUseLRC(chbLRC.Checked);
}

void TPortForm::seTimeoutChange() {
  if (Loading) return;
  if (TprPort* port = Port()) port->SetTimeout(seTimeout.Value);
}

void TPortForm::bbSearchClick() {
  TprPort* port = Port();
  if (!port) return;
  // The line of a selected port is open unless its open failed: try again, so that the user
  // sees why it cannot be searched instead of an error of the first probe on a closed line.
  if (port->ComPort && !port->ComPort->Connected()) port->ComPort->Open();
  port->ApplySettings();

  TCursorRestore restore(Ui().Cursor());
  Ui().SetCursor(TCursorKind::AppStart);

  if (TMainForm* main = MainForm())
    if (TTreeNode* node = PortTreeNode(port)) main->ClearDevices(node);

  auto window = std::make_unique<TSearchForm>();
  window->Port = port;
  window->SetFounded(0);
  window->SetMaxAddress(port->InitMode() ? 1 : 247);
  RunSearchWindow(*window);
}
