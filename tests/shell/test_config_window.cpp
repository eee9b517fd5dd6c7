// "Сохранить" and "Открыть" of the main window on simulated modules with the fake clock: a
// module and a whole bus saved and loaded back, files refused before any exchange, a load
// cancelled in the comparison window, and a load that fails midway.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "comm/LineWorker.h"
#include "comm/Resources.h"
#include "comm/prPort.h"
#include "models/ConfigFile.h"
#include "models/prDevice.h"
#include "shell/ConfigUnit.h"
#include "support/PortRig.h"
#include "support/RecordingUi.h"

namespace {

// Answers the comparison window as the test says and keeps what it showed.
class TCompareUi : public TRecordingUi {
 public:
  TModalResult ShowModal(TModalDialog& dialog) override {
    auto* form = dynamic_cast<TConfigCompareForm*>(&dialog);
    if (!form) return TModalResult::None;
    if (form->ShowingResult) {
      Result = *form;
      return TModalResult::Ok;
    }
    if (Edit) Edit(*form);
    Compared = *form;
    ++Comparisons;
    return Answer;
  }
  TModalResult Answer = TModalResult::Ok;
  std::function<void(TConfigCompareForm&)> Edit;
  TConfigCompareForm Compared, Result;
  int Comparisons = 0;
};

class ConfigWindow : public ::testing::Test, protected TPortRig {
 protected:
  void SetUp() override {
    for (auto* m : {&Bus->AddModel(1, 5), &Bus->AddModel(1, 7)}) {
      m->RandomInputs = m->MovingInputs = false;
      Kappas.push_back(m);
    }
    // The work runs in place; OnStep runs between two of its exchanges.
    PreviousRunner =
        SetConfigWorkRunner([this](TConfigProgressForm& w, const TConfigWork& work) {
          w.OnStep = [this, &w] {
            if (OnStep) OnStep(w);
          };
          work([] {});
        });
    ASSERT_TRUE(Start());
    Page->bbSearchClick();
    ASSERT_EQ(PortNode->Children.size(), 2u);
  }
  void TearDown() override {
    SetConfigWorkRunner(std::move(PreviousRunner));
    std::remove(File.c_str());
  }

  TTreeNode* ModuleAt(int address) {
    for (auto& child : PortNode->Children)
      if (static_cast<TprModel*>(child->Data)->Address == uint32_t(address)) return child.get();
    return nullptr;
  }
  void Set(int module, const std::string& name, uint32_t value) {
    std::lock_guard<std::mutex> lock(Bus->Mutex());
    Kappas[size_t(module)]->SetInt(name, value);
  }
  uint32_t Get(int module, const std::string& name) {
    std::lock_guard<std::mutex> lock(Bus->Mutex());
    return Kappas[size_t(module)]->Int(name);
  }
  bool Save(TTreeNode* node) { return SaveConfigFile(Form, node, File); }
  bool Open(TTreeNode* node) { return OpenConfigFile(Form, node, File); }
  void WriteFile(const std::string& text) { std::ofstream(File) << text; }
  std::vector<std::string> TickedNames(const TConfigCompareForm& form) {
    std::vector<std::string> names;
    for (const auto& g : form.Groups)
      for (const auto& r : g.Rows)
        if (r.Ticked) names.push_back(r.Register);
    return names;
  }

  TCompareUi Ui;
  TConfigWorkRunner PreviousRunner;
  std::function<void(TConfigProgressForm&)> OnStep;
  std::vector<TSimModule*> Kappas;
  std::string File = ::testing::TempDir() + "orbis-config-window-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".xml";
};

// The module at 5 saved and opened on the module at 7: what differs is ticked but the bus
// address, which is shown unticked; the writes hold and the address stays.
TEST_F(ConfigWindow, AModuleClonedOntoAnother) {
  Set(0, "FILTER2", 9);
  Set(0, "NETWDT", 300);
  Form.Select(ModuleAt(5));
  ASSERT_TRUE(Save(ModuleAt(5)));
  Form.Select(ModuleAt(7));
  ASSERT_TRUE(Open(ModuleAt(7)));
  ASSERT_EQ(Ui.Compared.Groups.size(), 1u);
  EXPECT_EQ(TickedNames(Ui.Compared), (std::vector<std::string>{"NETWDT", "FILTER2"}));
  const TCompareRow& address = Ui.Compared.Groups[0].Rows.back();
  EXPECT_EQ(address.Register, "NETADDR");
  EXPECT_TRUE(address.Network);
  EXPECT_FALSE(address.Ticked);
  EXPECT_EQ(address.FileValue, "5");
  EXPECT_EQ(address.ModuleValue, "7");
  for (const auto& row : Ui.Compared.Groups[0].Rows)
    EXPECT_FALSE(row.Caption.empty()) << row.Register;
  EXPECT_EQ(Get(1, "FILTER2"), 9u);
  EXPECT_EQ(Get(1, "NETWDT"), 300u);
  EXPECT_EQ(Get(1, "NETADDR"), 7u);
  for (const auto& row : Ui.Result.Groups[0].Rows)
    EXPECT_EQ(row.Holds, row.Ticked) << row.Register << " " << row.Result;
  EXPECT_TRUE(Ui.Messages.empty());
  EXPECT_EQ(Form.Selected()->Data->Page != nullptr, true);  // the page is back
}

// Refused before any exchange, with one line saying why.
TEST_F(ConfigWindow, DamagedForeignAndOtherModelsFilesAreRefused) {
  const std::string eta = WriteConfigXml({"ETA-03", "", {}});
  const struct {
    std::string Text;
    bool Port;  // opened with the port selected, else the module at 5
    const char* Why;
  } cases[] = {
      {"<module-configuration model=\"KAPPA-01\"><register", false, "файл поврежден (строка 1)"},
      {"<html/>", false, "это не файл конфигурации"},
      {"<module-configuration format=\"9\" model=\"KAPPA-01\"/>", false,
       "файл записан более новой версией программы"},
      {eta, false, "в файле конфигурация ETA-03, а модуль - KAPPA-01"},
      {WriteConfigXml({"KAPPA-01", "", {{"FILTER1", "999"}}}), false,
       "недопустимое значение \"999\" регистра FILTER1"},
      {WriteConfigXml({"KAPPA-01", "", {}}), true,
       "это конфигурация модуля, выберите модуль в дереве"},
  };
  for (const auto& c : cases) {
    WriteFile(c.Text);
    TTreeNode* node = c.Port ? PortNode : ModuleAt(5);
    Form.Select(node);
    const size_t frames = Sim->Frames.size();
    Ui.Messages.clear();
    EXPECT_FALSE(Open(node));
    ASSERT_EQ(Ui.Messages.size(), 1u) << c.Text;
    const std::string name = File.substr(File.find_last_of('/') + 1);
    EXPECT_EQ(Ui.Messages[0].Text, "Файл " + name + " не открыт: " + c.Why + ".");
    EXPECT_EQ(Sim->Frames.size(), frames) << c.Text;
  }
  EXPECT_EQ(Ui.Comparisons, 0);
}

TEST_F(ConfigWindow, AnUnreadableRegisterMeansNoFile) {
  {
    std::lock_guard<std::mutex> lock(Bus->Mutex());
    Kappas[0]->SetUnreadable("FILTER3");
  }
  Form.Select(ModuleAt(5));
  EXPECT_FALSE(Save(ModuleAt(5)));
  EXPECT_FALSE(std::ifstream(File).good());
  ASSERT_EQ(Ui.Messages.size(), 1u);
  EXPECT_EQ(Ui.Messages[0].Text,
            "Не удалось прочитать регистры модуля KAPPA-01 (адрес 5): FILTER3. Файл не сохранен.");
}

// Cancel in the comparison window, or everything unticked: nothing is written.
TEST_F(ConfigWindow, ACancelledLoadWritesNothing) {
  Set(0, "FILTER2", 9);
  Form.Select(ModuleAt(5));
  ASSERT_TRUE(Save(ModuleAt(5)));
  Form.Select(ModuleAt(7));
  for (const TModalResult answer : {TModalResult::Cancel, TModalResult::Ok}) {
    Ui.Answer = answer;
    Ui.Edit = [](TConfigCompareForm& form) {
      for (auto& g : form.Groups)
        for (auto& r : g.Rows) r.Ticked = false;
    };
    if (answer == TModalResult::Cancel) Ui.Edit = nullptr;
    const size_t frames = Sim->Frames.size();
    EXPECT_FALSE(Open(ModuleAt(7)));
    EXPECT_EQ(TickedNames(Ui.Compared).size(), answer == TModalResult::Cancel ? 1u : 0u);
    // The reads of the present values, and not one write.
    for (size_t i = frames; i < Sim->Frames.size(); ++i) EXPECT_EQ(Sim->Frames[i][1], 0x03);
  }
  EXPECT_EQ(Get(1, "FILTER2"), 1u);
}

// The module stops answering after the second write: the result says exactly which hold.
TEST_F(ConfigWindow, ALoadFailingMidwayReportsWhichRegistersHold) {
  for (const char* name : {"FILTER1", "FILTER2", "FILTER3", "FILTER4"}) Set(0, name, 6);
  Form.Select(ModuleAt(5));
  ASSERT_TRUE(Save(ModuleAt(5)));
  Form.Select(ModuleAt(7));
  int writes = 0;
  OnStep = [&](TConfigProgressForm& w) {
    // After each write: the module is cut off after the second (it hears no frame at the
    // line's rate any more).
    if (w.Caption == TConfigProgressForm::WriteCaption && ++writes == 2) {
      std::lock_guard<std::mutex> lock(Bus->Mutex());
      Kappas[1]->StrictLine = true;
      Kappas[1]->SetInt("NETBDRT", 7);
    }
  };
  EXPECT_TRUE(Open(ModuleAt(7)));
  std::vector<std::pair<std::string, bool>> holds;
  for (const auto& row : Ui.Result.Groups.at(0).Rows)
    if (row.Ticked) holds.emplace_back(row.Register, row.Holds);
  EXPECT_EQ(holds,
            (std::vector<std::pair<std::string, bool>>{
                {"FILTER1", true}, {"FILTER2", true}, {"FILTER3", false}, {"FILTER4", false}}));
  EXPECT_EQ(Ui.Result.Groups[0].Rows[2].Result, "нет подтверждения записи");
  std::lock_guard<std::mutex> lock(Bus->Mutex());
  EXPECT_EQ(Kappas[1]->Int("FILTER2"), 6u);
  EXPECT_EQ(Kappas[1]->Int("FILTER3"), 1u);
  EXPECT_EQ(Kappas[1]->Int("FILTER4"), 1u);
}

// "Отмена" of the progress window during the writes: the register in flight is finished and
// verified, none after it is touched.
TEST_F(ConfigWindow, CancelDuringTheWritesStopsBeforeTheNextRegister) {
  for (const char* name : {"FILTER1", "FILTER2", "FILTER3"}) Set(0, name, 6);
  Form.Select(ModuleAt(5));
  ASSERT_TRUE(Save(ModuleAt(5)));
  Form.Select(ModuleAt(7));
  int steps = 0;
  OnStep = [&](TConfigProgressForm& w) {
    if (w.Caption == TConfigProgressForm::WriteCaption && ++steps == 1) w.btCancelClick();
  };
  EXPECT_TRUE(Open(ModuleAt(7)));
  std::vector<std::string> results;
  for (const auto& row : Ui.Result.Groups.at(0).Rows)
    if (row.Ticked) results.push_back(row.Register + " " + row.Result);
  EXPECT_EQ(results, (std::vector<std::string>{"FILTER1 записано и проверено",
                                               "FILTER2 не записано (отменено)",
                                               "FILTER3 не записано (отменено)"}));
  EXPECT_EQ(Get(1, "FILTER1"), 6u);
  EXPECT_EQ(Get(1, "FILTER2"), 1u);
}

// The port's search, the bus file, and the file loaded back address by address; an address of
// the file where nothing answers is named and skipped.
TEST_F(ConfigWindow, AWholeBusSavedAndLoadedBack) {
  Set(1, "FILTER4", 3);
  Form.Select(PortNode);
  ASSERT_TRUE(Save(PortNode));
  const TConfigParseResult saved = ParseConfigXml([&] {
    std::ifstream in(File);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }());
  ASSERT_TRUE(saved.Ok) << saved.Error;
  ASSERT_EQ(saved.Kind, TConfigKind::Bus);
  ASSERT_EQ(saved.Bus.Modules.size(), 2u);
  EXPECT_EQ(saved.Bus.Modules[1].Address, 7);
  TBusConfig bus = saved.Bus;
  bus.Modules.push_back({9, bus.Modules[0].Config});
  WriteFile(WriteBusXml(bus));

  Set(0, "FILTER1", 8);
  Set(1, "FILTER4", 1);
  Form.Select(PortNode);
  // The port goes to the file's line settings for the comparison, and back when cancelled.
  auto* port = static_cast<TprPort*>(PortNode->Data);
  port->SetBaudRate(19200);
  Ui.Answer = TModalResult::Cancel;
  EXPECT_FALSE(Open(PortNode));
  EXPECT_EQ(port->BaudRate(), 19200);
  Ui.Answer = TModalResult::Ok;
  ASSERT_TRUE(Open(PortNode));
  EXPECT_EQ(port->BaudRate(), 9600);
  ASSERT_EQ(Ui.Compared.Groups.size(), 3u);
  EXPECT_EQ(Ui.Compared.Groups[0].Title(), "Адрес 5: KAPPA-01");
  EXPECT_EQ(Ui.Compared.Groups[2].Title(), "Адрес 9: KAPPA-01 - модуль не отвечает, пропущен");
  EXPECT_EQ(TickedNames(Ui.Compared), (std::vector<std::string>{"FILTER1", "FILTER4"}));
  EXPECT_EQ(Get(0, "FILTER1"), 1u);
  EXPECT_EQ(Get(1, "FILTER4"), 3u);
}

using ResponsiveConfig = ConfigWindow;

// A save's and a load's exchanges are jobs of the port's line: none runs in the menu's call
// before the progress window shows, and the window closes once the line has run them.
TEST_F(ResponsiveConfig, ASaveAndALoadRunTheirExchangesOnThePortsLine) {
  Form.Select(ModuleAt(5));
  TManualLine line;
  auto* port = static_cast<TprPort*>(PortNode->Data);
  port->Executor = &line;
  int windows = 0;
  SetConfigWorkRunner([&](TConfigProgressForm&, const TConfigWork& work) {
    ++windows;
    const size_t before = Sim->Frames.size();
    bool ended = false;
    work([&] { ended = true; });
    EXPECT_EQ(Sim->Frames.size(), before);
    EXPECT_FALSE(ended);
    line.RunAll();
    EXPECT_GT(Sim->Frames.size(), before);
    EXPECT_TRUE(ended);
  });
  Set(0, "FILTER2", 9);
  EXPECT_TRUE(Save(ModuleAt(5)));
  Set(0, "FILTER2", 3);
  EXPECT_TRUE(Open(ModuleAt(5)));
  line.RunAll();
  port->Executor = nullptr;
  EXPECT_EQ(windows, 3);  // the save's reading, the load's reading and its writing
  EXPECT_EQ(Get(0, "FILTER2"), 9u);
  EXPECT_EQ(TickedNames(Ui.Compared), (std::vector<std::string>{"FILTER2"}));
}

}  // namespace
