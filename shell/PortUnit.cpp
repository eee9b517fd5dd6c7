#include "comm/SerialById.h"
#include "shell/PortUnit.h"

#include <initializer_list>
#include <iterator>
#include <memory>

#include "comm/LineCodes.h"
#include "comm/LineOps.h"
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

std::vector<std::string> ItemsOf(const auto& texts) { return {std::begin(texts), std::end(texts)}; }

}  // namespace

TPortForm::TPortForm(TprNode* owner) : TprForm(owner) {
  TContainer& panel = Controls.Root();
  lbById = Controls.Add<TLabel>("lbById", &panel, "Постоянное имя:");
  edById = Controls.Add<TEdit>("edById", &panel, 0, true);
  lbProtocol = Controls.Add<TLabel>("lbProtocol", &panel, "Протокол обмена:");
  cbProtocol = Controls.Add<TComboBox>(
      "cbProtocol", &panel, std::vector<std::string>{"Modbus", "DCS (отключен)", "Vela"});
  chbInit = Controls.Add<TCheckBox>("chbInit", &panel, "Режим INIT");
  lbBaud = Controls.Add<TLabel>("lbBaud", &panel, "Скорость обмена:");
  cbBaud = Controls.Add<TComboBox>("cbBaud", &panel, ItemsOf(BaudRateItems));
  lbParity = Controls.Add<TLabel>("lbParity", &panel, "Четность (Modbus):");
  cbParity = Controls.Add<TComboBox>("cbParity", &panel, ItemsOf(ParityItems));
  chbLRC = Controls.Add<TCheckBox>("chbLRC", &panel, "Использовать LRC (DCS)");
  lbTimeout = Controls.Add<TLabel>("lbTimeout", &panel, "Таймаут (0 - Авто):");
  seTimeout = Controls.Add<TSpinEdit>("seTimeout", &panel, 0, 65000);
  lbNetAllowance = Controls.Add<TLabel>("lbNetAllowance", &panel, "Запас на сеть (мс):");
  seNetAllowance = Controls.Add<TSpinEdit>("seNetAllowance", &panel, 0, kMaxNetworkAllowanceMs);
  seNetAllowance->Hint = "Добавляется к автоматическому таймауту на путь через сеть и шлюз";
  lbGateway = Controls.Add<TLabel>("lbGateway", &panel,
                                   "Скорость и четность линии задаются в самом шлюзе\n"
                                   "и должны совпадать с выбранными здесь:\n"
                                   "по ним рассчитываются таймауты.");
  bbSearch = Controls.Add<TButton>("bbSearch", &panel, "Поиск модулей");
  for (TControl* control :
       std::initializer_list<TControl*>{lbById, edById, lbGateway, lbNetAllowance, seNetAllowance})
    control->SetVisible(false);

  TLayoutGrid& grid = panel.Layout.AddGrid();
  grid.ColumnGap = 12;
  grid.RowGap = 8;
  // The settings share one column, each as wide as the widest.
  const auto setting = [](TControl* control) { return ControlCell(control, 1, TCellAlign::Fill); };
  grid.Row({ControlCell(lbGateway, 2)})
      .Row({ControlCell(lbById), setting(edById)})
      .Row({ControlCell(lbProtocol), setting(cbProtocol)})
      .Row({EmptyCell(), ControlCell(chbInit)})
      .Row({ControlCell(lbBaud), setting(cbBaud)})
      .Row({ControlCell(lbParity), setting(cbParity)})
      .Row({EmptyCell(), ControlCell(chbLRC)})
      .Row({ControlCell(lbTimeout), setting(seTimeout)})
      .Row({ControlCell(lbNetAllowance), setting(seNetAllowance)});
  // Wide enough for either caption, so that switching INIT mode never cuts it.
  TLayoutCell search = ControlCell(bbSearch, 1, TCellAlign::Right);
  search.FitTexts = {"Поиск модулей", "Поиск модуля"};
  grid.Row({EmptyCell(), search});

  cbProtocol->OnChange = [this](TComboBox&) { cbProtocolChange(); };
  chbInit->OnClick = [this](TCheckBox&) { chbInitClick(); };
  cbBaud->OnChange = [this](TComboBox&) { cbBaudChange(); };
  cbParity->OnChange = [this](TComboBox&) { cbParityChange(); };
  chbLRC->OnClick = [this](TCheckBox&) { chbLRCClick(); };
  seTimeout->OnChange = [this](TSpinEdit&) { seTimeoutChange(); };
  seNetAllowance->OnChange = [this](TSpinEdit&) { seNetAllowanceChange(); };
  bbSearch->OnClick = [this](TButton&) { bbSearchClick(); };
}

TprPort* TPortForm::Port() const { return dynamic_cast<TprPort*>(OwnerNode()); }

void TPortForm::OnPortLine(std::function<void(TprPort&)> job) {
  TprPort* port = Port();
  if (!port) return;
  TLineExecutor& line = LineOf(port);
  if (line.Inline()) {
    job(*port);
    return;
  }
  // The port and its line belong to the line's thread: a change waits for the exchange in
  // flight. Its error is shown once it is known.
  line.Post([job = std::move(job), port] { job(*port); },
            [](std::exception_ptr error) { ShowError(error); });
}

void TPortForm::FormShow() {
  TprForm::FormShow();
  TprPort* port = Port();
  if (!port) return;
  ById = SerialByIdName(port->PortName());
  if (ById == port->PortName()) ById.clear();
  edById->SetText(ById);
  edById->Hint = ById;
  lbById->SetVisible(!ById.empty());
  edById->SetVisible(!ById.empty());
  const bool network = port->IsNetworkPort();
  for (TControl* control :
       std::initializer_list<TControl*>{lbGateway, lbNetAllowance, seNetAllowance})
    control->SetVisible(network);
  StartTask(LoadSettings(), Alive(), [](std::exception_ptr error) { ShowError(error); });
}

TTask<> TPortForm::LoadSettings() {
  TprPort* port = Port();
  auto take = OnLine(LineOf(port), [port] {
    port->ApplySettings();
    return port->AllSettings();
  });
  const TprPort::TSettings settings = co_await take;
  Loading = true;
  seNetAllowance->SetValue(settings.NetworkAllowance);
  cbProtocol->SetItemIndex(settings.Protocol);
  cbBaud->SetItemIndex(BaudRateIndex(settings.BaudRate));
  cbParity->SetItemIndex(ParityIndex(settings.Parity));
  chbLRC->SetChecked(settings.UseLRC);
  seTimeout->SetValue(settings.Timeout);
  cbProtocolChange();
  // Setting the box runs its click handler only when this changes its state.
  if (chbInit->Checked() != settings.InitMode) {
    chbInit->SetChecked(settings.InitMode);
    chbInitClick();
  }
  Loading = false;
}

void TPortForm::FormHide() {
  // The settings are on the port node already. They go to the line only while it is this
  // port's line: the selection that hides this page may have opened it for another port.
  OnPortLine([](TprPort& p) {
    if (p.ComPort && p.ComPort->Port() == p.PortName()) p.ApplySettings();
  });
}

void TPortForm::ResetLineOptions(int timeoutMs) {
  cbParity->SetItemIndex(kParityNone);
  cbParityChange();
  chbLRC->SetChecked(false);
  chbLRCClick();
  seTimeout->SetValue(timeoutMs);
  seTimeoutChange();
}

void TPortForm::cbProtocolChange() {
  TprPort* port = Port();
  bbSearch->SetEnabled(true);
  const int index = cbProtocol->ItemIndex();
  if (index >= 0 && index < static_cast<int>(std::size(kProtocolRules))) {
    const TProtocolRule& rule = kProtocolRules[index];
    if (!Loading && port) {
      OnPortLine([protocol = rule.Protocol](TprPort& p) { p.SetProtocol(protocol); });
      ResetLineOptions(rule.TimeoutMs);
    }
    cbParity->SetEnabled(rule.ParityEnabled);
    lbParity->SetEnabled(rule.ParityEnabled);
    chbLRC->SetEnabled(rule.LrcEnabled);
    if (!rule.SearchEnabled) bbSearch->SetEnabled(false);
  }
  if (chbInit->Checked()) chbInitClick();
}

void TPortForm::chbInitClick() {
  if (chbInit->Checked()) {
    if (!Loading) {
      cbBaud->SetItemIndex(kBaudInit);
      cbBaudChange();
    }
    cbBaud->SetEnabled(false);
    lbBaud->SetEnabled(false);
    if (cbParity->Enabled()) {
      if (!Loading) {
        cbParity->SetItemIndex(kParityNone);
        cbParityChange();
      }
      cbParity->SetEnabled(false);
      lbParity->SetEnabled(false);
    }
    if (chbLRC->Enabled()) {
      if (!Loading) {
        chbLRC->SetChecked(false);
        chbLRCClick();
      }
      chbLRC->SetEnabled(false);
    }
    bbSearch->SetCaption("Поиск модуля");
  } else {
    cbBaud->SetEnabled(true);
    lbBaud->SetEnabled(true);
    cbProtocolChange();
    bbSearch->SetCaption("Поиск модулей");
  }
  if (!Loading) OnPortLine([on = chbInit->Checked()](TprPort& p) { p.SetInitMode(on); });
}

// The storing handlers write nothing while the page is loading: copying a setting into its
// control must never push it back to the line.
void TPortForm::cbBaudChange() {
  if (Loading) return;
  if (auto rate = BaudRateAt(cbBaud->ItemIndex()))
    OnPortLine([bps = *rate](TprPort& p) { p.SetBaudRate(bps); });
}

void TPortForm::cbParityChange() {
  if (Loading) return;
  if (auto parity = ParityAt(cbParity->ItemIndex()))
    OnPortLine([value = *parity](TprPort& p) { p.SetParity(value); });
}

void TPortForm::chbLRCClick() {
  if (Loading) return;
  OnPortLine([on = chbLRC->Checked()](TprPort& p) { p.SetUseLRC(on); });
}

void TPortForm::seNetAllowanceChange() {
  if (Loading) return;
  OnPortLine([ms = seNetAllowance->Value()](TprPort& p) { p.SetNetworkAllowance(ms); });
}

void TPortForm::seTimeoutChange() {
  if (Loading) return;
  OnPortLine([ms = seTimeout->Value()](TprPort& p) { p.SetTimeout(ms); });
}

void TPortForm::bbSearchClick() {
  TprPort* port = Port();
  if (!port) return;
  TCursorRestore restore(Ui().Cursor());
  Ui().SetCursor(TCursorKind::AppStart);
  auto window = std::make_unique<TSearchForm>();
  window->Port = port;
  window->SetFounded(0);
  RunSearchWindow(*window);
}
