// The module search from the port page against simulated modules on an in-memory line with the
// fake clock: what is probed, what the tree gets, stopping, line errors, the pauses.
#include <gtest/gtest.h>

#include <functional>

#include "comm/prPort.h"
#include "models/prDevice.h"
#include "shell/MainUnit.h"
#include "shell/PortUnit.h"
#include "shell/SearchUnit.h"
#include "support/PortRig.h"
#include "support/RecordingUi.h"

namespace {

struct FoundModule {
  std::string Name;
  uint32_t Address;
  std::string Kind;
  bool operator==(const FoundModule&) const = default;
};

std::ostream& operator<<(std::ostream& os, const FoundModule& m) {
  return os << m.Name << "@" << m.Address << " (" << m.Kind << ")";
}

// What the search window showed when its modal display ended.
struct WindowSnapshot {
  int Looking = -1, Founded = -1, MaxAddress = -1, GaugeMax = -1, GaugePosition = -1;
  std::string lbLooking, lbFounded;
  bool CloseRequested = false, Visible = true;
};

class Search : public ::testing::Test, protected TPortRig {
 protected:
  Search() {
    PreviousRunner = SetSearchWindowRunner([this](TSearchForm& w) {
      Window = &w;
      w.BeforeAddress = [this] {
        ++Addresses;
        if (OnAddress && Window) OnAddress(*Window);
      };
      RunSearchWindowInPlace(w);
      Shown = {w.Looking,   w.Founded,   w.MaxAddress,       w.GaugeMax,
               w.GaugePosition, w.lbLooking, w.lbFounded, w.CloseRequested(), w.Visible()};
      Window = nullptr;
    });
  }
  ~Search() override { SetSearchWindowRunner(std::move(PreviousRunner)); }

  void SetUp() override { ASSERT_TRUE(Start()); }

  void SelectProtocol(int item) {
    Page->cbProtocol->SetItemIndex(item);
    Page->cbProtocolChange();
  }
  // Presses the search button; returns the addresses probed, in order.
  std::vector<int> RunSearch() {
    const size_t before = Sim->Frames.size();
    Page->bbSearchClick();
    return ProbedAddresses(before);
  }
  std::vector<FoundModule> Found() const {
    std::vector<FoundModule> found;
    for (const auto& child : PortNode->Children) {
      uint32_t address = 0;
      if (auto* model = dynamic_cast<TprModel*>(child->Data)) address = model->Address;
      if (auto* unknown = dynamic_cast<TprDevice*>(child->Data)) address = unknown->Address;
      EXPECT_EQ(child->Text, child->Data->NameText);
      EXPECT_EQ(child->Data->ParentNode, PortNode->Data);
      found.push_back({child->Data->NameText, address, child->Data->KindText});
    }
    return found;
  }
  static std::vector<int> Range(int from, int to) {
    std::vector<int> r;
    for (int i = from; i <= to; ++i) r.push_back(i);
    return r;
  }

  TRecordingUi Ui;

  TSearchWindowRunner PreviousRunner;
  TSearchForm* Window = nullptr;
  WindowSnapshot Shown;
  // Runs before each address, where the user may act while the search waits.
  std::function<void(TSearchForm&)> OnAddress;
  int Addresses = 0;
};

const std::string Module = "Модуль ввода-вывода";

TEST_F(Search, FindsBetaAtSeventeen) {
  Bus->AddModel(3, 17);
  Line.SetBaudRate(br1200);  // moved behind the port's back: the search applies the settings
  int children = -1;
  bool busyCursor = false;
  OnAddress = [&](TSearchForm&) {
    if (children < 0) children = int(PortNode->Children.size());
    busyCursor = Ui.Current == TCursorKind::AppStart;
    EXPECT_EQ(Line.BaudRate(), br9600);
  };

  EXPECT_EQ(RunSearch(), Range(1, 247));
  EXPECT_EQ(Found(), (std::vector<FoundModule>{{"BETA-02", 17, Module}}));
  EXPECT_EQ(children, 0);
  EXPECT_TRUE(busyCursor);
  EXPECT_EQ(Ui.Current, TCursorKind::Default);
  EXPECT_EQ(Shown.Founded, 1);
  EXPECT_EQ(Shown.lbFounded, "1");
  EXPECT_EQ(Shown.Looking, 247);
  EXPECT_EQ(Shown.lbLooking, "247");
  EXPECT_EQ(Shown.MaxAddress, 247);
  EXPECT_EQ(Shown.GaugeMax, 247);
  EXPECT_EQ(Shown.GaugePosition, 247);
  EXPECT_TRUE(Shown.CloseRequested);
  EXPECT_FALSE(Shown.Visible);
  EXPECT_EQ(Addresses, 247);
  EXPECT_TRUE(Ui.Errors.empty());
}

// The 30 ms pause comes after every address, once its probe is done and before the next one,
// answered or not; a stopped search takes none for the address it did not probe.
TEST_F(Search, PausesThirtyMillisecondsAfterEveryAddress) {
  Bus->AddModel(1, 2);
  Bus->AddModel(4, 3);
  const size_t framesBefore = Sim->Frames.size();
  std::vector<size_t> probedAtPause;
  std::vector<int> pauses;
  Fake.OnSleep = [&](int ms) {
    probedAtPause.push_back(Sim->Frames.size() - framesBefore);
    pauses.push_back(ms);
  };
  OnAddress = [&](TSearchForm& w) {
    if (w.Looking == 200) w.btStopClick();
  };
  RunSearch();
  ASSERT_EQ(probedAtPause.size(), 200u);
  for (size_t i = 0; i < probedAtPause.size(); ++i) {
    EXPECT_EQ(probedAtPause[i], i + 1);
    EXPECT_EQ(pauses[i], 30);
  }
}

// On the fake clock an address costs what the exchange rules allow and the pause: request
// wire time plus read total time-out for a silent address.
TEST_F(Search, SilentAddressTakesItsTimeOutAndThePause) {
  Page->chbInit->SetChecked(true);
  Page->chbInitClick();
  const int64_t start = Fake.NowMs();
  RunSearch();
  auto* port = dynamic_cast<TprPort*>(PortNode->Data);
  const TComTimeouts& t = Line.Timeouts();
  const double expected =
      8 * port->CharTimeMs() + t.ReadTotalMultiplier * 7 + t.ReadTotalConstant + 30;
  EXPECT_NEAR(double(Fake.NowMs() - start), expected, 1.0);
  // Searching again asks the silent address at once: a probe's reply names its address, so
  // the search never waits for a late one.
  const int64_t again = Fake.NowMs();
  RunSearch();
  EXPECT_NEAR(double(Fake.NowMs() - again), expected, 1.0);
}

TEST_F(Search, InitModeProbesAddressOneOnly) {
  Bus->AddModel(5, 33, /*initMode=*/true);  // answers at 1
  Bus->AddModel(2, 2);
  Page->chbInit->SetChecked(true);
  Page->chbInitClick();
  EXPECT_EQ(Page->bbSearch->Caption, "Поиск модуля");

  EXPECT_EQ(RunSearch(), (std::vector<int>{1}));
  EXPECT_EQ(Found(), (std::vector<FoundModule>{{"IOTA-04", 1, Module}}));
  EXPECT_EQ(Shown.MaxAddress, 1);
  EXPECT_EQ(Shown.GaugeMax, 1);
  EXPECT_EQ(Shown.GaugePosition, 1);
  EXPECT_EQ(Fake.TotalSleptMs, 30);
}

// Modbus and Vela find the same modules, in ascending address order, the unknown one with its
// address in the kind text.
TEST_F(Search, SameModulesInAddressOrderOverBothProtocols) {
  Bus->AddModel(5, 120);
  Bus->Add(TSimModule::ForModel(0, 60, 0, /*unknownCode=*/7));
  Bus->AddModel(1, 247);
  Bus->AddModel(4, 3);
  Bus->AddModel(2, 9);
  Bus->Add(TSimModule::ForModel(0, 1, 0, /*unknownCode=*/200));
  const std::vector<FoundModule> expected = {
      {"Неизвестный", 1, "Модуль ввода-вывода (адрес: 1)"},
      {"RHO-05", 3, Module},
      {"ETA-03", 9, Module},
      {"Неизвестный", 60, "Модуль ввода-вывода (адрес: 60)"},
      {"IOTA-04", 120, Module},
      {"KAPPA-01", 247, Module},
  };
  for (int item : {0, 2}) {
    SCOPED_TRACE(Page->cbProtocol->Items()[item]);
    SelectProtocol(item);
    const size_t framesBefore = Sim->Frames.size();
    EXPECT_EQ(RunSearch(), Range(1, 247));
    EXPECT_EQ(Sim->Frames[framesBefore].size(), item == 0 ? 8u : 5u);
    EXPECT_EQ(Found(), expected);
    EXPECT_EQ(Shown.Founded, 6);
  }
}

// Stop pressed while address `pressedAt` is probed: the loop sees it before the next address.
TEST_F(Search, StopKeepsTheModulesFoundSoFar) {
  for (int pressedAt : {39, 40}) {
    SCOPED_TRACE(pressedAt);
    Bus->Modules().clear();
    for (uint8_t a : {10, 39, 40, 41, 100}) Bus->AddModel(3, a);
    OnAddress = [&](TSearchForm& w) {
      if (w.Looking == pressedAt) w.btStopClick();
    };
    EXPECT_EQ(RunSearch(), Range(1, pressedAt));
    std::vector<FoundModule> expected = {{"BETA-02", 10, Module}, {"BETA-02", 39, Module}};
    if (pressedAt == 40) expected.push_back({"BETA-02", 40, Module});
    EXPECT_EQ(Found(), expected);
    EXPECT_EQ(Shown.Founded, int(expected.size()));
    EXPECT_TRUE(Shown.CloseRequested);
    EXPECT_EQ(Ui.Current, TCursorKind::Default);
  }
}

TEST_F(Search, ClearsOldModulesEvenWhenNothingAnswers) {
  Bus->AddModel(1, 4);
  Bus->AddModel(2, 5);
  RunSearch();
  ASSERT_EQ(PortNode->Children.size(), 2u);
  Bus->Modules().clear();
  RunSearch();
  EXPECT_TRUE(PortNode->Children.empty());
  EXPECT_EQ(Shown.Founded, 0);
  EXPECT_EQ(Shown.lbFounded, "0");
}

// The adapter goes away at address 10: the error is shown, the window closes, the cursor comes
// back, and the module found before stays.
TEST_F(Search, LineErrorEndsTheSearchAndKeepsEarlierFinds) {
  Bus->AddModel(3, 5);
  Bus->AddModel(1, 20);
  OnAddress = [&](TSearchForm& w) {
    if (w.Looking == 9) Line.Close();
  };
  EXPECT_EQ(RunSearch(), Range(1, 9));
  EXPECT_EQ(Found(), (std::vector<FoundModule>{{"BETA-02", 5, Module}}));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_EQ(Ui.Errors[0], EComPort(CError_PurgeFailed, EBADF).what());
  EXPECT_TRUE(Shown.CloseRequested);
  EXPECT_FALSE(Shown.Visible);
  EXPECT_EQ(Shown.Looking, 10);
  EXPECT_EQ(Ui.CursorLog, (std::vector<TCursorKind>{TCursorKind::AppStart, TCursorKind::Default}));
}

// An error out of the modal display itself passes to the caller's error box; the cursor is
// restored on the way out all the same.
TEST_F(Search, CursorRestoredWhenTheModalDisplayFails) {
  Ui.Current = TCursorKind::HandPoint;
  SetSearchWindowRunner([](TSearchForm&) { throw std::runtime_error("no display"); });
  EXPECT_THROW(Page->bbSearchClick(), std::runtime_error);
  EXPECT_EQ(Ui.Current, TCursorKind::HandPoint);
}

}  // namespace
