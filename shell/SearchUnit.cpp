#include "shell/SearchUnit.h"

#include <exception>

#include "comm/prPort.h"
#include "shell/BusScan.h"
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
    // The loop was left without its closing step: keep what was found, report the error and
    // let the modal display end so that the caller restores the cursor.
    Ui().ShowError(e.what());
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

void SearchAllDevices(TSearchForm& W) {
  TprPort* port = W.Port;
  TTreeNode* parent = PortTreeNode(port);
  if (port) {
    ScanBus(
        *port, 1, W.MaxAddress,
        [&W](int address) {
          Ui().ProcessMessages();
          if (!W.Visible()) return false;
          W.SetLooking(address);
          return true;
        },
        [&W, parent](const TScanHit& hit) {
          W.IncFounded();
          if (MainForm() && parent)
            MainForm()->AddDevice(parent, hit.ModelIndex, uint32_t(hit.Address), hit.Code);
        });
  }
  W.PostClose();
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
}
