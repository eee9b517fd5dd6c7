// The rules a tab gets from its register rows beyond the common tabs: single-precision entry,
// bit fields, bits of channel registers, command rows writing 2^tag, lists with codes, the
// analog display settings and the step after every polling cycle; and the rows engine on its
// own, without a page.
#include <gtest/gtest.h>

#include "shell/MainUnit.h"
#include "support/PageRig.h"

namespace {
using WriteList = std::vector<std::pair<std::string, std::string>>;

// A page with one tab of the rows given after "Общие" and "RS-485".
class TRowsPage : public TModuleForm {
 public:
  TRowsPage(TprNode* owner, TRowsTable table, int displayChannels = 0) : TModuleForm(owner, true) {
    auto steps = std::make_shared<std::vector<TRefreshStep>>();
    TContainer* sheet = AddTab("tsRows", "Ряды", [steps] { return RunSteps(steps); });
    steps->push_back(BuildRows(sheet, std::move(table)));
    if (displayChannels > 0)
      steps->push_back(BuildRows(sheet, DisplaySettingsRows(displayChannels, "", "Знаков после запятой:")));
  }
  using TModuleForm::FollowCalibration;
  template <class T>
  T& Get(const std::string& name) {
    return *Controls.FindAs<T>(name);
  }
};

struct TRowsRig : TPageRig {
  TRowsRig(int model, TRowsTable table, int displayChannels = 0) : TPageRig(model) {
    Device->Page = nullptr;
    delete Page;
    Page = Rows = new TRowsPage(Device.get(), std::move(table), displayChannels);
    Page->FormShow();
    Page->pcMain->UserSelectTab(2);
    Ticks();
  }
  TRowsPage* Rows;
};

TEST(Rows, SingleEntryWritesAsTypedWithinTheSingleRange) {
  using namespace rows;
  TRowsRig rig(2, TRowsTable({{"Нижняя:", {Single("edLMarginSource", "LBS").Channels(8)}},
                             {"Уставка:", {Single("edSetPoint", "HBT1").Fixed(3)}}}));
  TEdit& field = rig.Rows->Get<TEdit>("edLMarginSource1");
  const size_t mark = rig.Mark();
  for (const char* bad : {"5e37", "abc", "-1e38"}) {
    field.UserEdit(bad);
    field.UserKey(13);
    EXPECT_EQ(field.Color(), TTextColor::Red) << bad;
    EXPECT_TRUE(field.Focused()) << bad;
  }
  EXPECT_EQ(rig.Ui.Beeps, 3);
  EXPECT_TRUE(rig.Writes(mark).empty());
  field.UserEdit("3.4e37");
  field.UserKey(13);
  ASSERT_EQ(rig.Writes(mark).size(), 1u);
  EXPECT_EQ(rig.Writes(mark)[0].first, "LBS1");
  EXPECT_FLOAT_EQ(float(rig.Module->Real("LBS1")), 3.4e37f);
  EXPECT_FALSE(field.Focused());
  // Fixed decimals: the value formatted, "Ошибка" for a text that is no number.
  rig.Module->SetReal("HBT1", 12.5);
  rig.Ticks();
  EXPECT_EQ(rig.Rows->Get<TEdit>("edSetPoint").Text(), "12.500");
}

TEST(Rows, DisplaySettingsOfTheAnalogPages) {
  TRowsRig rig(2, {}, 8);
  rig.Module->SetInt("IFCH5", 0x31);
  rig.Module->SetInt("CHINDICATION", 5);
  rig.Module->SetInt("TINDICATION", 9);
  rig.Ticks();
  auto& percent = rig.Rows->Get<TCheckBox>("chbChPercent5");
  auto& decimals = rig.Rows->Get<TComboBox>("cbDecPoint5");
  EXPECT_EQ(percent.State(), TCheckState::Checked);
  EXPECT_EQ(decimals.ItemIndex(), 3);
  EXPECT_EQ(rig.Rows->Get<TEdit>("edIndTime").Text(), "9");
  EXPECT_EQ(rig.Rows->Get<TEdit>("edDisplay").MaxLength(), 8);
  size_t mark = rig.Mark();
  decimals.UserChoose(1);           // bits 4 and 5 replaced, bit 0 kept: 0x11
  percent.UserClick();              // bit 0 of the value just written: 0x10
  rig.Rows->Get<TCheckBox>("chbChInd2").UserClick();  // CHINDICATION 5 -> 7
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"IFCH5", "17"}, {"IFCH5", "16"}, {"CHINDICATION", "7"}}));
  // Indication time 1..255.
  TEdit& time = rig.Rows->Get<TEdit>("edIndTime");
  mark = rig.Mark();
  for (const char* text : {"0", "256", "255"}) {
    time.UserEdit(text);
    time.UserKey(13);
  }
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"TINDICATION", "255"}}));
  // The refresh reads each register once, in the order of the rows.
  mark = rig.Mark();
  rig.Ticks();
  std::vector<std::string> reads{"DISPLAY", "TINDICATION", "CHINDICATION"};
  for (int n = 1; n <= 8; ++n) reads.push_back("IFCH" + std::to_string(n));
  EXPECT_EQ(rig.Reads(mark), reads);
}

TEST(Rows, CommandRowsListCodesAndTheOrderTheRowsRead) {
  using namespace rows;
  TRowsRig rig(4, TRowsTable({{"Тип выхода:",
                             {List("cbOutType", "OUTTYPE").Channels(2)}},
                            {"При включении питания:",
                             {BitList("cbOnPUP1", "OUTPUTCONTROL").Items({"Выход PUP", "Сохраненный выход"}),
                              BitList("cbOnWD2", "OUTPUTCONTROL").Bit(3).Items({"Выход (текущий)", "Выход SAFE"})}}})
                      .ReadOrder({"OUTPUTCONTROL", {"OUTTYPE", 2}}));
  rig.Module->SetInt("OUTTYPE1", 7);
  rig.Module->SetInt("OUTTYPE2", 255);
  rig.Module->SetInt("OUTPUTCONTROL", 0);
  const size_t reads = rig.Mark();
  rig.Ticks();
  EXPECT_EQ(rig.Reads(reads), (std::vector<std::string>{"OUTPUTCONTROL", "OUTTYPE1", "OUTTYPE2"}));
  EXPECT_EQ(rig.Rows->Get<TComboBox>("cbOutType1").ItemIndex(), 4);
  EXPECT_EQ(rig.Rows->Get<TComboBox>("cbOutType2").ItemIndex(), 4);
  size_t mark = rig.Mark();
  rig.Rows->Get<TComboBox>("cbOutType1").UserChoose(4);
  rig.Rows->Get<TComboBox>("cbOnWD2").UserChoose(1);
  rig.Rows->Get<TComboBox>("cbOnPUP1").UserChoose(1);
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"OUTTYPE1", "255"}, {"OUTPUTCONTROL", "8"}, {"OUTPUTCONTROL", "9"}}));

  TRowsRig kappa(1, TRowsTable({{"Сброс:", {CommandButton("bbLatchReset", "RSTLATCH").Channels(16).Hint("Сброс защелок")}}}));
  mark = kappa.Mark();
  kappa.Rows->Get<TButton>("bbLatchReset16").UserClick();
  kappa.Rows->Get<TButton>("bbLatchReset1").UserClick();
  EXPECT_EQ(kappa.Writes(mark), (WriteList{{"RSTLATCH", "32768"}, {"RSTLATCH", "1"}}));
  EXPECT_EQ(kappa.Rows->Get<TButton>("bbLatchReset3").Hint, "Сброс защелок");
  mark = kappa.Mark();
  kappa.Ticks();
  EXPECT_TRUE(kappa.Reads(mark).empty()) << "a command register is never read";
}

TEST(Rows, CalibrateButtonFollowsTheMainWindowAfterEveryCycleWhateverTheTab) {
  using namespace rows;
  TButton* calibrate = nullptr;
  TRowsRig rig(2, TRowsTable({{"", {Button("bbCalibrate", "Настройка...").Store(&calibrate)}}}));
  rig.Rows->FollowCalibration(calibrate);
  TMainForm main(*rig.Line);
  EXPECT_FALSE(calibrate->Enabled());
  for (bool enabled : {true, false, true}) {
    main.SetCalibrationEnabled(enabled);
    rig.Page->pcMain->UserSelectTab(enabled ? 0 : 1);
    rig.Ticks();
    EXPECT_EQ(calibrate->Enabled(), enabled);
  }
}

// The engine's host, recording each read (a read of Failing fails) and each control shown.
class TRecordingHost : public TRowsHost {
 public:
  explicit TRecordingHost(const TprModel& model) : Model(model) {}
  TprDevReg* Register(const std::string& name) const override {
    TprDevReg* reg = Model.FindRegister(name);
    if (!reg) throw std::logic_error(name);
    return reg;
  }
  void BindPart(const std::shared_ptr<const TPart>&, TControl*, TprDevReg*, int) override {}
  void ShowBound(const TRowBinding& b, bool ok) override {
    Log.push_back(b.Control->Name() + (ok ? "" : " failed"));
  }
  TTask<bool> Read(TprDevReg* reg) override {
    Log.push_back(reg->Name);
    co_return reg->Name != Failing;
  }
  const TprModel& Model;
  std::string Failing;
  std::vector<std::string> Log;
};

TTask<> LogStep(std::vector<std::string>* log) {
  log->push_back("step");
  co_return;
}

TEST(Rows, EngineWithoutAPageReadsInOrderAndShowsWhatEachReadFeeds) {
  using namespace rows;
  TprPort port;
  std::unique_ptr<TprNode> beta(CreateDevice(3, 3, &port));
  using Log = std::vector<std::string>;
  const auto any = [](const std::string&, std::string&) { return true; };
  const struct {
    const char* What;
    std::function<TRowsTable(Log*)> Table;
    const char* Failing;
    Log Expected;
  } cases[] = {
      {"registers where the rows first show them, steps at their places, commands never read",
       [&](Log* log) {
         return TRowsTable({{"Статус:", {BitShow("chbWD", "NWDTSTATUS").Bit(0),
                                         CommandButton("bbWDReset", "NWDTSTATUS").Writes("0")}},
                            Step([log] { return LogStep(log); }),
                            {"Диагностика:", {Computed("edDiag", "SLFDGNS", any)}},
                            {"Время:", {Number("edDays", "DAYS")}},
                            {"INIT:", {BitShow("chbInit", "SLFDGNS").Bit(15)}}});
       },
       "DAYS",
       {"NWDTSTATUS", "chbWD", "step", "SLFDGNS", "edDiag", "chbInit", "DAYS", "edDays failed"}},
      {"an explicit order of channel registers and a shared bit register",
       [](Log*) {
         return TRowsTable({{"Входы:", {BitShow("chbIn", "DIGINPUT").Channels(2)}},
                            {"Счетчики:", {Number("edCounter", "COUNTER").Channels(2)}}})
             .ReadOrder({{"COUNTER", 2}, "DIGINPUT"});
       },
       "COUNTER2",
       {"COUNTER1", "edCounter1", "COUNTER2", "edCounter2 failed", "DIGINPUT", "chbIn1", "chbIn2"}},
  };
  for (const auto& c : cases) {
    TRecordingHost host(*dynamic_cast<TprModel*>(beta.get()));
    host.Failing = c.Failing;
    TControlSet controls;
    TContainer* sheet = controls.Add<TPageControl>("pcMain", &controls.Root())->AddSheet("tsProbe", "Проба");
    const std::string owner = "TProbe";
    TRowsEngine engine(host, controls, &host.Model, owner);
    const TRefreshStep refresh = engine.Build(sheet, c.Table(&host.Log));
    EXPECT_TRUE(host.Log.empty()) << c.What;
    const auto alive = std::make_shared<char>();
    StartTask(refresh(), alive, [](std::exception_ptr) { ADD_FAILURE(); });
    EXPECT_EQ(host.Log, c.Expected) << c.What;
  }
}
}  // namespace
