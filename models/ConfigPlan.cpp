#include "models/ConfigPlan.h"

#include <algorithm>
#include <cmath>

#include "comm/Codecs.h"
#include "comm/WireText.h"
#include "comm/prPort.h"
#include "models/ValueRules.h"

namespace {

TWriteStep StepTo(const std::string& name, const std::string& value) {
  TWriteStep step;
  step.Name = name;
  step.To = value;
  return step;
}

bool Stopped(const TStopAsked& stop) { return stop && stop(); }

}  // namespace

bool IsNetworkRegister(const std::string& name) {
  return SameText(name, "NETADDR") || SameText(name, "NETBDRT") || SameText(name, "MDBFMT");
}

TModuleConfig ReadConfig(TprModel& m, std::vector<std::string>& failed, const TStopAsked& stop,
                         const TStepShown& progress) {
  TModuleConfig config;
  config.Model = m.NameText;
  const auto map = m.Map();
  if (Stopped(stop)) return config;
  if (progress) progress(m.MVERSION->Name);
  if (m.ReadRegister(m.MVERSION))
    config.Firmware = m.MVERSION->ValueText;
  else
    failed.push_back(m.MVERSION->Name);
  for (size_t i = 0; i < map.size(); ++i) {
    if (!IsConfigRegister(map[i])) continue;
    if (Stopped(stop)) break;
    if (progress) progress(map[i].Name);
    TprDevReg* reg = m.Registers()[i];
    if (m.ReadRegister(reg))
      config.Values.emplace_back(map[i].Name, reg->ValueText);
    else
      failed.push_back(map[i].Name);
  }
  return config;
}

TConfigCheck CheckConfigFor(const TprModel& model, const TModuleConfig& config) {
  TConfigCheck check;
  if (config.Model != model.NameText) {
    check.Mismatch = TConfigMismatch::OtherModel;
    check.Error = "the file holds a configuration of " + config.Model + ", the module at address " +
                  std::to_string(model.Address) + " is " + model.NameText;
    return check;
  }
  for (const auto& [name, value] : config.Values) {
    const TprDevReg* reg = model.FindRegister(name);
    const TRegisterDef* def = reg ? reg->Def : nullptr;
    check.Register = name;
    check.Value = value;
    if (!def || !IsConfigRegister(*def)) {
      check.Mismatch = TConfigMismatch::NotASetting;
      check.Error = name + " is not a setting of " + config.Model;
      return check;
    }
    // A file holds what a module had stored, which may be a code its list does not name.
    std::string why;
    if (!CheckValueText(*def, value, why, true)) {
      check.Mismatch = TConfigMismatch::BadValue;
      check.Error = "value '" + value + "' of " + name + " in the file: must be " + why;
      return check;
    }
  }
  check.Register.clear();
  check.Value.clear();
  return check;
}

std::vector<std::string> MissingSettings(std::span<const TRegisterDef> map,
                                         const TModuleConfig& config, bool network) {
  std::vector<std::string> missing;
  for (const TRegisterDef& d : map)
    if (IsConfigRegister(d) && (network || !IsNetworkRegister(d.Name)) && !config.Find(d.Name))
      missing.push_back(d.Name);
  return missing;
}

std::vector<TValueDiff> DiffConfigs(std::span<const TRegisterDef> map, const TModuleConfig& a,
                                    const TModuleConfig& b, bool network) {
  std::vector<TValueDiff> out;
  for (const TRegisterDef& d : map) {
    if (!IsConfigRegister(d) || (!network && IsNetworkRegister(d.Name))) continue;
    const std::string* x = a.Find(d.Name);
    const std::string* y = b.Find(d.Name);
    if (!x && !y) continue;
    if (x && y && SameValue(d, *x, *y)) continue;
    out.push_back({d.Name, x, y});
  }
  return out;
}

void WriteAndVerify(TprModel& m, const TRegisterDef& def, TWriteStep& step) {
  TprDevReg* reg = m.FindRegister(def.Name);
  step.Written = m.WriteRegister(reg, step.To);
  if (!step.Written) return;
  int32_t code = 0;
  TprPort* port = m.Port();
  if (SameText(def.Name, "NETADDR") && TryStrToInt(step.To, code)) {
    m.SetAddress(uint32_t(code));
  } else if (SameText(def.Name, "NETBDRT") && TryStrToInt(step.To, code) && port) {
    if (auto rate = BaudRateOfCode(code)) {
      port->SetBaudRate(*rate);
      port->ApplySettings();
    }
  } else if (SameText(def.Name, "MDBFMT") && TryStrToInt(step.To, code) && port) {
    if (auto parity = ParityAt(int(code))) {
      port->SetParity(*parity);
      port->ApplySettings();
    }
  }
  if (def.Access == raCommand) return;
  if (m.ReadRegister(reg)) {
    step.ReadBack = reg->ValueText;
    step.Verified = SameValue(def, step.To, step.ReadBack);
  }
}

TLoadPlan PlanLoad(TprModel& m, const TModuleConfig& config, bool network, const TStopAsked& stop,
                   const TStepShown& progress) {
  TLoadPlan plan;
  std::vector<TWriteStep> last;
  for (const char* name : {"MDBFMT", "NETBDRT", "NETADDR"})
    if (config.Find(name)) {
      if (network)
        last.push_back(StepTo(name, *config.Find(name)));
      else
        plan.Skipped.push_back(name);
    }
  for (const TRegisterDef& d : m.Map()) {
    const std::string* wanted = config.Find(d.Name);
    if (!wanted || IsNetworkRegister(d.Name)) continue;
    plan.Steps.push_back(StepTo(d.Name, *wanted));
  }
  plan.Steps.insert(plan.Steps.end(), last.begin(), last.end());
  std::vector<TWriteStep> differing;
  for (TWriteStep& step : plan.Steps) {
    if (Stopped(stop)) break;
    if (progress) progress(step.Name);
    TprDevReg* reg = m.FindRegister(step.Name);
    if (!m.ReadRegister(reg)) {
      plan.Unread.push_back(step.Name);
      differing.push_back(step);  // unknown present value: write it
      continue;
    }
    step.From = reg->ValueText;
    step.FromRead = true;
    if (!SameValue(*reg->Def, step.From, step.To)) differing.push_back(step);
  }
  plan.Steps = std::move(differing);
  return plan;
}

void RunLoad(TprModel& m, TLoadPlan& plan, const std::function<void(const TWriteStep&)>& progress,
             const TStopAsked& stop) {
  for (TWriteStep& step : plan.Steps) {
    if (Stopped(stop)) break;
    WriteAndVerify(m, *m.FindRegister(step.Name)->Def, step);
    if (progress) progress(step);
  }
}
