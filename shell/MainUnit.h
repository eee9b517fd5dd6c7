#pragma once
// Logic of the main window: the device tree, the program start, the line following the
// selection, pages shown and released, and the calibration flag. The Qt window renders it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"

class TprNode;
class TprForm;

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
  // The serial line's port for a node: its own name for a port, its parent's for a module,
  // empty for the computer.
  static std::string LinePortOf(const TTreeNode* node);
  void SetCalibrationEnabled(bool enabled) { CalibrationEnabled = enabled; }
  // The selection change to node (runs before the selection moves; always allowed).
  // Reselecting the selected node changes nothing. A failure to close the old line is
  // ignored (its device is released all the same). When the line cannot be opened, the
  // selection and the pages still move, the line stays closed and the open error is rethrown
  // for the caller to show; an error of a page's release or show comes after it.
  void Select(TTreeNode* node);
  // Calibration enable after the password dialog: ok false means the dialog was cancelled.
  void EnableCalibration(bool ok, const std::string& enteredPassword);
  // The menu item "Разрешить калибровку": the password dialog (Ui().PasswordDialog), then
  // EnableCalibration.
  void miEnableCalibrateClick();

  TTreeNode* Root() const { return RootNode.get(); }
  TTreeNode* Selected() const { return SelectedNode; }
  // Tree nodes in display order (index 0 the computer, 1 the first port, ...).
  std::vector<TTreeNode*> Items() const;

  TCustomComPort* ComPort;
  bool CalibrationEnabled = false;
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
};

// The one main window of the program (set while it exists); pages read CalibrationEnabled and
// the search adds nodes under the selected port through it.
TMainForm* MainForm();
