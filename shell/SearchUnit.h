#pragma once
// The search window: its progress state and the scan of the bus addresses of one port. The Qt
// dialog renders the state and feeds the Stop button back; nothing here touches a widget.
#include <exception>
#include <functional>
#include <memory>
#include <string>

class TprPort;
struct TTreeNode;

class TSearchForm {
 public:
  TSearchForm();

  static constexpr const char* Caption = "Идет поиск...";
  static constexpr const char* LookingCaption = "Просматривается адрес:";
  static constexpr const char* FoundedCaption = "Найдено модулей:";
  static constexpr const char* StopCaption = "Остановить поиск";

  void SetLooking(int n);
  void SetFounded(int n);
  void SetMaxAddress(int n);
  void IncFounded() { SetFounded(Founded + 1); }

  // The Stop button: hides the window; the search notices before its next address.
  void btStopClick();
  // Runs the search the first time the window is activated, never again for this window.
  // A serial line error ends it with the error shown and the window closed.
  void FormActivate();

  // Shown state of the window; the search loop stops once it is false.
  bool Visible() const { return Shown; }
  void Show();
  void Hide();
  // Asks for the window to close once the running handler has returned.
  void PostClose();
  bool CloseRequested() const { return ClosePosted; }
  bool SearchStarted() const { return Started; }
  // The search was ended by an error (already shown to the user).
  bool Failed = false;
  // The line could not be opened or set up: no address was asked. Raised to the caller of
  // the window once it has closed.
  std::exception_ptr Error;

  TprPort* Port = nullptr;
  // Expires with the window: a search still waiting for the line then ends there.
  std::weak_ptr<void> Alive() const { return AliveToken; }
  int Looking = 0;
  int Founded = 0;
  int MaxAddress = 247;

  // What the window displays: the two numbers and the gauge (range 1..GaugeMax).
  std::string lbLooking = "0";
  std::string lbFounded = "0";
  int GaugeMin = 1;
  int GaugeMax = 247;
  int GaugePosition = 0;

  // Notifications for the view: the displayed state changed / a close was posted / the window
  // was hidden by the logic.
  std::function<void()> OnChange;
  // Runs before each address, while the search waits between two probes.
  std::function<void()> BeforeAddress;
  std::function<void()> OnClose;
  std::function<void()> OnHide;

 private:
  void Changed();

  bool Shown = false;
  bool ClosePosted = false;
  bool Started = false;
  std::shared_ptr<char> AliveToken = std::make_shared<char>();
};

// Opens the line of W.Port if it is closed and puts it on the port's settings, clears the
// port's modules from the tree, then scans addresses 1..W.MaxAddress (1 alone in INIT mode)
// and adds every module that answers under the port's node; each exchange runs on the port's
// line. An error before the first address closes the window and is kept in W.Error; a later one
// is shown and closes the window. A line error
// raised before the first wait passes through as EComPort; one raised later is shown and
// closes the window.
void SearchAllDevices(TSearchForm& W);

// The tree node of the port: the selected node of the main window, which is the port's own
// node while its page is shown; else the port's node looked up in the tree (nullptr if none).
TTreeNode* PortTreeNode(TprPort* port);

// Shows the search window modally and returns once it has closed; then raises the window's
// Error, if any. The program installs a
// runner that executes a dialog; without one the window is shown and activated in place,
// which runs the whole search before returning.
using TSearchWindowRunner = std::function<void(TSearchForm&)>;
TSearchWindowRunner SetSearchWindowRunner(TSearchWindowRunner runner);
void RunSearchWindow(TSearchForm& W);
// The runner used when none is installed.
void RunSearchWindowInPlace(TSearchForm& W);
