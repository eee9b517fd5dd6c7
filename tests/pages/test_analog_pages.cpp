// The analog input pages of ETA-03 and IOTA-04 against their simulated modules: the channel
// texts of "Входы", the order each tab reads in, the input parameter lists, the display
// settings, the rescaling bounds and the Calibrate button.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "comm/Resources.h"
#include "pages/EtaUnit.h"
#include "pages/IotaUnit.h"
#include "shell/MainUnit.h"
#include "support/PageRig.h"

namespace {
using Names = std::vector<std::string>;
using WriteList = std::vector<std::pair<std::string, std::string>>;
constexpr int kEta = 2, kIota = 5;
enum { tsIndication = 2, tsInputs = 3, tsInputParameters = 4, tsScaling = 5 };

struct TAnalogRig : TPageRig {
  explicit TAnalogRig(int model, int tab = tsInputs) : TPageRig(model) {
    Analog = dynamic_cast<TAnalogInputForm*>(Page);
    Page->FormShow();
    ShowTab(tab);
  }
  std::string Field(int channel) { return Analog->edInputValue[size_t(channel - 1)]->Text(); }
  bool Read(const std::string& name, size_t from) {
    const Names reads = Reads(from);
    return std::find(reads.begin(), reads.end(), name) != reads.end();
  }
  TAnalogInputForm* Analog;
};

Names Seq(const std::string& prefix, int n) {
  Names names;
  for (int i = 1; i <= n; ++i) names.push_back(prefix + std::to_string(i));
  return names;
}
Names Join(std::initializer_list<Names> parts) {
  Names all;
  for (const Names& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
std::string WithSeparator(std::string text, char separator) {
  std::replace(text.begin(), text.end(), '.', separator);
  return text;
}

TEST(AnalogPages, ChannelTextTakesTheFirstStateThatAppliesAndReadsTheValueOnlyWithoutOne) {
  const struct {
    const char* What;
    std::vector<int> Models;
    int Prior, Type;  // -1: the module's own
    std::optional<double> Signal;
    uint32_t Broken, Over, Under;  // the channel's flags
    const char* Unreadable;        // a register of the channel whose reads fail
    std::string Text;              // "." for the locale's separator
  } cases[] = {
      {"switched off beats a break", {kEta, kIota}, 0, -1, {}, 1, 0, 0, "", "Канал отключен"},
      {"break beats above", {kEta, kIota}, 1, -1, 50, 1, 1, 0, "", "Обрыв датчика"},
      {"above beats below", {kEta, kIota}, 1, -1, 50, 0, 1, 1, "", "Верхняя граница диапазона"},
      {"below", {kEta, kIota}, 1, -1, 50, 0, 0, 1, "", "Нижняя граница диапазона"},
      {"value unreadable", {kEta, kIota}, 1, 1, 60, 0, 0, 0, "ANALOGINPUT", "Н/Д"},
      // The module stops measuring; the page cannot tell and shows the last value.
      {"priority unreadable: not switched off", {kEta}, 0, -1, {}, 0, 0, 0, "PRIOR", "9.00000"},
      {"linear input: five decimals as read", {kEta}, 2, 4, 12.34567, 0, 0, 0, "", "12.34567"},
      {"thermocouple: two decimals", {kEta}, 2, 5, 123.45678, 0, 0, 0, "", "123.46"},
      {"type unreadable: linear", {kEta}, 2, 5, 160.123456, 0, 0, 0, "INPTYPE", "160.12346"},
      {"thermometer: three decimals", {kIota}, 2, 1, 21.456789, 0, 0, 0, "", "21.457"},
      {"type beyond the list: two decimals", {kIota}, 2, 6, 21.456789, 0, 0, 0, "", "21.46"},
      {"type unreadable: three decimals", {kIota}, 2, 6, 21.456789, 0, 0, 0, "INPTYPE", "21.457"},
  };
  const int ch = 3;
  const std::string n = std::to_string(ch);
  const uint32_t bit = 1u << (ch - 1);
  for (char separator : {'.', ','}) {
    TFormatGuard format(separator);
    for (const auto& c : cases) {
      for (int model : c.Models) {
        TAnalogRig rig(model);
        TSimModule& m = *rig.Module;
        m.SensorBreak = 0;
        if (c.Prior >= 0) m.SetInt("PRIOR" + n, uint32_t(c.Prior));
        if (c.Type >= 0) m.SetInt("INPTYPE" + n, uint32_t(c.Type));
        m.SetSignal(ch, c.Signal);
        if (*c.Unreadable) m.SetUnreadable(c.Unreadable + n);
        rig.Ticks(2);  // the module measures with the new settings
        m.SetInt("TCOD", c.Broken ? bit : 0);
        m.SetInt("OVRD", c.Over ? bit : 0);
        m.SetInt("UNRD", c.Under ? bit : 0);
        const size_t mark = rig.Mark();
        rig.Ticks();
        const std::string what = std::string(c.What) + " on " + std::to_string(model) + " with '" + separator + "'";
        EXPECT_EQ(rig.Field(ch), WithSeparator(c.Text, separator)) << what;
        const bool flagged = (c.Prior == 0 && !*c.Unreadable) || c.Broken || c.Over || c.Under;
        EXPECT_EQ(rig.Read("ANALOGINPUT" + n, mark), !flagged) << what;
      }
    }
  }
}

TEST(AnalogPages, EachTabReadsInItsOrder) {
  // Frozen modules: ETA-03 channel 2 below its range, 6 broken, 8 not measured; IOTA-04
  // channel 3 broken. Their values are not read.
  const Names etaIndication = Join({{"ICON1", "ICON2", "ICON3", "GR1IND", "GR2IND", "GR1INDFL", "GR2INDFL",
                                     "GR1INDPH", "GR2INDPH", "DISPLAY", "TINDICATION", "CHINDICATION"},
                                    Seq("IFCH", 8)});
  Names etaScaling{"MAPENABLE"};
  for (int ch = 1; ch <= 8; ++ch)
    for (const char* prefix : {"LBS", "HBS", "LBT", "HBT"}) etaScaling.push_back(prefix + std::to_string(ch));
  const struct {
    int Model, Tab;
    Names Reads;
  } cases[] = {
      {kEta, tsIndication, etaIndication},
      {kEta, tsInputs,
       Join({Seq("PRIOR", 8), Seq("INPTYPE", 8),
             {"TCOD", "OVRD", "UNRD", "ANALOGINPUT1", "ANALOGINPUT3", "ANALOGINPUT4", "ANALOGINPUT5",
              "ANALOGINPUT7", "CJT"}})},
      {kEta, tsInputParameters, Join({Seq("PRIOR", 8), Seq("INPTYPE", 8), Seq("FILTER", 8)})},
      {kEta, tsScaling, etaScaling},
      {kIota, tsIndication,
       Join({{"ICON1", "ICON2", "ICON3", "GR1IND", "GR1INDFL", "GR1INDPH", "DISPLAY", "TINDICATION",
              "CHINDICATION"},
             Seq("IFCH", 3)})},
      {kIota, tsInputs,
       Join({Seq("PRIOR", 3), Seq("INPTYPE", 3), {"TCOD", "OVRD", "UNRD", "ANALOGINPUT1", "ANALOGINPUT2"}})},
      {kIota, tsInputParameters, Join({Seq("PRIOR", 3), Seq("INPTYPE", 3), Seq("FILTER", 3)})},
  };
  for (const auto& c : cases) {
    TAnalogRig rig(c.Model, c.Tab);
    EXPECT_EQ(rig.Page->pcMain->Sheets().size(), c.Model == kEta ? 6u : 5u);
    // Whatever the tab, the Calibrate button follows the main window after each cycle.
    TMainForm main(*rig.Line);
    main.SetCalibrationEnabled(c.Tab % 2 == 1);
    const size_t mark = rig.Mark();
    rig.Ticks();
    EXPECT_EQ(rig.Reads(mark), c.Reads) << c.Model << " tab " << c.Tab;
    EXPECT_EQ(rig.Analog->bbCalibrate->Enabled(), c.Tab % 2 == 1) << c.Model << " tab " << c.Tab;
  }
}

TEST(AnalogPages, InputParameterListsWriteTheChosenCodeAndTheModuleFollows) {
  TAnalogRig eta(kEta, tsInputParameters);
  const auto& types = eta.Analog->cbInpType[0]->Items();
  ASSERT_EQ(types.size(), 13u);
  EXPECT_EQ(types[6].substr(4, 1), "K") << "the third letter of item 6 is a Latin K";
  // Channel 1 measures 17.5 mV; as a type-K thermocouple it measures degrees.
  size_t mark = eta.Mark();
  eta.Analog->cbInpType[0]->UserChoose(5);
  eta.Analog->cbFilter[2]->UserChoose(0);
  EXPECT_EQ(eta.Writes(mark), (WriteList{{"INPTYPE1", "5"}, {"FILTER3", "0"}}));
  eta.ShowTab(tsInputs);
  eta.Ticks();
  EXPECT_EQ(eta.Field(1), "55.00");

  TAnalogRig iota(kIota, tsInputParameters);
  EXPECT_EQ(iota.Analog->cbInpType[0]->Items().size(), 5u);
  EXPECT_EQ(iota.Analog->cbPriority[2]->ItemIndex(), 2);
  iota.Module->SetInt("INPTYPE2", 6);
  iota.Ticks();
  EXPECT_EQ(iota.Analog->cbInpType[1]->ItemIndex(), -1) << "a code with no item";
  mark = iota.Mark();
  iota.Analog->cbPriority[2]->UserChoose(0);
  EXPECT_EQ(iota.Writes(mark), (WriteList{{"PRIOR3", "0"}}));
  iota.ShowTab(tsInputs);
  EXPECT_EQ(iota.Field(3), "Канал отключен");
}

TEST(AnalogPages, IndicationTabOfBothModels) {
  const struct {
    int Model;
    std::string Ifch;  // of the display format case
    WriteList Indicators;  // indicators 1 and the last, from their registers at 0
  } cases[] = {
      {kEta, "IFCH5", {{"GR1IND", "2"}, {"GR2IND", "64"}}},
      {kIota, "IFCH3", {{"GR1IND", "16"}, {"GR1IND", "80"}}},
  };
  for (const auto& c : cases) {
    TAnalogRig rig(c.Model, tsIndication);
    for (const auto& [name, value] : std::vector<std::pair<const char*, uint32_t>>{
             {"ICON1", 8}, {"ICON2", 32}, {"ICON3", 2}, {"CHINDICATION", 5}, {"GR1IND", 0}, {"GR2IND", 0}})
      if (rig.Module->Has(name)) rig.Module->SetInt(name, value);
    rig.Module->SetInt(c.Ifch, 0x31);
    rig.Ticks();
    TComboBox& mode = *rig.Page->Indication->cbIndControl;
    EXPECT_EQ(mode.Items()[size_t(mode.ItemIndex())], "Часы и минуты во включенном состоянии");
    const std::string n = c.Ifch.substr(4);
    EXPECT_EQ(rig.Get<TCheckBox>("chbChPercent" + n).State(), TCheckState::Checked);
    EXPECT_EQ(rig.Get<TComboBox>("cbDecPoint" + n).ItemIndex(), 3);
    const size_t mark = rig.Mark();
    mode.UserChoose(6);
    rig.Get<TComboBox>("cbDecPoint" + n).UserChoose(1);
    rig.Get<TCheckBox>("chbChInd2").UserClick();
    for (const char* time : {"0", "256", "255"}) {
      rig.Get<TEdit>("edIndTime").UserEdit(time);
      rig.Get<TEdit>("edIndTime").UserKey(13);
    }
    rig.Page->Indication->chbInd.front()->UserClick();
    rig.Page->Indication->chbInd.back()->UserClick();
    WriteList expected{{"ICON3", "4"}, {"ICON2", "32"}, {"ICON1", "8"}, {c.Ifch, "17"}, {"CHINDICATION", "7"},
                       {"TINDICATION", "255"}};
    expected.insert(expected.end(), c.Indicators.begin(), c.Indicators.end());
    EXPECT_EQ(rig.Writes(mark), expected) << c.Model;
    EXPECT_EQ(rig.Ui.Beeps, 2);
  }
}

TEST(AnalogPages, ScalingBoundsColdJunctionAndCalibrate) {
  for (char separator : {'.', ','}) {
    TFormatGuard format(separator);
    TAnalogRig rig(kEta, tsScaling);
    auto* eta = dynamic_cast<TEtaForm*>(rig.Page);
    EXPECT_EQ(eta->edHMarginTarget[7]->Text(), WithSeparator("100.00000", separator));
    TEdit& lbs = *eta->edLMarginSource[0];
    const size_t mark = rig.Mark();
    for (const char* entry : {"5e37", "3.4e37"}) {
      lbs.UserEdit(WithSeparator(entry, separator));
      lbs.UserKey(13);
    }
    eta->chbEnableScale[2]->UserClick();
    EXPECT_EQ(rig.Writes(mark), (WriteList{{"LBS1", "3.4e+37"}, {"MAPENABLE", "4"}})) << separator;
    EXPECT_EQ(rig.Ui.Beeps, 1);
    rig.ShowTab(tsInputs);
    EXPECT_EQ(eta->edCoolJunction->Text(), WithSeparator("24.00", separator));
    rig.Module->SetUnreadable("CJT");
    rig.Ticks();
    EXPECT_EQ(eta->edCoolJunction->Text(), "Н/Д");
  }
  // Calibrate, once enabled, only beeps.
  TAnalogRig rig(kIota);
  TMainForm main(*rig.Line);
  main.SetCalibrationEnabled(true);
  rig.Ticks();
  const size_t mark = rig.Mark();
  rig.Analog->bbCalibrate->UserClick();
  EXPECT_EQ(rig.Ui.Beeps, 1);
  EXPECT_TRUE(rig.Writes(mark).empty());
}
TEST(AnalogPages, AValueReadThatIsNoNumberShowsAnError) {
  // Over Vela a reading that is not finite arrives and is decoded to no text.
  for (int model : {kEta, kIota}) {
    TAnalogRig rig(model);
    rig.Port.SetProtocol(ptVela);
    rig.Port.ApplySettings();
    rig.Module->SetSignal(1, std::nan(""));
    rig.Ticks(2);
    EXPECT_EQ(rig.Field(1), "Ошибка") << model;
  }
}
}  // namespace
