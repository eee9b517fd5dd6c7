#include "shell/MainUnit.h"

#include <exception>

#include "comm/prPort.h"
#include "models/prDevice.h"
#include "shell/PasswordUnit.h"
#include "shell/UiServices.h"
#include "shell/prNode.h"
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
  // The view has dropped its page views by now (it goes before us): no notifications, and
  // the shown page is freed now, not later.
  OnTreeChanged = nullptr;
  OnPageShown = nullptr;
  OnPageReleased = nullptr;
  DeferRelease = nullptr;
  if (SelectedNode && SelectedNode->Data) SetPageShown(SelectedNode->Data, false);
  SelectedNode = nullptr;
  RootNode.reset();
  if (TheMainForm == this) TheMainForm = nullptr;
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
  child->Text = portName;
  child->ImageIndex = 1;
  child->Data = port;
  child->Parent = computer;
  TTreeNode* result = child.get();
  computer->Children.push_back(std::move(child));

  port->ParentNode = computer->Data;
  port->SetComPort(ComPort);
  port->PageShown = false;
  port->NameText = portName;
  port->KindText = "Последовательный порт";
  port->Page = nullptr;
  port->PageClass = "TPortForm";
  port->SetPortName(portName);
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
  switch (node->Level()) {
    case 1:
      return node->Text;
    case 2:
      return node->Parent->Text;
    default:
      return {};
  }
}

void TMainForm::Select(TTreeNode* node) {
  if (!node || node == SelectedNode) return;

  // A line whose device went away (an unplugged adapter) fails the purge of its close; it is
  // released all the same, and the new selection still opens its own port.
  try {
    ComPort->Close();
  } catch (const EComPort&) {
  }
  std::exception_ptr openError;
  if (node->Level() >= 1) {
    const std::string name = LinePortOf(node);
    try {
      if (ComPort->Port() != name) ComPort->SetPort(name);
      // The one line serves every port: it must carry this port's settings, not those of
      // the port whose page last changed them (or the line's start-up defaults).
      TTreeNode* portNode = node->Level() == 1 ? node : node->Parent;
      if (auto* port = dynamic_cast<TprPort*>(portNode->Data)) port->ApplySettings();
      ComPort->Open();
    } catch (...) {
      openError = std::current_exception();
    }
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

std::vector<TTreeNode*> TMainForm::Items() const {
  std::vector<TTreeNode*> items;
  if (RootNode) Collect(RootNode.get(), items);
  return items;
}

void TMainForm::TreeChanged() {
  if (!Building && OnTreeChanged) OnTreeChanged();
}
