#include "shell/MainUnit.h"

#include <exception>

#include "comm/ComPortTcp.h"
#include "comm/prNode.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "shell/PasswordUnit.h"
#include "shell/UiServices.h"
#include "shell/prUnit.h"

namespace {
const char* const AppTitle = "ORBIS Utility";
TMainForm* TheMainForm = nullptr;

void Collect(TTreeNode* node, std::vector<TTreeNode*>& out) {
  out.push_back(node);
  for (auto& child : node->Children) Collect(child.get(), out);
}

bool IsWithin(const TTreeNode* node, const TTreeNode* ancestor) {
  for (; node; node = node->Parent)
    if (node == ancestor) return true;
  return false;
}
}  // namespace

TTreeNode::~TTreeNode() {
  // Modules before their port: a device reaches its port through ParentNode.
  Children.clear();
  delete Data;
}

TMainForm* MainForm() { return TheMainForm; }

TMainForm::TMainForm(TCustomComPort& comPort) : ComPort(&comPort) {
  if (!TheMainForm) TheMainForm = this;
}

TMainForm::~TMainForm() {
  DropShownPage();
  RootNode.reset();
  if (TheMainForm == this) TheMainForm = nullptr;
}

void TMainForm::DropShownPage() {
  // The view has dropped its page views by now: no notifications, and the shown page is
  // freed now, not later.
  OnTreeChanged = nullptr;
  OnPageShown = nullptr;
  OnPageReleased = nullptr;
  DeferRelease = nullptr;
  if (SelectedNode && SelectedNode->Data) SetPageShown(SelectedNode->Data, false);
  SelectedNode = nullptr;
}

bool TMainForm::FindPorts(std::vector<std::string>& list) {
  list.clear();
  if (EnumPorts) EnumPorts(list);
  for (auto& name : list)
    if (!name.empty() && name.back() == '\0') name.pop_back();
  list.insert(list.end(), ExtraPorts.begin(), ExtraPorts.end());
  return !list.empty();
}

bool TMainForm::FormShowFirst() {
  std::vector<std::string> ports;
  if (!FindPorts(ports)) {
    Ui().MessageBox("Последовательных портов не обнаружено!\r\nРабота с программой невозможна.",
                    AppTitle, TMsgIcon::Error);
    return false;
  }

  Building = true;
  if (SelectedNode && SelectedNode->Data) SetPageShown(SelectedNode->Data, false);
  SelectedNode = nullptr;
  RootNode.reset();
  auto computer = std::make_unique<TTreeNode>();
  computer->Text = "Мой компьютер";
  computer->ImageIndex = 0;
  auto* node = new TprNode();
  node->NameText = "Мой компьютер";
  node->KindText = "Этот персональный компьютер";
  node->PageClass = "TCompForm";
  computer->Data = node;
  RootNode = std::move(computer);
  for (const auto& name : ports) AddPort(RootNode.get(), name);
  Building = false;
  TreeChanged();

  // Start shows the computer page with the line closed: no port is opened (or reported as
  // unusable) before the user selects it.
  try {
    ComPort->Close();
  } catch (const EComPort&) {
  }
  SelectedNode = RootNode.get();
  SetPageShown(SelectedNode->Data, true);
  TreeChanged();
  return true;
}

TTreeNode* TMainForm::AddPort(TTreeNode* computer, const std::string& portName) {
  auto* port = new TprPort();
  auto child = std::make_unique<TTreeNode>();
  // A gateway shows as "HOST:PORT"; its line keeps the whole name.
  const bool network = IsTcpPortName(portName);
  const std::string shownName = network ? TcpPortLabel(portName) : portName;
  child->Text = shownName;
  child->ImageIndex = 1;
  child->Data = port;
  child->Parent = computer;
  TTreeNode* result = child.get();
  computer->Children.push_back(std::move(child));

  port->ParentNode = computer->Data;
  // The name is the port's own until the port is selected: the shared line belongs to its
  // worker, and the selection puts the name on it there.
  port->SetPortName(portName);
  port->SetComPort(ComPort);
  port->Executor = Line;
  port->PageShown = false;
  port->NameText = shownName;
  port->KindText = !network                        ? "Последовательный порт"
                   : IsModbusTcpPortName(portName) ? kModbusGatewayKindText
                                                   : kGatewayKindText;
  port->Page = nullptr;
  port->PageClass = "TPortForm";
  TreeChanged();
  return result;
}

TTreeNode* TMainForm::AddDevice(TTreeNode* port, int modelIndex, uint32_t address, int modelCode) {
  // An index outside the model table is an unrecognised module.
  auto child = std::make_unique<TTreeNode>();
  child->Text = ModelRow(modelIndex).Name;
  child->ImageIndex = 2;
  child->Parent = port;
  TTreeNode* result = child.get();
  port->Children.push_back(std::move(child));

  TprNode* device = CreateDevice(modelIndex, address, static_cast<TprPort*>(port->Data));
  result->Data = device;
  if (auto* unknown = dynamic_cast<TprDevice*>(device)) unknown->ModelCode = modelCode;
  if (device) {
    device->PageShown = false;
    device->Page = nullptr;
  }
  TreeChanged();
  return result;
}

void TMainForm::ClearDevices(TTreeNode* port) {
  if (!port) return;
  // A selected module is about to go: the selection moves to its port first, so that its page
  // is released properly before the node frees it.
  std::exception_ptr openError;
  if (SelectedNode && SelectedNode != port && IsWithin(SelectedNode, port)) {
    try {
      Select(port);
    } catch (...) {
      openError = std::current_exception();
    }
  }
  port->Children.clear();
  TreeChanged();
  if (openError) std::rethrow_exception(openError);
}

void TMainForm::SetPageShown(TprNode* node, bool shown) {
  if (!node || shown == node->PageShown) return;
  node->PageShown = shown;
  if (shown) {
    TprForm* page = CreatePage(node->PageClass, node);
    node->Page = page;
    std::exception_ptr showError;
    try {
      page->FormShow();
    } catch (...) {
      showError = std::current_exception();
    }
    if (OnPageShown) OnPageShown(node);
    if (showError) std::rethrow_exception(showError);
  } else if (TprForm* page = node->Page) {
    node->Page = nullptr;
    ReleasePage(page);
  }
}

void TMainForm::ReleasePage(TprForm* page) {
  page->FormHide();
  if (OnPageReleased) OnPageReleased(page);
  if (!DeferRelease) {
    delete page;
    return;
  }
  // The node may be deleted first and free the page with itself.
  std::weak_ptr<void> alive = page->Alive();
  DeferRelease([page, alive] {
    if (!alive.expired()) delete page;
  });
}

std::string TMainForm::LinePortOf(const TTreeNode* node) {
  if (!node) return {};
  const TTreeNode* portNode = node->Level() == 2 ? node->Parent : node;
  if (portNode->Level() != 1) return {};
  if (const auto* port = dynamic_cast<const TprPort*>(portNode->Data)) return port->PortName();
  return portNode->Text;
}

void TMainForm::Select(TTreeNode* node) {
  if (!node || node == SelectedNode) return;

  TCustomComPort* line = ComPort;
  const bool opens = node->Level() >= 1;
  const std::string name = LinePortOf(node);
  TprPort* port = nullptr;
  if (opens) port = dynamic_cast<TprPort*>((node->Level() == 1 ? node : node->Parent)->Data);
  auto change = [line, opens, name, port] {
    // A line whose device went away (an unplugged adapter) fails the purge of its close; it
    // is released all the same, and the new selection still opens its own port.
    try {
      line->Close();
    } catch (const EComPort&) {
    }
    if (!opens) return;
    if (line->Port() != name) line->SetPort(name);
    // The one line serves every port: it must carry this port's settings, not those of the
    // port whose page last changed them (or the line's start-up defaults).
    if (port) port->ApplySettings();
    line->Open();
  };
  std::exception_ptr openError;
  TLineExecutor& executor = LineExecutor();
  if (executor.Inline()) {
    try {
      change();
    } catch (...) {
      openError = std::current_exception();
    }
  } else {
    executor.Post(change, [alive = std::weak_ptr<void>(AliveToken)](std::exception_ptr error) {
      if (error && !alive.expired()) ShowError(error);
    });
  }

  // The selection and the page shown move together whatever fails on the way; the open
  // failure, when there is one, is the error reported (a page runs no cycle on a closed line).
  TTreeNode* current = SelectedNode;
  SelectedNode = node;
  std::exception_ptr pageError;
  auto showPage = [&](TprNode* data, bool shown) {
    try {
      if (data) SetPageShown(data, shown);
    } catch (...) {
      if (!pageError) pageError = std::current_exception();
    }
  };
  if (current) {
    showPage(current->Data, false);
    showPage(node->Data, true);
  }
  if (openError) std::rethrow_exception(openError);
  if (pageError) std::rethrow_exception(pageError);
}

void TMainForm::EnableCalibration(bool ok, const std::string& enteredPassword) {
  if (!ok) return;
  if (enteredPassword == CalibrationPassword()) {
    SetCalibrationEnabled(true);
  } else {
    Ui().MessageBox("Неверный пароль!", AppTitle, TMsgIcon::Error);
    SetCalibrationEnabled(false);
  }
}

void TMainForm::miEnableCalibrateClick() {
  std::string entered;
  const bool ok = Ui().PasswordDialog(entered);
  EnableCalibration(ok, entered);
}

void TMainForm::AddNetworkPortClick() {
  if (!RootNode) return;
  std::string host = LastNetworkHost;
  int port = LastNetworkPort;
  if (!Ui().NetworkPortDialog(host, port)) return;
  LastNetworkHost = host;
  LastNetworkPort = port;
  const std::string name = MakeTcpPortName(host, port);
  if (name.empty()) {
    Ui().MessageBox("Неверный адрес шлюза: " + host + ":" + std::to_string(port), AppTitle,
                    TMsgIcon::Error);
    return;
  }
  // The same gateway twice would be two nodes sharing one bus.
  TTreeNode* node = nullptr;
  for (auto& child : RootNode->Children)
    if (LinePortOf(child.get()) == name) node = child.get();
  // A new port leaves the line alone: the selection below moves the line to it.
  if (!node) node = AddPort(RootNode.get(), name);
  // The view follows the selection even when the gateway cannot be reached.
  try {
    Select(node);
  } catch (...) {
    TreeChanged();
    throw;
  }
  TreeChanged();
}

std::vector<TTreeNode*> TMainForm::Items() const {
  std::vector<TTreeNode*> items;
  if (RootNode) Collect(RootNode.get(), items);
  return items;
}

void TMainForm::TreeChanged() {
  if (!Building && OnTreeChanged) OnTreeChanged();
}
