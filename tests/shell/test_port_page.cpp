// The port page: protocol and INIT logic, the settings each control stores, and the page shown
// over a port changed earlier.
#include <gtest/gtest.h>

#include "comm/prPort.h"
#include "shell/PortUnit.h"
#include "support/ScriptedBackend.h"

namespace {

class PortPage : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetComPort(&line);
    port.NameText = "COM7";
    port.KindText = "Последовательный порт";
    line.SetPort("/dev/sim0");
    line.Open();
  }

  // The page as the main window shows it on selection of the port.
  TPortForm& Show() {
    page = std::make_unique<TPortForm>(&port);
    page->FormShow();
    return *page;
  }

  void SelectProtocol(int item) {
    page->cbProtocol->SetItemIndex(item);
    page->cbProtocolChange();
  }
  void SetInit(bool on) {
    page->chbInit->SetChecked(on);
    page->chbInitClick();
  }

  // The line on a recording backend; rec stays valid while the line lives.
  std::unique_ptr<TScriptedBackend> backend = std::make_unique<TScriptedBackend>();
  TScriptedBackend* rec = backend.get();
  TComPort line{std::move(backend)};
  TprPort port;
  std::unique_ptr<TPortForm> page;
};

// Only a gateway's page offers the network allowance (and the reminder that the gateway keeps
// the line settings); the allowance goes into the automatic time-out at once.
TEST_F(PortPage, TheNetworkAllowanceIsAGatewaysOnly) {
  EXPECT_FALSE(Show().seNetAllowance->Visible());
  EXPECT_FALSE(page->lbGateway->Visible());
  port.SetPortName("tcp://10.0.0.5:4001");
  TPortForm& p = Show();
  EXPECT_TRUE(p.seNetAllowance->Visible() && p.lbNetAllowance->Visible() && p.lbGateway->Visible());
  EXPECT_EQ(p.seNetAllowance->Value(), kDefaultNetworkAllowanceMs);
  const int before = line.Timeouts().ReadTotalConstant;
  p.seNetAllowance->UserSetValue(kDefaultNetworkAllowanceMs + 120);
  EXPECT_EQ(port.NetworkAllowance(), kDefaultNetworkAllowanceMs + 120);
  EXPECT_EQ(line.Timeouts().ReadTotalConstant, before + 120);
}

TEST_F(PortPage, ShowsCaptionItemsAndDefaults) {
  TPortForm& p = Show();
  EXPECT_EQ(p.lbCaption, " COM7 - Последовательный порт");
  EXPECT_EQ(p.cbProtocol->Text(), "Modbus");
  EXPECT_EQ(p.cbBaud->Text(), "9600");
  EXPECT_EQ(p.cbParity->Text(), "Нет");
  EXPECT_FALSE(p.chbInit->Checked());
  EXPECT_FALSE(p.chbLRC->Checked());
  EXPECT_EQ(p.seTimeout->Value(), 0);
  EXPECT_EQ(p.seTimeout->MinValue(), 0);
  EXPECT_EQ(p.seTimeout->MaxValue(), 65000);
  EXPECT_TRUE(p.cbParity->Enabled() && p.lbParity->Enabled());
  EXPECT_FALSE(p.chbLRC->Enabled());
  EXPECT_TRUE(p.bbSearch->Enabled());
  EXPECT_EQ(p.bbSearch->Caption, "Поиск модулей");
  EXPECT_FALSE(p.Loading);
}

struct ProtocolCase {
  int Item;
  uint8_t Protocol;
  int32_t Timeout;
  bool ParityEnabled, LrcEnabled, SearchEnabled;
};

// Each protocol resets parity, LRC and time-out to its own values and sets the enabled states,
// whatever was chosen before.
TEST_F(PortPage, ProtocolChoiceResetsLineOptions) {
  const ProtocolCase cases[] = {
      {1, ptDCS, 500, false, true, false},
      {2, ptVela, 0, false, false, true},
      {1, ptDCS, 500, false, true, false},
      {0, ptModbus, 0, true, false, true},
  };
  Show();
  for (const auto& c : cases) {
    SCOPED_TRACE(page->cbProtocol->Items()[c.Item]);
    // Something other than the protocol's values beforehand.
    page->cbParity->SetItemIndex(2);
    page->cbParityChange();
    page->chbLRC->SetChecked(true);
    page->chbLRCClick();
    page->seTimeout->SetValue(1234);
    page->seTimeoutChange();

    SelectProtocol(c.Item);
    EXPECT_EQ(port.Protocol(), c.Protocol);
    EXPECT_EQ(port.Parity(), TLineParity::None);
    EXPECT_EQ(page->cbParity->Text(), "Нет");
    EXPECT_FALSE(port.UseLRC());
    EXPECT_FALSE(page->chbLRC->Checked());
    EXPECT_EQ(port.Timeout(), c.Timeout);
    EXPECT_EQ(page->seTimeout->Value(), c.Timeout);
    EXPECT_EQ(page->cbParity->Enabled(), c.ParityEnabled);
    EXPECT_EQ(page->lbParity->Enabled(), c.ParityEnabled);
    EXPECT_EQ(page->chbLRC->Enabled(), c.LrcEnabled);
    EXPECT_EQ(page->bbSearch->Enabled(), c.SearchEnabled);
  }
}

// The protocol is stored before the parity, so "Нет" under Modbus reaches the line with two
// stop bits, and the time-out rule sees them.
TEST_F(PortPage, StoringHandlersReachTheLine) {
  Show();
  line.SetStopBits(sbOneStopBit);
  SelectProtocol(2);  // "Нет" under Vela leaves the stop bits as they were
  EXPECT_EQ(line.StopBits(), sbOneStopBit);
  SelectProtocol(0);
  EXPECT_EQ(line.StopBits(), sbTwoStopBits);
  EXPECT_EQ(line.EventChar(), 0);

  page->cbBaud->SetItemIndex(BaudRateIndex(115200));
  page->cbBaudChange();
  EXPECT_EQ(port.BaudRate(), 115200);
  EXPECT_EQ(line.BaudRate(), br115200);

  page->cbParity->SetItemIndex(ParityIndex(TLineParity::Odd));
  page->cbParityChange();
  EXPECT_EQ(port.Parity(), TLineParity::Odd);
  EXPECT_EQ(line.Parity().Bits, prOdd);

  page->seTimeout->SetValue(500);
  page->seTimeoutChange();
  EXPECT_EQ(port.Timeout(), 500);
  EXPECT_EQ(line.Timeouts().ReadTotalConstant, 500);

  SelectProtocol(1);
  EXPECT_EQ(line.EventChar(), 13);
}

TEST_F(PortPage, InitModeForcesRateAndLocksLists) {
  Show();
  page->cbBaud->SetItemIndex(BaudRateIndex(57600));
  page->cbBaudChange();
  page->cbParity->SetItemIndex(ParityIndex(TLineParity::Even));
  page->cbParityChange();

  SetInit(true);
  EXPECT_TRUE(port.InitMode());
  EXPECT_EQ(port.BaudRate(), 9600);
  EXPECT_EQ(page->cbBaud->Text(), "9600");
  EXPECT_EQ(line.BaudRate(), br9600);
  EXPECT_EQ(port.Parity(), TLineParity::None);
  EXPECT_EQ(page->cbParity->Text(), "Нет");
  EXPECT_FALSE(page->cbBaud->Enabled() || page->lbBaud->Enabled());
  EXPECT_FALSE(page->cbParity->Enabled() || page->lbParity->Enabled());
  EXPECT_EQ(page->bbSearch->Caption, "Поиск модуля");
  EXPECT_TRUE(page->bbSearch->Enabled());

  // A protocol chosen while INIT is on keeps the lists locked.
  SelectProtocol(0);
  EXPECT_FALSE(page->cbParity->Enabled() || page->cbBaud->Enabled());
  EXPECT_EQ(page->bbSearch->Caption, "Поиск модуля");
}

TEST_F(PortPage, InitModeUnderDcsUnchecksAndLocksLrc) {
  Show();
  SelectProtocol(1);
  page->chbLRC->SetChecked(true);
  page->chbLRCClick();
  ASSERT_TRUE(port.UseLRC());

  SetInit(true);
  EXPECT_FALSE(port.UseLRC());
  EXPECT_FALSE(page->chbLRC->Checked());
  EXPECT_FALSE(page->chbLRC->Enabled());
  EXPECT_FALSE(page->bbSearch->Enabled());

  SetInit(false);
  EXPECT_TRUE(page->chbLRC->Enabled());
  EXPECT_TRUE(page->cbBaud->Enabled());
  EXPECT_FALSE(page->cbParity->Enabled());
  EXPECT_EQ(port.Timeout(), 500);
}

TEST_F(PortPage, UncheckingInitUnderModbusResetsAndUnlocks) {
  Show();
  SetInit(true);
  page->seTimeout->SetValue(300);
  page->seTimeoutChange();
  ASSERT_EQ(port.Timeout(), 300);

  SetInit(false);
  EXPECT_FALSE(port.InitMode());
  EXPECT_EQ(port.Parity(), TLineParity::None);
  EXPECT_FALSE(port.UseLRC());
  EXPECT_EQ(port.Timeout(), 0);
  EXPECT_EQ(page->seTimeout->Value(), 0);
  EXPECT_TRUE(page->cbBaud->Enabled() && page->lbBaud->Enabled());
  EXPECT_TRUE(page->cbParity->Enabled() && page->lbParity->Enabled());
  EXPECT_FALSE(page->chbLRC->Enabled());
  EXPECT_EQ(page->bbSearch->Caption, "Поиск модулей");
  // The rate forced by INIT stays.
  EXPECT_EQ(port.BaudRate(), 9600);
}

struct SavedPort {
  const char* Name;
  uint8_t Protocol;
  int32_t Baud;
  TLineParity Parity;
  int32_t Timeout;
  bool Init, Lrc;
  // What the page shows.
  int BaudItem, ParityItem;
  bool BaudEnabled, ParityEnabled, LrcEnabled, SearchEnabled;
  const char* SearchCaption;
};

// A port changed on an earlier visit: the new page shows its settings and changes none of
// them. The line is moved away from the port's settings first, so that a setter call shows up
// as a push of its own; the page must push exactly what a bare ApplySettings pushes.
TEST_F(PortPage, ShowingChangedPortStoresNothing) {
  const SavedPort cases[] = {
      {"modbus", ptModbus, 19200, TLineParity::Even, 250, false, false, 4, 2, true, true, false, true,
       "Поиск модулей"},
      {"modbus init", ptModbus, 9600, TLineParity::None, 0, true, false, 3, 0, false, false, false, true,
       "Поиск модуля"},
      {"dcs lrc", ptDCS, 4800, TLineParity::None, 500, false, true, 2, 0, true, false, true, false,
       "Поиск модулей"},
      {"dcs init", ptDCS, 9600, TLineParity::None, 500, true, false, 3, 0, false, false, false, false,
       "Поиск модуля"},
      {"vela odd", ptVela, 115200, TLineParity::Odd, 0, false, false, 7, 1, true, false, false,
       true, "Поиск модулей"},
      {"vela slow", ptVela, 2400, TLineParity::Even, 65000, false, false, 1, 2, true, false,
       false, true, "Поиск модулей"},
  };
  auto diverge = [this] {
    line.SetEventChar(5);
    line.SetBaudRate(br1200);
    line.SetTimeouts(TComTimeouts{1, 1, 1, 1, 1});
    line.SetParity(TComParity{prMark, true});
    rec->Lines.clear();
    rec->Timeouts.clear();
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    port.SetProtocol(c.Protocol);
    ASSERT_TRUE(port.SetBaudRate(c.Baud));
    ASSERT_TRUE(port.SetParity(c.Parity));
    port.SetTimeout(c.Timeout);
    port.SetInitMode(c.Init);
    port.SetUseLRC(c.Lrc);

    diverge();
    port.ApplySettings();
    const std::vector<TComLineSettings> linesPushed = rec->Lines;
    const std::vector<TComTimeouts> timeoutsPushed = rec->Timeouts;
    const TComLineSettings lineApplied = line.LineSettings();
    const TComTimeouts timesApplied = line.Timeouts();
    ASSERT_EQ(linesPushed.size(), 3u);  // event character, rate, parity
    ASSERT_EQ(timeoutsPushed.size(), 1u);

    diverge();
    Show();
    EXPECT_EQ(rec->Lines, linesPushed);
    EXPECT_EQ(rec->Timeouts, timeoutsPushed);
    EXPECT_EQ(line.LineSettings(), lineApplied);
    EXPECT_EQ(line.Timeouts(), timesApplied);

    EXPECT_EQ(port.Protocol(), c.Protocol);
    EXPECT_EQ(port.BaudRate(), c.Baud);
    EXPECT_EQ(port.Parity(), c.Parity);
    EXPECT_EQ(port.Timeout(), c.Timeout);
    EXPECT_EQ(port.InitMode(), c.Init);
    EXPECT_EQ(port.UseLRC(), c.Lrc);

    EXPECT_EQ(page->cbProtocol->ItemIndex(), c.Protocol);
    EXPECT_EQ(page->cbBaud->ItemIndex(), c.BaudItem);
    EXPECT_EQ(page->cbParity->ItemIndex(), c.ParityItem);
    EXPECT_EQ(page->seTimeout->Value(), c.Timeout);
    EXPECT_EQ(page->chbInit->Checked(), c.Init);
    EXPECT_EQ(page->chbLRC->Checked(), c.Lrc);
    EXPECT_EQ(page->cbBaud->Enabled(), c.BaudEnabled);
    EXPECT_EQ(page->lbBaud->Enabled(), c.BaudEnabled);
    EXPECT_EQ(page->cbParity->Enabled(), c.ParityEnabled);
    EXPECT_EQ(page->chbLRC->Enabled(), c.LrcEnabled);
    EXPECT_EQ(page->bbSearch->Enabled(), c.SearchEnabled);
    EXPECT_EQ(page->bbSearch->Caption, c.SearchCaption);
  }
}

TEST_F(PortPage, HidingPushesTheSettingsOnlyOntoItsOwnPortsLine) {
  port.SetPortName("/dev/sim0");
  Show();
  page->cbBaud->SetItemIndex(BaudRateIndex(38400));
  page->cbBaudChange();
  line.SetBaudRate(br1200);  // moved behind the page's back
  page->FormHide();
  EXPECT_EQ(line.BaudRate(), br38400);
  // The line now serves another port: the page's settings stay on its port node.
  line.SetPort("/dev/sim1");
  line.SetBaudRate(br1200);
  page->FormHide();
  EXPECT_EQ(line.BaudRate(), br1200);
  EXPECT_EQ(port.BaudRate(), 38400);
}

TEST(PortPageRegistry, PortNodesGetThePortPage) {
  TprPort port;
  std::unique_ptr<TprForm> page(CreatePage("TPortForm", &port));
  EXPECT_NE(dynamic_cast<TPortForm*>(page.get()), nullptr);
}

}  // namespace
