// The main window logic against a recording serial line: start, the line following the
// selection, pages shown and released, node deletion, the calibration password.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "comm/Clock.h"
#include "comm/prNode.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "shell/CompUnit.h"
#include "shell/MainUnit.h"
#include "shell/PasswordUnit.h"
#include "shell/prUnit.h"
#include "support/RecordingComBackend.h"
#include "support/RecordingUi.h"

namespace {

int PagesAlive = 0;
int PagesCreated = 0;

// A page that counts its instances.
class TCountingPage : public TprForm {
 public:
  explicit TCountingPage(TprNode* owner) : TprForm(owner) {
    ++PagesAlive;
    ++PagesCreated;
  }
  ~TCountingPage() override { --PagesAlive; }
};

const bool CountingRegistered = (RegisterPageClass("TCountingPage",
                                                   [](TprNode* owner) {
                                                     return new TCountingPage(owner);
                                                   }),
                                 true);

// Freed with the node object that owns it.
class TSentinel : public TComponent {
 public:
  TSentinel(TComponent* owner, int& freed) : TComponent(owner), Freed(freed) {}
  ~TSentinel() override { ++Freed; }
  int& Freed;
};

// The recorder with a scripted password dialog.
class TPasswordUi : public TRecordingUi {
 public:
  bool PasswordDialog(std::string& password) override {
    ++PasswordDialogs;
    password = PasswordText;
    return PasswordOk;
  }
  int PasswordDialogs = 0;
  bool PasswordOk = false;
  std::string PasswordText;
  bool NetworkPortDialog(std::string& host, int& port) override {
    host = GatewayHost;
    port = GatewayPort;
    return true;
  }
  std::string GatewayHost;
  int GatewayPort = 0;
};

class MainFormTest : public ::testing::Test {
 protected:
  MainFormTest() : Clocks(&Fake), Form(*Line.Line) {
    (void)CountingRegistered;
    PagesAlive = PagesCreated = 0;
    Form.EnumPorts = [this](std::vector<std::string>& list) { list = MachinePorts; };
  }

  void Start(std::vector<std::string> ports) {
    MachinePorts = std::move(ports);
    ASSERT_TRUE(Form.FormShowFirst());
    Rec().Log.clear();
  }

  TRecordingComBackend& Rec() { return *Line.Rec; }
  TTreeNode* Item(size_t index) { return Form.Items().at(index); }
  TTreeNode* Port(size_t index) { return Form.Root()->Children.at(index).get(); }
  // A module under the port whose page counts its instances.
  TTreeNode* AddModule(TTreeNode* port, int model, uint32_t address) {
    TTreeNode* node = Form.AddDevice(port, model, address);
    node->Data->PageClass = "TCountingPage";
    return node;
  }

  TFakeClock Fake;
  TClockGuard Clocks;
  TPasswordUi Ui;
  TRecordingComLine Line;
  TMainForm Form;
  std::vector<std::string> MachinePorts;
};

using Log = std::vector<std::string>;

TEST_F(MainFormTest, StartWithOnePortShowsTheComputerPageWithTheLineClosed) {
  MachinePorts = {"/dev/ttyUSB0"};
  ASSERT_TRUE(Form.FormShowFirst());

  ASSERT_EQ(Form.Items().size(), 2u);
  TTreeNode* computer = Form.Root();
  EXPECT_EQ(computer->Text, "Мой компьютер");
  EXPECT_EQ(computer->ImageIndex, 0);
  ASSERT_EQ(computer->Children.size(), 1u);
  TTreeNode* port = Port(0);
  EXPECT_EQ(port->Text, "/dev/ttyUSB0");
  EXPECT_EQ(port->ImageIndex, 1);
  auto* portNode = dynamic_cast<TprPort*>(port->Data);
  ASSERT_NE(portNode, nullptr);
  EXPECT_EQ(portNode->NameText, "/dev/ttyUSB0");
  EXPECT_EQ(portNode->KindText, "Последовательный порт");
  EXPECT_EQ(portNode->PageClass, "TPortForm");
  EXPECT_EQ(portNode->ParentNode, computer->Data);
  EXPECT_EQ(portNode->ComPort, Line.Line.get());
  EXPECT_FALSE(portNode->PageShown);
  EXPECT_EQ(portNode->Page, nullptr);

  EXPECT_TRUE(Rec().Log.empty());
  EXPECT_FALSE(Line.Line->Connected());
  EXPECT_EQ(Form.Selected(), computer);
  TprNode* comp = computer->Data;
  EXPECT_EQ(comp->NameText, "Мой компьютер");
  EXPECT_EQ(comp->KindText, "Этот персональный компьютер");
  EXPECT_TRUE(comp->PageShown);
  auto* page = dynamic_cast<TCompForm*>(comp->Page);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->ClassName, "TCompForm");
  EXPECT_EQ(page->lbCaption, " Мой компьютер - Этот персональный компьютер");
  EXPECT_TRUE(Ui.Messages.empty());
}

TEST_F(MainFormTest, FindPortsStripsOneTrailingNulAndAppendsTheExtraPorts) {
  MachinePorts = {std::string("/dev/ttyS0\0", 11), std::string("/dev/ttyS1\0\0", 12), "/dev/ttyS2"};
  Form.ExtraPorts = {"/dev/pts/7"};
  std::vector<std::string> list = {"stale"};
  ASSERT_TRUE(Form.FindPorts(list));
  EXPECT_EQ(list, (std::vector<std::string>{"/dev/ttyS0", std::string("/dev/ttyS1\0", 11),
                                            "/dev/ttyS2", "/dev/pts/7"}));

  MachinePorts.clear();
  Form.ExtraPorts.clear();
  EXPECT_FALSE(Form.FindPorts(list));
  EXPECT_TRUE(list.empty());
}

TEST_F(MainFormTest, NoPortShowsTheMessageAndBuildsNothing) {
  EXPECT_FALSE(Form.FormShowFirst());
  ASSERT_EQ(Ui.Messages.size(), 1u);
  EXPECT_EQ(Ui.Messages[0].Text,
            "Последовательных портов не обнаружено!\r\nРабота с программой невозможна.");
  EXPECT_EQ(Ui.Messages[0].Caption, "ORBIS Utility");
  EXPECT_EQ(Ui.Messages[0].Icon, TMsgIcon::Error);
  EXPECT_EQ(Form.Root(), nullptr);
  EXPECT_TRUE(Rec().Log.empty());
}

TEST_F(MainFormTest, ExtraPortsAloneAreEnoughToStart) {
  Form.ExtraPorts = {"/dev/pts/3"};
  ASSERT_TRUE(Form.FormShowFirst());
  ASSERT_EQ(Form.Items().size(), 2u);
  EXPECT_EQ(Item(1)->Text, "/dev/pts/3");
}

TEST_F(MainFormTest, ReselectingTheSelectedNodeChangesNothing) {
  Start({"/dev/ttyA"});
  Form.Select(Port(0));
  TprForm* page = Port(0)->Data->Page;
  ASSERT_NE(page, nullptr);
  Rec().Log.clear();

  Form.Select(Port(0));
  EXPECT_TRUE(Rec().Log.empty());
  EXPECT_TRUE(Line.Line->Connected());
  EXPECT_EQ(Port(0)->Data->Page, page);
}

TEST_F(MainFormTest, ModuleToModuleOnOnePortReopensOnTheSameName) {
  Start({"/dev/ttyA", "/dev/ttyB"});
  TTreeNode* first = AddModule(Port(0), 1, 1);
  TTreeNode* second = AddModule(Port(0), 3, 2);
  Form.Select(first);
  EXPECT_EQ(Rec().Log, (Log{"open /dev/ttyA"}));
  Rec().Log.clear();

  Form.Select(second);
  EXPECT_EQ(Rec().Log, (Log{"close", "open /dev/ttyA"}));
  EXPECT_EQ(Line.Line->Port(), "/dev/ttyA");
  EXPECT_TRUE(Line.Line->Connected());
}

TEST_F(MainFormTest, ModuleOnAnotherPortSwitchesTheNameBeforeOpening) {
  Start({"/dev/ttyA", "/dev/ttyB"});
  TTreeNode* onA = AddModule(Port(0), 1, 1);
  TTreeNode* onB = AddModule(Port(1), 2, 5);
  Form.Select(onA);
  Rec().Log.clear();

  Form.Select(onB);
  EXPECT_EQ(Rec().Log, (Log{"close", "open /dev/ttyB"}));
  EXPECT_EQ(Line.Line->Port(), "/dev/ttyB");

  // Back to the computer: closed, and it stays closed.
  Rec().Log.clear();
  Form.Select(Form.Root());
  EXPECT_EQ(Rec().Log, (Log{"close"}));
  EXPECT_FALSE(Line.Line->Connected());
}

// A gateway named on the command line or added from the computer's page shows as HOST:PORT,
// and its line opens on the whole name; adding the same gateway again selects its node.
TEST_F(MainFormTest, AGatewayPortShowsItsHostAndPortAndOpensItsConnection) {
  Form.ExtraPorts = {"tcp://10.0.0.5:4001"};
  Start({"/dev/ttyA"});
  TTreeNode* gateway = Port(1);
  EXPECT_EQ(gateway->Text, "10.0.0.5:4001");
  EXPECT_EQ(gateway->Data->NameText, gateway->Text);
  EXPECT_EQ(gateway->Data->KindText, kGatewayKindText);
  Form.Select(gateway);
  EXPECT_EQ(Rec().Log, (Log{"open tcp://10.0.0.5:4001"}));

  Ui.GatewayHost = "fe80::7";
  Ui.GatewayPort = 502;
  for (int twice = 0; twice < 2; ++twice) Form.AddNetworkPortClick();
  ASSERT_EQ(Form.Root()->Children.size(), 3u);
  EXPECT_EQ(Form.Selected(), Port(2));
  EXPECT_EQ(Port(2)->Text, "[fe80::7]:502");
  EXPECT_EQ(Line.Line->Port(), "tcp://[fe80::7]:502");
  EXPECT_TRUE(Line.Line->Connected());
}

TEST_F(MainFormTest, SelectionReleasesTheOldPageAndShowsTheNewOne) {
  Start({"/dev/ttyA"});
  TTreeNode* first = AddModule(Port(0), 1, 1);
  TTreeNode* second = AddModule(Port(0), 1, 2);
  std::vector<std::string> events;
  Form.OnPageShown = [&](TprNode* node) {
    ASSERT_NE(node->Page, nullptr);
    events.push_back("shown " + node->Page->lbCaption);
  };
  Form.OnPageReleased = [&](TprForm* page) { events.push_back("released " + page->lbCaption); };

  Form.Select(first);
  Form.Select(second);
  EXPECT_EQ(events, (std::vector<std::string>{
                        "released  Мой компьютер - Этот персональный компьютер",
                        "shown  KAPPA-01 - Модуль ввода-вывода",
                        "released  KAPPA-01 - Модуль ввода-вывода",
                        "shown  KAPPA-01 - Модуль ввода-вывода"}));
  EXPECT_EQ(PagesCreated, 2);
  EXPECT_EQ(PagesAlive, 1);
  EXPECT_FALSE(first->Data->PageShown);
  EXPECT_EQ(first->Data->Page, nullptr);
  EXPECT_TRUE(second->Data->PageShown);
}

TEST_F(MainFormTest, ReleasedPagesGoOnlyWhenTheDeferredWorkRuns) {
  Start({"/dev/ttyA"});
  TTreeNode* module = AddModule(Port(0), 4, 3);
  std::deque<std::function<void()>> queued;
  Form.DeferRelease = [&](std::function<void()> work) { queued.push_back(std::move(work)); };

  Form.Select(module);
  EXPECT_EQ(PagesAlive, 1);
  Form.Select(Port(0));
  EXPECT_EQ(PagesAlive, 1);  // released, still waiting for the queued messages
  EXPECT_EQ(module->Data->Page, nullptr);
  ASSERT_FALSE(queued.empty());
  for (auto& work : queued) work();
  EXPECT_EQ(PagesAlive, 0);
}

TEST_F(MainFormTest, DeletingTheSelectedPortsModulesFreesPageAndDevice) {
  Start({"/dev/ttyA"});
  TTreeNode* module = AddModule(Port(0), 5, 4);
  AddModule(Port(0), 0, 9);
  int devicesFreed = 0;
  for (auto& child : Port(0)->Children) new TSentinel(child->Data, devicesFreed);
  auto* model = dynamic_cast<TprModel*>(module->Data);
  ASSERT_NE(model, nullptr);
  int registersFreed = 0;
  new TSentinel(model->Registers().front(), registersFreed);

  // Deferred destruction: the node frees the page before the deferred work can run.
  std::deque<std::function<void()>> queued;
  Form.DeferRelease = [&](std::function<void()> work) { queued.push_back(std::move(work)); };
  Form.Select(module);
  ASSERT_EQ(PagesAlive, 1);
  Rec().Log.clear();

  Form.ClearDevices(Port(0));
  EXPECT_EQ(PagesAlive, 0);
  EXPECT_EQ(devicesFreed, 2);
  EXPECT_EQ(registersFreed, 1);
  EXPECT_TRUE(Port(0)->Children.empty());
  // The selection moved to the port, on the same line.
  EXPECT_EQ(Form.Selected(), Port(0));
  EXPECT_TRUE(Port(0)->Data->PageShown);
  EXPECT_EQ(Rec().Log, (Log{"close", "open /dev/ttyA"}));
  for (auto& work : queued) work();  // must not free the page a second time
  EXPECT_EQ(PagesAlive, 0);
}

TEST_F(MainFormTest, AddDeviceSetsTheModuleUpUnderItsPort) {
  Start({"/dev/ttyA"});
  TTreeNode* known = Form.AddDevice(Port(0), 2, 17);
  TTreeNode* unknown = Form.AddDevice(Port(0), 0, 33);
  EXPECT_EQ(known->Text, "ETA-03");
  EXPECT_EQ(known->ImageIndex, 2);
  EXPECT_EQ(known->Data->ParentNode, Port(0)->Data);
  EXPECT_EQ(known->Data->KindText, "Модуль ввода-вывода");
  EXPECT_EQ(dynamic_cast<TprModel*>(known->Data)->Address, 17u);
  EXPECT_EQ(unknown->Text, "Неизвестный");
  EXPECT_EQ(unknown->Data->KindText, "Модуль ввода-вывода (адрес: 33)");
  EXPECT_EQ(unknown->Data->PageClass, "TUnknownForm");
  EXPECT_EQ(dynamic_cast<TprDevice*>(unknown->Data)->Address, 33u);
  EXPECT_FALSE(unknown->Data->PageShown);
  EXPECT_EQ(Form.Items().size(), 4u);
}

TEST_F(MainFormTest, AFailedOpenLetsTheSelectionMoveWithTheLineClosed) {
  Start({"/dev/ttyA"});
  Rec().FailOpen = true;
  EXPECT_THROW(Form.Select(Port(0)), EComPort);
  EXPECT_EQ(Form.Selected(), Port(0));
  EXPECT_TRUE(Port(0)->Data->PageShown);
  EXPECT_FALSE(Form.Root()->Data->PageShown);
  EXPECT_FALSE(Line.Line->Connected());

  Rec().FailOpen = false;
  Form.Select(Form.Root());
  EXPECT_TRUE(Form.Root()->Data->PageShown);
}

// A port the user may not open is reported when the user selects it, not at start.
using RoughEdgesStartup = MainFormTest;
TEST_F(RoughEdgesStartup, NoPortIsOpenedOrReportedBeforeItIsSelected) {
  Rec().FailOpen = true;
  MachinePorts = {"/dev/ttyA", "/dev/ttyB"};
  ASSERT_TRUE(Form.FormShowFirst());
  EXPECT_TRUE(Ui.Errors.empty());
  EXPECT_TRUE(Rec().Log.empty());
  EXPECT_EQ(Form.Selected(), Form.Root());
  EXPECT_TRUE(Form.Root()->Data->PageShown);
  EXPECT_THROW(Form.Select(Port(1)), EComPort);
}

// A module of no known model: its page says which code it reported and that this version
// does not support it.
using RoughEdgesUnknownModule = MainFormTest;
TEST_F(RoughEdgesUnknownModule, ThePageNamesTheReportedCode) {
  Start({"/dev/ttyA"});
  for (int code : {215, -1}) {
    SCOPED_TRACE(code);
    TTreeNode* unknown = Form.AddDevice(Port(0), 0, 33, code);
    Form.Select(unknown);
    auto* page = dynamic_cast<TCompForm*>(unknown->Data->Page);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->mMain, UnknownModuleText(code));
    EXPECT_NE(page->mMain.find(code < 0 ? "?" : "215"), std::string::npos) << page->mMain;
    EXPECT_NE(page->mMain, SupportedModulesText());
    Form.Select(Form.Root());
  }
}

// --- calibration password ---------------------------------------------------------------

struct TPasswordCase {
  const char* Name;
  bool Before;
  bool Ok;
  std::string Entered;
  bool After;
  bool WrongMessage;
};

class PasswordTest : public MainFormTest,
                     public ::testing::WithParamInterface<TPasswordCase> {};

TEST_P(PasswordTest, TheDialogDecidesTheFlag) {
  const TPasswordCase& c = GetParam();
  Form.SetCalibrationEnabled(c.Before);
  Ui.PasswordOk = c.Ok;
  Ui.PasswordText = c.Entered;
  Form.miEnableCalibrateClick();
  EXPECT_EQ(Ui.PasswordDialogs, 1);
  EXPECT_EQ(Form.CalibrationEnabled, c.After);
  if (c.WrongMessage) {
    ASSERT_EQ(Ui.Messages.size(), 1u);
    EXPECT_EQ(Ui.Messages[0].Text, "Неверный пароль!");
    EXPECT_EQ(Ui.Messages[0].Caption, "ORBIS Utility");
    EXPECT_EQ(Ui.Messages[0].Icon, TMsgIcon::Error);
  } else {
    EXPECT_TRUE(Ui.Messages.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasswordTest,
    ::testing::Values(TPasswordCase{"Right", false, true, "7", true, false},
                      TPasswordCase{"WrongAfterRight", true, true, "8", false, true},
                      TPasswordCase{"Empty", false, true, "", false, true},
                      TPasswordCase{"WholeTextOnly", false, true, "77", false, true},
                      TPasswordCase{"CancelKeepsOn", true, false, "8", true, false},
                      TPasswordCase{"CancelKeepsOff", false, false, "7", false, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CalibrationPassword, IsOneCharacter) { EXPECT_EQ(CalibrationPassword(), "7"); }

}  // namespace
