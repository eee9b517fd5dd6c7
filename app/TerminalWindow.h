#pragma once
// The "Терминал" window: every exchange on the line as it happens (filtered, paused, cleared,
// saved), the health of the bus module by module, and a frame sent by hand while calibration
// is enabled. Non-modal; it lives beside the main window and outlasts every selection.
#include <QTimer>
#include <QWidget>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/TerminalModel.h"
#include "models/BusHealth.h"
#include "models/BusTrace.h"
#include "shell/TerminalUnit.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;
class TMainForm;

class TTerminalWindow : public QWidget {
  Q_OBJECT
 public:
  TTerminalWindow(TMainForm* form, QWidget* parent = nullptr,
                  size_t capacity = TTerminalModel::DefaultCapacity);
  ~TTerminalWindow() override;

  // Places the window beside `main` on the side with more room, narrowed to it down to this
  // width (or the narrowest its controls allow); over it where the screen has no such room.
  static constexpr int MinimumPlacedWidth = 560;
  void PlaceBeside(QWidget* main);
  // Takes the exchanges reported since the last call (the timer calls it while shown).
  void Drain();

  TTerminalModel* Model() { return Log; }
  const TBusHealth& Health() const { return BusHealth; }

  QSpinBox* seAddress;
  QComboBox* cbOutcome;
  QPushButton* btPause;
  QPushButton* btClear;
  QPushButton* btSave;
  QTableView* tvLog;
  QTableWidget* tvHealth;
  QLineEdit* edFrame;
  QCheckBox* chbNoChecksum;
  QPushButton* btSend;
  QLabel* lbFrameHint;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  // Exchanges handed over from the thread that ran them.
  struct TInbox {
    std::mutex Lock;
    std::vector<TExchangeRecord> Records;
  };

  void ApplyFilter();
  void btPauseClick();
  void btClearClick();
  void btSaveClick();
  void btSendClick();
  void UpdateHealth();
  // Asks the selected port's line whether a frame may go, and shows what is known.
  void UpdateSendState();
  void ShowSendState();
  int ModelOf(const std::string& port, int address) const;
  // Widens the port column for a port name it cuts.
  void FitPortColumn(const std::string& port);

  TMainForm* Form;
  TTerminalModel* Log;
  TBusHealth BusHealth;
  TModelMemory Models;
  std::shared_ptr<TInbox> Inbox = std::make_shared<TInbox>();
  std::unique_ptr<TTapListener> Listener;
  QTimer Tick;
  bool Paused = false;
  bool HealthChanged = false;
  std::string WidestPort;  // the last port name the column was fitted to
  // The selected port's line as it last answered, and whether a question is on the line.
  TprPort* FactsPort = nullptr;
  TLineFacts Facts;
  bool Asking = false;
};
