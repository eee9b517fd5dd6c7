#include "models/ConfigFile.h"

#include <strings.h>
#include <tinyxml2.h>

#include "comm/Codecs.h"
#include "comm/prPort.h"

namespace {

constexpr const char* kModuleRoot = "module-configuration";
constexpr const char* kBusRoot = "bus-configuration";
constexpr const char* kModule = "module";
constexpr const char* kRegister = "register";

struct TFailed {
  TConfigFault Fault;
  std::string Error;
  int Line = 0;
};

TConfigParseResult Failed(const TFailed& f) {
  TConfigParseResult r;
  r.Fault = f.Fault;
  r.Error = f.Error;
  r.Line = f.Line;
  return r;
}

TFailed Damaged(const tinyxml2::XMLElement* e, const std::string& why) {
  return {TConfigFault::Damaged, why + ", line " + std::to_string(e->GetLineNum()),
          e->GetLineNum()};
}

// An attribute that must be an integer within lo..hi.
bool IntAttribute(const tinyxml2::XMLElement* e, const char* name, int lo, int hi, int& value) {
  const char* text = e->Attribute(name);
  int32_t v = 0;
  if (!text || !TryStrToInt(text, v) || v < lo || v > hi) return false;
  value = v;
  return true;
}

void PutModule(tinyxml2::XMLElement* into, const TModuleConfig& config) {
  tinyxml2::XMLDocument* doc = into->GetDocument();
  into->SetAttribute("model", config.Model.c_str());
  into->SetAttribute("firmware", config.Firmware.c_str());
  for (const auto& [name, value] : config.Values) {
    tinyxml2::XMLElement* reg = doc->NewElement(kRegister);
    reg->SetAttribute("name", name.c_str());
    reg->SetAttribute("value", value.c_str());
    into->InsertEndChild(reg);
  }
}

// The model, firmware and registers of a module element (the root of a module file).
bool GetModule(const tinyxml2::XMLElement* from, TModuleConfig& config, TFailed& failed) {
  const char* model = from->Attribute("model");
  if (!model || !*model) {
    failed = Damaged(from, "no model named");
    return false;
  }
  config.Model = model;
  if (const char* firmware = from->Attribute("firmware")) config.Firmware = firmware;
  for (const tinyxml2::XMLElement* e = from->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (std::string_view(e->Name()) != kRegister) {
      failed = Damaged(e, std::string("unexpected element <") + e->Name() + ">");
      return false;
    }
    const char* name = e->Attribute("name");
    const char* value = e->Attribute("value");
    if (!name || !*name || !value) {
      failed = Damaged(e, "a register without name or value");
      return false;
    }
    if (config.Find(name)) {
      failed = Damaged(e, std::string("register ") + name + " given twice");
      return false;
    }
    config.Values.emplace_back(name, value);
  }
  return true;
}

std::string Printed(const tinyxml2::XMLDocument& doc) {
  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return std::string(printer.CStr(), size_t(printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0));
}

tinyxml2::XMLElement* NewRoot(tinyxml2::XMLDocument& doc, const char* name) {
  doc.InsertEndChild(doc.NewDeclaration());
  tinyxml2::XMLElement* root = doc.NewElement(name);
  doc.InsertEndChild(root);
  root->SetAttribute("format", kConfigFormat);
  return root;
}

bool GetBus(const tinyxml2::XMLElement* root, TBusConfig& bus, TFailed& failed) {
  const char* protocol = root->Attribute("protocol");
  const char* parity = root->Attribute("parity");
  int baud = 0;
  if (!protocol || (std::string_view(protocol) != ProtocolWord(ptModbus) &&
                    std::string_view(protocol) != ProtocolWord(ptVela))) {
    failed = Damaged(root, "the protocol is modbus or vela");
    return false;
  }
  bus.Protocol = std::string_view(protocol) == ProtocolWord(ptVela) ? ptVela : ptModbus;
  if (!IntAttribute(root, "baud", 1, 1 << 30, baud) || BaudRateIndex(baud) < 0) {
    failed = Damaged(root, "no baud rate of the list");
    return false;
  }
  bus.Baud = baud;
  bool parityKnown = false;
  for (int i = 0; ParityAt(i); ++i)
    if (parity && std::string_view(parity) == ParityWord(*ParityAt(i))) {
      bus.Parity = *ParityAt(i);
      parityKnown = true;
    }
  if (!parityKnown) {
    failed = Damaged(root, "the parity is none, odd or even");
    return false;
  }
  int timeout = 0;
  if (!IntAttribute(root, "timeout", 0, 65000, timeout)) {
    failed = Damaged(root, "the time-out is 0..65000 ms");
    return false;
  }
  bus.Timeout = timeout;
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (std::string_view(e->Name()) != kModule) {
      failed = Damaged(e, std::string("unexpected element <") + e->Name() + ">");
      return false;
    }
    TBusModule module;
    if (!IntAttribute(e, "address", 1, 247, module.Address)) {
      failed = Damaged(e, "a module without an address 1..247");
      return false;
    }
    if (bus.Find(module.Address)) {
      failed = Damaged(e, "address " + std::to_string(module.Address) + " given twice");
      return false;
    }
    if (!GetModule(e, module.Config, failed)) return false;
    bus.Modules.push_back(std::move(module));
  }
  return true;
}

}  // namespace

const char* ProtocolWord(uint8_t protocol) { return protocol == ptVela ? "vela" : "modbus"; }

const char* ParityWord(TLineParity parity) {
  switch (parity) {
    case TLineParity::Odd:
      return "odd";
    case TLineParity::Even:
      return "even";
    default:
      return "none";
  }
}

const std::string* TModuleConfig::Find(const std::string& name) const {
  for (const auto& [n, v] : Values)
    if (strcasecmp(n.c_str(), name.c_str()) == 0) return &v;
  return nullptr;
}

const TBusModule* TBusConfig::Find(int address) const {
  for (const TBusModule& m : Modules)
    if (m.Address == address) return &m;
  return nullptr;
}

std::string WriteConfigXml(const TModuleConfig& config) {
  tinyxml2::XMLDocument doc;
  PutModule(NewRoot(doc, kModuleRoot), config);
  return Printed(doc);
}

std::string WriteBusXml(const TBusConfig& bus) {
  tinyxml2::XMLDocument doc;
  tinyxml2::XMLElement* root = NewRoot(doc, kBusRoot);
  root->SetAttribute("protocol", ProtocolWord(bus.Protocol));
  root->SetAttribute("baud", bus.Baud);
  root->SetAttribute("parity", ParityWord(bus.Parity));
  root->SetAttribute("timeout", bus.Timeout);
  for (const TBusModule& m : bus.Modules) {
    tinyxml2::XMLElement* module = doc.NewElement(kModule);
    module->SetAttribute("address", m.Address);
    PutModule(module, m.Config);
    root->InsertEndChild(module);
  }
  return Printed(doc);
}

TConfigParseResult ParseConfigXml(std::string_view text) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
    return Failed({TConfigFault::NotXml,
                   std::string("not well-formed XML: ") + (doc.ErrorStr() ? doc.ErrorStr() : ""),
                   doc.ErrorLineNum()});
  const tinyxml2::XMLElement* root = doc.RootElement();
  const std::string_view name = root ? root->Name() : "";
  if (name != kModuleRoot && name != kBusRoot)
    return Failed({TConfigFault::Foreign,
                   std::string("no <") + kModuleRoot + "> or <" + kBusRoot + "> element"});
  // Files written before the format was numbered are of the first format.
  int format = 1;
  if (root->Attribute("format") && !IntAttribute(root, "format", 1, 1 << 30, format))
    return Failed(Damaged(root, "the format is no version number"));
  if (format > kConfigFormat)
    return Failed({TConfigFault::NewerFormat,
                   "format " + std::to_string(format) + " is newer than this program reads (" +
                       std::to_string(kConfigFormat) + ")",
                   root->GetLineNum()});
  TConfigParseResult r;
  TFailed failed;
  r.Kind = name == kBusRoot ? TConfigKind::Bus : TConfigKind::Module;
  const bool ok =
      r.Kind == TConfigKind::Bus ? GetBus(root, r.Bus, failed) : GetModule(root, r.Config, failed);
  if (!ok) return Failed(failed);
  r.Ok = true;
  return r;
}
