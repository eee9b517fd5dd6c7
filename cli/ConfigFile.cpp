#include "cli/ConfigFile.h"

#include <strings.h>
#include <tinyxml2.h>

namespace {

constexpr const char* kRoot = "module-configuration";
constexpr const char* kRegister = "register";

TConfigParseResult Failed(std::string why) {
  TConfigParseResult r;
  r.Error = std::move(why);
  return r;
}

}  // namespace

const std::string* TModuleConfig::Find(const std::string& name) const {
  for (const auto& [n, v] : Values)
    if (strcasecmp(n.c_str(), name.c_str()) == 0) return &v;
  return nullptr;
}

std::string WriteConfigXml(const TModuleConfig& config) {
  tinyxml2::XMLDocument doc;
  doc.InsertEndChild(doc.NewDeclaration());
  tinyxml2::XMLElement* root = doc.NewElement(kRoot);
  doc.InsertEndChild(root);
  root->SetAttribute("model", config.Model.c_str());
  root->SetAttribute("firmware", config.Firmware.c_str());
  for (const auto& [name, value] : config.Values) {
    tinyxml2::XMLElement* reg = doc.NewElement(kRegister);
    reg->SetAttribute("name", name.c_str());
    reg->SetAttribute("value", value.c_str());
    root->InsertEndChild(reg);
  }
  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return std::string(printer.CStr(), size_t(printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0));
}

TConfigParseResult ParseConfigXml(std::string_view text) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
    return Failed(std::string("not well-formed XML: ") + (doc.ErrorStr() ? doc.ErrorStr() : ""));
  const tinyxml2::XMLElement* root = doc.RootElement();
  if (!root || std::string_view(root->Name()) != kRoot)
    return Failed(std::string("no <") + kRoot + "> element");
  const char* model = root->Attribute("model");
  if (!model || !*model) return Failed("no model named");
  TConfigParseResult r;
  r.Config.Model = model;
  if (const char* firmware = root->Attribute("firmware")) r.Config.Firmware = firmware;
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
    if (std::string_view(e->Name()) != kRegister)
      return Failed(std::string("unexpected element <") + e->Name() + ">");
    const char* name = e->Attribute("name");
    const char* value = e->Attribute("value");
    if (!name || !*name || !value)
      return Failed("a register without name or value, line " + std::to_string(e->GetLineNum()));
    if (r.Config.Find(name)) return Failed(std::string("register ") + name + " given twice");
    r.Config.Values.emplace_back(name, value);
  }
  r.Ok = true;
  return r;
}
