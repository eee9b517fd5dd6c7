#include "shell/ConfigUnit.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "comm/LineOps.h"
#include "comm/LineWorker.h"
#include "comm/Resources.h"
#include "comm/prNode.h"
#include "comm/prPort.h"
#include "models/BusScan.h"
#include "models/ConfigPlan.h"
#include "shell/MainUnit.h"
#include "shell/PortUnit.h"
#include "shell/SearchUnit.h"
#include "shell/prUnit.h"

namespace {

const char* const AppTitle = "ORBIS Utility";

TConfigWorkRunner& InstalledRunner() {
  static TConfigWorkRunner runner;
  return runner;
}

// A resource pattern with %1, %2, ... replaced by the arguments in order.
std::string Fill(const char* pattern, std::initializer_list<std::string> args) {
  const std::string format = ResStr(pattern);
  std::string text;
  for (size_t i = 0; i < format.size(); ++i) {
    const size_t n = i + 1 < format.size() ? size_t(format[i + 1] - '1') : args.size();
    if (format[i] == '%' && n < args.size()) {
      text += *(args.begin() + n);
      ++i;
    } else {
      text += format[i];
    }
  }
  return text;
}

std::string Joined(const std::vector<std::string>& items, const char* between = ", ") {
  std::string joined;
  for (const auto& item : items) joined += (joined.empty() ? "" : between) + item;
  return joined;
}

void Tell(const std::string& text, TMsgIcon icon = TMsgIcon::Error) {
  Ui().MessageBox(text, AppTitle, icon);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "KAPPA-01 (адрес 5)"
std::string ModuleText(const std::string& model, int address) {
  return Fill("%1 (адрес %2)", {model, std::to_string(address)});
}

// A device object of the module's model, address and port, for the exchanges of a save or a
// load on the line: the tree's object belongs to its page, which shows its registers' values
// meanwhile.
std::unique_ptr<TprModel> LineCopy(const TprModel& m) {
  int model = 1;
  while (model < ModelCount && RegisterMap(model).data() != m.Map().data()) ++model;
  if (model == ModelCount) throw std::logic_error("a module of no model in the table");
  std::unique_ptr<TprModel> copy(
      static_cast<TprModel*>(CreateDevice(model, m.Address, m.Port())));
  copy->NameText = m.NameText;
  copy->InitFlag = m.InitFlag;
  return copy;
}

int ConfigSize(const TprModel& m) {
  const auto map = m.Map();
  return 1 + int(std::count_if(map.begin(), map.end(), IsConfigRegister));
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << text;
  if (out.flush()) return true;
  error = std::strerror(errno);
  return false;
}

bool ReadTextFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return !in.bad();
}

// Reads the configurations of the modules in the progress window. Unread registers go to
// `failed` as "KAPPA-01 (адрес 5): FILTER1, FILTER2". False when the user stopped it.
// `before` runs on the line first. False when the user stopped it.
bool ReadConfigs(const std::vector<TprModel*>& modules, std::vector<TModuleConfig>& configs,
                 std::vector<std::string>& failed, const std::function<void()>& before = {}) {
  TConfigProgressForm W;
  W.Caption = TConfigProgressForm::ReadCaption;
  W.GaugeMax = 0;
  std::vector<std::unique_ptr<TprModel>> copies;
  for (TprModel* m : modules) {
    W.GaugeMax += ConfigSize(*m);
    copies.push_back(LineCopy(*m));
  }
  RunConfigWork(W, LineOf(modules.front()->Port()), [&] {
    if (before) before();
    int done = 0;
    for (auto& copy : copies) {
      TprModel* m = copy.get();
      std::vector<std::string> unread;
      const std::string what = ModuleText(m->NameText, int(m->Address));
      configs.push_back(ReadConfig(
          *m, unread, [&W] { return W.Cancelled(); },
          [&](const std::string& name) { W.Step(what + ": " + name, done++); }));
      if (W.Cancelled()) return;
      if (!unread.empty()) failed.push_back(what + ": " + Joined(unread));
    }
  });
  return !W.Cancelled();
}

bool SaveModule(TprModel& model, const std::string& path) {
  std::vector<TModuleConfig> configs;
  std::vector<std::string> failed;
  if (!ReadConfigs({&model}, configs, failed)) return false;
  if (!failed.empty()) {
    Tell(Fill("Не удалось прочитать регистры модуля %1. Файл не сохранен.", {failed.front()}));
    return false;
  }
  std::string error;
  if (!WriteTextFile(path, WriteConfigXml(configs.front()), error)) {
    Tell(Fill("Файл %1 не сохранен: %2", {BaseName(path), error}));
    return false;
  }
  return true;
}

bool SaveBus(TMainForm& main, TTreeNode* node, const std::string& path) {
  auto* port = dynamic_cast<TprPort*>(node->Data);
  auto* page = port ? dynamic_cast<TPortForm*>(port->Page) : nullptr;
  if (!page) return false;
  // The search of the port page, watched for whether it went through every address. A search
  // ended by an error has told the user why.
  bool complete = false, failed = false;
  TSearchWindowRunner previous = SetSearchWindowRunner(nullptr);
  SetSearchWindowRunner([&](TSearchForm& w) {
    if (previous)
      previous(w);
    else
      RunSearchWindowInPlace(w);
    complete = !w.Failed && w.Looking >= w.MaxAddress;
    failed = w.Failed;
  });
  try {
    page->bbSearchClick();
  } catch (...) {
    SetSearchWindowRunner(std::move(previous));
    throw;
  }
  SetSearchWindowRunner(std::move(previous));
  if (failed) return false;
  if (!complete) {
    Tell(ResStr("Поиск остановлен. Файл не сохранен."), TMsgIcon::Warning);
    return false;
  }
  std::vector<TprModel*> modules;
  std::vector<std::string> unknown;
  for (TTreeNode* item : main.Items()) {
    if (item->Parent != node) continue;
    if (auto* m = dynamic_cast<TprModel*>(item->Data))
      modules.push_back(m);
    else if (auto* d = dynamic_cast<TprDevice*>(item->Data))
      unknown.push_back(std::to_string(d->Address));
  }
  if (modules.empty()) {
    Tell(ResStr("Модули не найдены. Файл не сохранен."), TMsgIcon::Warning);
    return false;
  }
  std::vector<TModuleConfig> configs;
  std::vector<std::string> unread;
  TBusConfig bus;
  // The line settings are the line's: read where the port page's changes are made.
  const auto settings = [&bus, port] {
    bus.Protocol = port->Protocol();
    bus.Baud = port->BaudRate();
    bus.Parity = port->Parity();
    bus.Timeout = port->Timeout();
  };
  if (!ReadConfigs(modules, configs, unread, settings)) return false;
  if (!unread.empty()) {
    Tell(Fill("Не удалось прочитать регистры модулей: %1. Файл не сохранен.",
              {Joined(unread, "; ")}));
    return false;
  }
  for (size_t i = 0; i < modules.size(); ++i)
    bus.Modules.push_back({int(modules[i]->Address), configs[i]});
  std::sort(bus.Modules.begin(), bus.Modules.end(),
            [](const TBusModule& a, const TBusModule& b) { return a.Address < b.Address; });
  std::string error;
  if (!WriteTextFile(path, WriteBusXml(bus), error)) {
    Tell(Fill("Файл %1 не сохранен: %2", {BaseName(path), error}));
    return false;
  }
  if (!unknown.empty())
    Tell(Fill("Модули неизвестной модели не сохранены (адреса %1).", {Joined(unknown)}),
         TMsgIcon::Information);
  return true;
}

// Why a file cannot be opened, in one line.
std::string FaultText(const TConfigParseResult& r) {
  switch (r.Fault) {
    case TConfigFault::NotXml:
      return Fill("файл поврежден (строка %1)", {std::to_string(r.Line)});
    case TConfigFault::Foreign:
      return ResStr("это не файл конфигурации");
    case TConfigFault::NewerFormat:
      return ResStr("файл записан более новой версией программы");
    default:
      return Fill("файл поврежден (строка %1)", {std::to_string(r.Line)});
  }
}

std::string MismatchText(const TConfigCheck& check, const TModuleConfig& config,
                         const TprModel& model) {
  switch (check.Mismatch) {
    case TConfigMismatch::OtherModel:
      return Fill("в файле конфигурация %1, а модуль - %2", {config.Model, model.NameText});
    case TConfigMismatch::NotASetting:
      return Fill("%1 не является настройкой модуля %2", {check.Register, config.Model});
    default:
      return Fill("недопустимое значение \"%1\" регистра %2", {check.Value, check.Register});
  }
}

// A module of the comparison: its device object and what the file wants of it.
struct TLoadTarget {
  TprModel* Model = nullptr;  // where the page shows it
  const TModuleConfig* Config = nullptr;
  size_t Group = 0;
  TLoadPlan Plan;
  std::shared_ptr<TprModel> Line;  // the object the exchanges use; the tree's has a page
  TprModel& OnLine() { return Line ? *Line : *Model; }
};

// Where the page shows each register: the shown page of the module, else a page built for
// the lookup only.
std::vector<std::string> CaptionsOf(TprModel& m, const std::vector<TWriteStep>& steps) {
  std::unique_ptr<TprForm> scratch;
  TprForm* page = m.Page;
  if (!page) {
    scratch.reset(CreatePage(m.PageClass, &m));
    page = scratch.get();
  }
  std::vector<std::string> captions;
  for (const TWriteStep& s : steps) captions.push_back(page->RegisterCaption(s.Name));
  return captions;
}

// A port put on a bus file's line settings goes back to its own unless the writes began.
struct TLineRestore {
  TprPort* Port = nullptr;
  std::shared_ptr<TBusConfig> Saved = std::make_shared<TBusConfig>();
  bool Keep = false;
  ~TLineRestore() {
    if (!Port || Keep) return;
    LineOf(Port).Post(
        [port = Port, saved = Saved] {
          port->SetProtocol(saved->Protocol);
          port->SetBaudRate(saved->Baud);
          port->SetParity(saved->Parity);
          port->SetTimeout(saved->Timeout);
          port->ApplySettings();
        },
        // A line gone meanwhile: the settings are on the port node for its next opening.
        [](std::exception_ptr) {});
  }
};

// Puts the port on a bus file's line settings, keeping its own in `saved`. Runs on the line.
void TakeLineSettings(TprPort& port, const TBusConfig& file, TLineRestore& restore) {
  *restore.Saved = {port.Protocol(), port.BaudRate(), port.Parity(), port.Timeout(), {}};
  restore.Port = &port;
  port.SetProtocol(file.Protocol);
  port.SetBaudRate(file.Baud);
  port.SetParity(file.Parity);
  port.SetTimeout(file.Timeout);
  if (port.ComPort && !port.ComPort->Connected()) port.ComPort->Open();
  port.ApplySettings();
}

std::string ResultText(const TWriteStep& step, bool reached) {
  if (!reached) return ResStr("не записано (отменено)");
  // The module may have taken a write whose answer was lost: only its state is unknown.
  if (!step.Written) return ResStr("нет подтверждения записи");
  if (step.Verified) return ResStr("записано и проверено");
  if (step.ReadBack.empty()) return ResStr("записано, проверить не удалось");
  return Fill("записано, но читается %1", {step.ReadBack});
}

// A file opened for loading: its content, the modules it goes to, and the comparison.
struct TOpenedFile {
  TConfigParseResult File;
  TConfigCompareForm Form;
  std::vector<TLoadTarget> Targets;
  std::vector<std::unique_ptr<TprNode>> Probed;  // device objects at a bus file's addresses
  TprPort* Port = nullptr;
  bool Bus = false;  // the file's modules are looked for at their addresses
  TLineRestore Restore;
};

// The modules the file goes to, checked before any exchange: the selected module, or with a
// port selected a device object per address of a bus file, the port put on the file's line
// settings. The reason for a refusal, empty when the file may be compared.
std::string TakeTargets(TTreeNode* node, TOpenedFile& o) {
  const TConfigParseResult& file = o.File;
  if (auto* model = dynamic_cast<TprModel*>(node->Data)) {
    const TModuleConfig* config = &file.Config;
    if (file.Kind == TConfigKind::Bus) {
      const TBusModule* entry = file.Bus.Find(int(model->Address));
      if (!entry) return Fill("в файле нет модуля с адресом %1", {std::to_string(model->Address)});
      config = &entry->Config;
    }
    const TConfigCheck check = CheckConfigFor(*model, *config);
    if (!check) return MismatchText(check, *config, *model);
    o.Form.Groups.push_back({int(model->Address), config->Model, model->NameText, {}, {}});
    o.Targets.push_back({model, config, 0, {}, LineCopy(*model)});
    o.Port = model->Port();
    return {};
  }
  if (file.Kind != TConfigKind::Bus)
    return ResStr("это конфигурация модуля, выберите модуль в дереве");
  o.Port = static_cast<TprPort*>(node->Data);
  o.Bus = true;
  for (const TBusModule& entry : file.Bus.Modules) {
    const int index = ModelIndexOfName(entry.Config.Model);
    if (index == 0) return Fill("неизвестная модель %1", {entry.Config.Model});
    o.Probed.emplace_back(CreateDevice(index, uint32_t(entry.Address), o.Port));
    auto& m = static_cast<TprModel&>(*o.Probed.back());
    if (const TConfigCheck check = CheckConfigFor(m, entry.Config); !check)
      return ModuleText(entry.Config.Model, entry.Address) + ": " +
             MismatchText(check, entry.Config, m);
  }
  return {};
}

// In the progress window: a bus file's addresses probed, the present values of every module
// read, and the comparison's rows filled in. False when the user stopped it.
bool ReadPresentValues(TOpenedFile& o) {
  TConfigProgressForm reading;
  reading.Caption = TConfigProgressForm::ReadCaption;
  if (o.Bus)
    for (const TBusModule& entry : o.File.Bus.Modules)
      reading.GaugeMax += 1 + int(entry.Config.Values.size());
  else
    reading.GaugeMax = int(o.Targets.front().Config->Values.size());
  RunConfigWork(reading, LineOf(o.Port), [&] {
    // The modules listen at the line settings the file was saved with.
    if (o.Bus) TakeLineSettings(*o.Port, o.File.Bus, o.Restore);
    auto stop = [&reading] { return reading.Cancelled(); };
    int done = 0;
    for (size_t i = 0; o.Bus && i < o.File.Bus.Modules.size(); ++i) {
      const TBusModule& entry = o.File.Bus.Modules[i];
      reading.Step(ModuleText(entry.Config.Model, entry.Address), done++);
      if (stop()) return;
      TCompareGroup group{entry.Address, entry.Config.Model, {}, {}, {}};
      TScanHit hit;
      if (!ProbeAddress(*o.Port, uint8_t(entry.Address), hit)) {
        group.Note = ResStr("модуль не отвечает, пропущен");
      } else {
        group.FoundModel = ModelRow(hit.ModelIndex).Name;
        if (group.FoundModel != entry.Config.Model)
          group.Note = Fill("в файле %1, пропущен", {entry.Config.Model});
        else
          o.Targets.push_back(
              {static_cast<TprModel*>(o.Probed[i].get()), &entry.Config, o.Form.Groups.size(), {}, nullptr});
      }
      o.Form.Groups.push_back(std::move(group));
    }
    for (TLoadTarget& t : o.Targets) {
      const std::string what = ModuleText(t.Model->NameText, int(t.Model->Address));
      t.Plan = PlanLoad(t.OnLine(), *t.Config, true, stop,
                        [&](const std::string& name) { reading.Step(what + ": " + name, done++); });
      if (stop()) return;
    }
  });
  if (reading.Cancelled()) return false;
  for (TLoadTarget& t : o.Targets) {
    const std::vector<std::string> captions = CaptionsOf(*t.Model, t.Plan.Steps);
    for (size_t i = 0; i < t.Plan.Steps.size(); ++i) {
      const TWriteStep& step = t.Plan.Steps[i];
      TCompareRow row;
      row.Register = step.Name;
      row.Caption = captions[i];
      row.FileValue = step.To;
      row.ModuleValue = step.FromRead ? step.From : ResStr("Н/Д");
      row.Network = IsNetworkRegister(step.Name);
      row.Ticked = !row.Network;
      o.Form.Groups[t.Group].Rows.push_back(row);
    }
  }
  return true;
}

// In the progress window: the ticked registers written, in the plan's order (network settings
// last), each read back; every ticked row gets its result. True when a write was acknowledged.
bool WriteTicked(TOpenedFile& o) {
  TConfigProgressForm writing;
  writing.Caption = TConfigProgressForm::WriteCaption;
  writing.GaugeMax = o.Form.Ticked();
  bool wrote = false;
  // A module given a new bus address is found there by its page from now on.
  struct TFollowAddress {
    std::vector<TLoadTarget>& Targets;
    ~TFollowAddress() {
      for (TLoadTarget& t : Targets)
        if (t.Line && t.Line->Address != t.Model->Address) t.Model->SetAddress(t.Line->Address);
    }
  } follow{o.Targets};
  RunConfigWork(writing, LineOf(o.Port), [&] {
    int done = 0;
    for (TLoadTarget& t : o.Targets) {
      TCompareGroup& group = o.Form.Groups[t.Group];
      TLoadPlan ticked;
      std::vector<TCompareRow*> rows;
      for (size_t i = 0; i < t.Plan.Steps.size(); ++i)
        if (group.Rows[i].Ticked) {
          ticked.Steps.push_back(t.Plan.Steps[i]);
          rows.push_back(&group.Rows[i]);
        }
      const std::string what = ModuleText(t.Model->NameText, int(t.Model->Address));
      RunLoad(
          t.OnLine(), ticked,
          [&](const TWriteStep& step) {
            // The step is the plan's own element: its place is its row's.
            TCompareRow& row = *rows[size_t(&step - ticked.Steps.data())];
            row.Holds = step.Verified;
            row.Result = ResultText(step, true);
            wrote = wrote || step.Written;
            writing.Step(what + ": " + step.Name, ++done);
          },
          [&writing] { return writing.Cancelled(); });
    }
  });
  for (TCompareGroup& group : o.Form.Groups)
    for (TCompareRow& row : group.Rows)
      if (row.Ticked && row.Result.empty()) row.Result = ResultText({}, false);
  return wrote;
}

// The page of the node released for a while and shown again when this goes, whatever happens.
struct TPageAway {
  TMainForm& Main;
  TprNode* Node;
  ~TPageAway() {
    try {
      Main.SetPageShown(Node, true);
    } catch (...) {
      // The error of the writes is the one to report.
    }
  }
};
}  // namespace

void TConfigProgressForm::Step(const std::string& action, int position) {
  {
    std::lock_guard<std::mutex> hold(StepLock);
    lbAction = action;
    GaugePosition = position;
  }
  if (OnStep) OnStep();
}

std::pair<std::string, int> TConfigProgressForm::Shown() const {
  std::lock_guard<std::mutex> hold(StepLock);
  return {lbAction, GaugePosition};
}

TConfigWorkRunner SetConfigWorkRunner(TConfigWorkRunner runner) {
  TConfigWorkRunner previous = std::move(InstalledRunner());
  InstalledRunner() = std::move(runner);
  return previous;
}

void RunConfigWork(TConfigProgressForm& W, TLineExecutor& line, const std::function<void()>& work) {
  struct TState {
    bool Waiting = true;  // the caller still waits for the work's end
    bool Finished = false;
    std::exception_ptr Error;
  };
  auto state = std::make_shared<TState>();
  auto ended = std::make_shared<std::promise<void>>();
  std::future<void> jobEnded = ended->get_future();
  bool posted = false;
  // The job works on the caller's data: it must have ended before this returns, also when the
  // window's display ended without it (the program quitting under it) or its runner failed.
  struct TJobWait {
    TConfigProgressForm& W;
    const bool& Posted;
    TState& State;
    std::future<void>& JobEnded;
    ~TJobWait() {
      State.Waiting = false;
      if (!Posted || State.Finished) return;
      W.btCancelClick();
      JobEnded.wait();
    }
  } wait{W, posted, *state, jobEnded};
  const TConfigWork start = [&line, &work, &posted, ended, state](std::function<void()> closed) {
    posted = true;
    line.Post(
        [&work, ended] {
          struct TEnd {
            std::promise<void>& Ended;
            ~TEnd() { Ended.set_value(); }
          } end{*ended};
          work();
        },
        [state, closed = std::move(closed)](std::exception_ptr error) {
          if (!state->Waiting) return;
          state->Finished = true;
          state->Error = error;
          closed();
        });
  };
  if (InstalledRunner())
    InstalledRunner()(W, start);
  else
    start([] {});
  if (state->Error) std::rethrow_exception(state->Error);
}

std::string TCompareGroup::Title() const {
  const std::string address = std::to_string(Address);
  if (FoundModel.empty() && !Note.empty())
    return Fill("Адрес %1: %2 - %3", {address, FileModel, Note});
  if (!Note.empty()) return Fill("Адрес %1: %2 - %3", {address, FoundModel, Note});
  return Fill("Адрес %1: %2", {address, FoundModel});
}

int TConfigCompareForm::Ticked() const {
  int n = 0;
  for (const TCompareGroup& g : Groups)
    for (const TCompareRow& r : g.Rows) n += r.Ticked;
  return n;
}

bool ConfigFileApplies(const TTreeNode* node) {
  if (!node || !node->Data) return false;
  if (node->Level() == 1) return dynamic_cast<TprPort*>(node->Data) != nullptr;
  return node->Level() == 2 && dynamic_cast<TprModel*>(node->Data) != nullptr;
}

bool SaveConfigFile(TMainForm& main, TTreeNode* node, const std::string& path) {
  if (!ConfigFileApplies(node)) return false;
  TCursorRestore restore(Ui().Cursor());
  if (auto* model = dynamic_cast<TprModel*>(node->Data)) return SaveModule(*model, path);
  return SaveBus(main, node, path);
}

bool OpenConfigFile(TMainForm& main, TTreeNode* node, const std::string& path) {
  if (!ConfigFileApplies(node)) return false;
  TOpenedFile opened;
  opened.Form.FileName = BaseName(path);
  auto refuse = [&](const std::string& why) {
    Tell(Fill("Файл %1 не открыт: %2.", {opened.Form.FileName, why}));
    return false;
  };
  std::string text;
  if (!ReadTextFile(path, text)) return refuse(ResStr("файл не читается"));
  opened.File = ParseConfigXml(text);
  if (!opened.File.Ok) return refuse(FaultText(opened.File));
  const std::string why = TakeTargets(node, opened);
  if (!why.empty()) return refuse(why);

  if (!ReadPresentValues(opened)) return false;
  if (Ui().ShowModal(opened.Form) != TModalResult::Ok || opened.Form.Ticked() == 0) return false;
  // From the first write on, the modules may be where the file has them.
  opened.Restore.Keep = true;
  bool wrote = false;
  {
    // The page stops polling while the writes run and shows fresh values after them, also when
    // a line error ends the writes.
    TPageAway away{main, node->Data};
    main.SetPageShown(node->Data, false);
    wrote = WriteTicked(opened);
  }
  opened.Form.ShowingResult = true;
  Ui().ShowModal(opened.Form);
  return wrote;
}
