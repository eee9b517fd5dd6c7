#pragma once
// Logic of the main window: the device tree, the program start, the line following the
// selection, pages shown and released, and the calibration flag. The Qt window renders it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "comm/LineWorker.h"

class TprNode;
class TprForm;

// The kind of a port reached through a serial-to-Ethernet gateway, and through one that
// converts to Modbus TCP.
inline constexpr const char* kGatewayKindText = "сетевой шлюз";
inline constexpr const char* kModbusGatewayKindText = "шлюз Modbus TCP";

// One node of the device tree; it owns its node object (Data) and its children.
struct TTreeNode {
  std::string Text;
  // The row's tool tip (empty: none, or the whole text where the row is cut).
  std::string Hint;
  int ImageIndex = 0;  // 0 computer, 1 serial port, 2 module
  TprNode* Data = nullptr;
  TTreeNode* Parent = nullptr;
  std::vector<std::unique_ptr<TTreeNode>> Children;

  // Frees the children, then the node object (and with it its page and registers).
  ~TTreeNode();
  int Level() const { return Parent ? Parent->Level() + 1 : 0; }
};

class TMainForm {
 public:
  explicit TMainForm(TCustomComPort& comPort);
  // Frees the tree and the shown page without notifying the view: a view drops its page
  // views before the logic goes.
  ~TMainForm();
  // Hides and frees the shown page at once without notifying the view, as the destructor
  // does; the window calls it while the line the page hands its work to still exists.
  void DropShownPage();

  // Shown once: lists the ports, builds the tree and makes the two start selections.
  // Returns false when no serial port exists (the message was shown; the program must end).
  // A failure to open the first port at start is shown in the error box and start goes on.
  bool FormShowFirst();

  bool FindPorts(std::vector<std::string>& list);
  TTreeNode* AddPort(TTreeNode* computer, const std::string& portName);
  // modelCode: the code the module reported, shown on the page of a module of no known model.
  TTreeNode* AddDevice(TTreeNode* port, int modelIndex, uint32_t address, int modelCode = -1);
  void ClearDevices(TTreeNode* port);
  void SetPageShown(TprNode* node, bool shown);
  // The serial line's port for a node: its own port name for a port ("tcp://HOST:PORT" for a
  // gateway shown as "HOST:PORT"), its parent's for a module, empty for the computer.
  static std::string LinePortOf(const TTreeNode* node);
  void SetCalibrationEnabled(bool enabled) { CalibrationEnabled = enabled; }
  // The selection change to node (runs before the selection moves; always allowed).
  // Reselecting the selected node changes nothing. The line changes on the line, behind the
  // exchange in flight; the selection and the pages move at once (the new page's first cycle
  // comes after the line change). A failure to close the old line is ignored (its device is
  // released all the same). When the line cannot be opened, the selection and the pages
  // still move, the line stays closed and the open error is rethrown for the caller to show
  // (shown in the error box when the line reports it later); an error of a page's release or
  // show comes after it.
  void Select(TTreeNode* node);
  // Calibration enable after the password dialog: ok false means the dialog was cancelled.
  void EnableCalibration(bool ok, const std::string& enteredPassword);
  // The menu item "Разрешить калибровку": the password dialog (Ui().PasswordDialog), then
  // EnableCalibration.
  void miEnableCalibrateClick();
  // "Добавить сетевой порт…": asks for a gateway's host and port (Ui().NetworkPortDialog),
  // adds its port node unless the tree has it already, and selects it, which connects.
  void AddNetworkPortClick();

  TTreeNode* Root() const { return RootNode.get(); }
  // Expires with the main window's logic: work for the tree ends with it.
  std::weak_ptr<void> Alive() const { return AliveToken; }
  TTreeNode* Selected() const { return SelectedNode; }
  // Tree nodes in display order (index 0 the computer, 1 the first port, ...).
  std::vector<TTreeNode*> Items() const;

  TCustomComPort* ComPort;
  // Where the line's work runs: set by the program to its line worker before the tree is
  // built (ports take it when added); at once on the calling thread when unset.
  TLineExecutor* Line = nullptr;
  TLineExecutor& LineExecutor() const { return Line ? *Line : InlineLine(); }
  bool CalibrationEnabled = false;
  // What the network port dialog offers first: the gateway entered last.
  std::string LastNetworkHost;
  int LastNetworkPort = 4001;
  // Devices named on the command line and the demo bus, appended to the port list.
  std::vector<std::string> ExtraPorts;
  // The port enumeration FindPorts uses (the machine's serial ports; tests supply a list).
  std::function<void(std::vector<std::string>&)> EnumPorts = EnumComPorts;

  // Notifications for the view.
  // The tree changed (built, nodes added or deleted, the selection moved by the logic):
  // show it again, wholly expanded, with Selected() as the current node.
  std::function<void()> OnTreeChanged;
  std::function<void(TprNode*)> OnPageShown;      // node->Page was just created and shown
  // The page was released: drop its view now, the page itself goes shortly.
  std::function<void(TprForm*)> OnPageReleased;
  // Runs the destruction of a released page once the messages already queued have been
  // handled (the program posts it to its event loop). Unset, the page is destroyed at once.
  std::function<void(std::function<void()>)> DeferRelease;

 private:
  void TreeChanged();
  void ReleasePage(TprForm* page);

  std::unique_ptr<TTreeNode> RootNode;
  TTreeNode* SelectedNode = nullptr;
  bool Building = false;
  std::shared_ptr<char> AliveToken = std::make_shared<char>();
};

// The one main window of the program (set while it exists); pages read CalibrationEnabled and
// the search adds nodes under the selected port through it.
TMainForm* MainForm();
