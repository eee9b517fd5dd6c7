#include "shell/SearchUnit.h"

#include <exception>
#include <optional>

#include "comm/Clock.h"
#include "comm/LineOps.h"

#include "comm/prPort.h"
#include "models/BusScan.h"
#include "shell/MainUnit.h"
#include "shell/UiServices.h"

namespace {

TSearchWindowRunner& InstalledRunner() {
  static TSearchWindowRunner runner;
  return runner;
}

}  // namespace

TSearchForm::TSearchForm() {
  SetLooking(0);
  SetFounded(0);
  SetMaxAddress(247);
}

void TSearchForm::Changed() {
  if (OnChange) OnChange();
}

void TSearchForm::SetLooking(int n) {
  Looking = n;
  lbLooking = std::to_string(n);
  GaugePosition = n;
  Changed();
}

void TSearchForm::SetFounded(int n) {
  Founded = n;
  lbFounded = std::to_string(n);
  Changed();
}

void TSearchForm::SetMaxAddress(int n) {
  MaxAddress = n;
  GaugeMax = n;
  Changed();
}

void TSearchForm::Show() { Shown = true; }

void TSearchForm::Hide() {
  if (!Shown) return;
  Shown = false;
  if (OnHide) OnHide();
}

void TSearchForm::btStopClick() { Hide(); }

void TSearchForm::PostClose() {
  ClosePosted = true;
  if (OnClose) OnClose();
}

void TSearchForm::FormActivate() {
  // Switching to another program and back activates the window again; one search per window.
  if (Started) return;
  Started = true;
  try {
    SearchAllDevices(*this);
  } catch (const std::exception& e) {
    // The line could not be set up: the caller of the window reports it.
    if (Looking == 0) {
      Error = std::current_exception();
      PostClose();
      return;
    }
    // The loop was left without its closing step: keep what was found, report the error and
    // let the modal display end so that the caller restores the cursor.
    Ui().ShowError(e.what());
    Failed = true;
    PostClose();
  }
}

TTreeNode* PortTreeNode(TprPort* port) {
  TMainForm* main = MainForm();
  if (!main) return nullptr;
  TTreeNode* selected = main->Selected();
  if (selected && (!port || selected->Data == port)) return selected;
  for (TTreeNode* node : main->Items())
    if (node->Data == port) return node;
  return nullptr;
}

namespace {

TTask<> SearchTask(TSearchForm& W) {
  // The window may close while a probe is on the line (its Stop button ends the modal display
  // at once): the module that probe finds still joins the tree, then the search ends.
  const std::weak_ptr<void> window = W.Alive();
  TprPort* port = W.Port;
  TTreeNode* parent = PortTreeNode(port);
  if (port) {
    TLineExecutor& line = LineOf(port);
    // The line of a selected port is open unless its open failed: try again, so that the user
    // sees why it cannot be searched instead of an error of the first probe on a closed line.
    // Each address is asked once and its reply names it: no wait for late replies.
    auto open = OnLine(line, [port] {
      if (port->ComPort && !port->ComPort->Connected()) port->ComPort->Open();
      port->ApplySettings();
      port->ClearReplyGuards();
      return port->InitMode();
    });
    const bool initMode = co_await open;
    if (!window.expired()) W.SetMaxAddress(initMode ? 1 : 247);
    if (MainForm() && parent) MainForm()->ClearDevices(parent);
    for (int address = 1; !window.expired() && address <= W.MaxAddress; ++address) {
      if (W.BeforeAddress) W.BeforeAddress();
      // The Stop button hides the window; the search ends before the next address.
      if (!W.Visible()) break;
      W.SetLooking(address);
      auto probe = OnLine(line, [port, address] {
        std::optional<TScanHit> answered;
        TScanHit probed;
        if (ProbeAddress(*port, static_cast<uint8_t>(address), probed)) answered = probed;
        Clock().Sleep(kScanAddressPauseMs);
        return answered;
      });
      const std::optional<TScanHit> hit = co_await probe;
      if (!hit) continue;
      if (!window.expired()) W.IncFounded();
      if (MainForm() && parent) MainForm()->AddDevice(parent, hit->ModelIndex, uint32_t(hit->Address), hit->Code);
    }
  }
  if (!window.expired()) W.PostClose();
}

}  // namespace

void SearchAllDevices(TSearchForm& W) {
  // The search lives as long as the tree it adds to.
  std::weak_ptr<void> owner = MainForm() ? MainForm()->Alive() : W.Alive();
  StartTask(SearchTask(W), std::move(owner), [&W, window = W.Alive()](std::exception_ptr error) {
    // The line could not be set up: the caller of the window reports it.
    if (!window.expired() && W.Looking == 0) {
      W.Error = error;
      W.PostClose();
      return;
    }
    // The loop was left without its closing step: keep what was found, report the error and
    // let the modal display end so that the caller restores the cursor.
    ShowError(error);
    if (window.expired()) return;
    W.Failed = true;
    W.PostClose();
  });
}

TSearchWindowRunner SetSearchWindowRunner(TSearchWindowRunner runner) {
  TSearchWindowRunner previous = std::move(InstalledRunner());
  InstalledRunner() = std::move(runner);
  return previous;
}

void RunSearchWindowInPlace(TSearchForm& W) {
  W.Show();
  W.FormActivate();
  // The posted close is taken at once: nothing else is queued in place of an event loop.
  if (W.CloseRequested()) W.Hide();
}

void RunSearchWindow(TSearchForm& W) {
  if (InstalledRunner())
    InstalledRunner()(W);
  else
    RunSearchWindowInPlace(W);
  if (W.Error) std::rethrow_exception(W.Error);
}
