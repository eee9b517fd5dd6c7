// Writes the seed corpora of the fuzz targets from the register tables: for every register of
// every model the reply a simulated module gives to its read (both protocols), the value text
// it shows and the frames that read and write it; the replies the decoder tests reject; the
// probe replies of every model; number and time entries.
//   make_fuzz_corpus FOLDER      writes FOLDER/<target>/<seed>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "models/ConfigFile.h"
#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "comm/prPort.h"
#include "fuzz/FuzzInput.h"
#include "sim/SimModule.h"
#include "support/CodecCases.h"

namespace {

namespace fs = std::filesystem;

fs::path Root;
int Written = 0;

void Seed(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
  const fs::path folder = Root / target;
  fs::create_directories(folder);
  std::string file = name;
  for (char& c : file)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
  std::ofstream(folder / file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  ++Written;
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> Frame(const uint8_t* f, int n) { return {f, f + n}; }

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

// One frame of the simulator target's run: [length][bytes].
std::vector<uint8_t> SimFrame(const std::vector<uint8_t>& f) { return Cat({uint8_t(f.size())}, f); }

void RegisterSeeds() {
  constexpr uint8_t address = 5;
  for (int model = 1; model < ModelCount; ++model) {
    TSimModule module = TSimModule::ForModel(model, address);
    module.RandomInputs = false;
    const auto map = RegisterMap(model);
    std::vector<uint8_t> velaRun{uint8_t(model), address, 2}, modbusRun{uint8_t(model), address, 1};
    TModuleConfig config{ModelNames[model].Name, {}, {}};
    for (size_t row = 0; row < map.size(); ++row) {
      const std::string name = std::string(ModelNames[model].Name) + "-" + map[row].Name;
      const std::vector<uint8_t> pick = fuzz::TableRegisterBytes(model, int(row), address);
      const uint8_t separator = uint8_t(row & 1);
      TprDevReg reg;
      reg.Setup(address, map[row].Bank, map[row].RegNo, map[row].ModbusAddress, map[row].StrLength,
                map[row].DataType);
      reg.SealVelaRead();
      reg.SealModbusRead();
      TFormatGuard guard(separator ? ',' : '.');

      const auto velaRequest = Frame(reg.VelaRead.Frame, reg.VelaRead.RequestLength);
      const auto velaReply = module.Serve(velaRequest.data(), int(velaRequest.size()), 0);
      const auto modbusRequest = Frame(reg.ModbusRead.Frame, reg.ModbusRead.RequestLength);
      const auto modbusReply = module.Serve(modbusRequest.data(), int(modbusRequest.size()), 0);
      if (!velaReply || !modbusReply) {
        std::cerr << "no reply of the simulated module for " << name << "\n";
        std::exit(1);
      }
      Seed("fuzz_vela_reply", name, Cat(Cat(pick, {separator}), fuzz::ReplyBytes(*velaReply)));
      Seed("fuzz_modbus_reply", name, Cat(Cat(pick, {separator}), fuzz::ReplyBytes(*modbusReply)));

      TModbusRecord record{};
      std::memcpy(record.Frame, modbusReply->data(), modbusReply->size());
      record.RequestLength = int32_t(modbusReply->size());
      reg.DecodeModbusReply(record);
      Seed("fuzz_encoders", name, Cat(Cat(pick, {separator, 0}), Text(reg.ValueText)));

      if (std::string_view(map[row].Name) == "MVERSION") config.Firmware = reg.ValueText;
      if (IsConfigRegister(map[row])) config.Values.emplace_back(map[row].Name, reg.ValueText);
      velaRun = Cat(velaRun, SimFrame(velaRequest));
      modbusRun = Cat(modbusRun, SimFrame(modbusRequest));
      if (!reg.ValueText.empty()) {
        reg.EncodeVelaWrite(reg.ValueText);
        reg.EncodeModbusWrite(reg.ValueText);
        velaRun = Cat(velaRun, SimFrame(Frame(reg.VelaWrite.Frame, reg.VelaWrite.RequestLength)));
        modbusRun =
            Cat(modbusRun, SimFrame(Frame(reg.ModbusWrite.Frame, reg.ModbusWrite.RequestLength)));
      }
    }
    Seed("fuzz_config_file", ModelNames[model].Name, Text(WriteConfigXml(config)));
    Seed("fuzz_sim_request", std::string(ModelNames[model].Name) + "-vela", velaRun);
    Seed("fuzz_sim_request", std::string(ModelNames[model].Name) + "-modbus", modbusRun);

    // The probe replies of the model, both protocols.
    TVelaRecord velaProbe;
    PrepareVelaProbe(VelaProbeTemplate(), address, velaProbe);
    TModbusRecord modbusProbe;
    PrepareModbusProbe(ModbusProbeTemplate(), address, modbusProbe);
    const auto v = module.Serve(velaProbe.Frame, velaProbe.RequestLength, 0);
    const auto m = module.Serve(modbusProbe.Frame, modbusProbe.RequestLength, 0);
    Seed("fuzz_probe", std::string(ModelNames[model].Name) + "-vela",
         Cat({1, address}, fuzz::ReplyBytes(v.value_or(std::vector<uint8_t>{}))));
    Seed("fuzz_probe", std::string(ModelNames[model].Name) + "-modbus",
         Cat({0, address}, fuzz::ReplyBytes(m.value_or(std::vector<uint8_t>{}))));
  }
}

std::vector<uint8_t> RawPick(const codec_cases::TIdentity& id) {
  fuzz::TRegisterPick p;
  p.Address = id.Address;
  p.Bank = id.Bank;
  p.RegNo = id.RegNo;
  p.ModbusAddress = id.ModbusAddress;
  p.StrLength = id.StrLength;
  p.DataType = id.DataType;
  return fuzz::RawRegisterBytes(p);
}

void BrokenReplySeeds() {
  auto seed = [](const char* target, const codec_cases::TBrokenReply& c, const auto& record) {
    const std::vector<uint8_t> frame(record.Frame,
                                     record.Frame + std::max(0, record.RequestLength));
    Seed(target, std::string("broken-") + c.What,
         Cat(Cat(RawPick(c.Reg), {0}), fuzz::ReplyBytes(frame)));
  };
  for (const auto& c : codec_cases::BrokenVelaReplies())
    seed("fuzz_vela_reply", c, codec_cases::VelaReply(c));
  for (const auto& c : codec_cases::BrokenModbusReplies())
    seed("fuzz_modbus_reply", c, codec_cases::ModbusReply(c));
}

void ConfigFileSeeds() {
  const char* const files[] = {
      ("<module-configuration model=\"KAPPA-01\"><register name=\"A\" value=\"1\"/>"
       "<register name=\"a\" value=\"2\"/></module-configuration>"),
      "<other model=\"KAPPA-01\"/>",
      "<module-configuration model=\"\"/>",
      "<module-configuration model=\"ETA-03\"><register name=\"X\"/></module-configuration>",
      "<module-configuration model=\"ETA-03\" firmware=\"&#x41;&amp;\"></module-configuration>",
  };
  int i = 0;
  for (const char* f : files) Seed("fuzz_config_file", "refused-" + std::to_string(i++), Text(f));
}

void EntrySeeds() {
  const char* const texts[] = {"12",       " -12",    "65536",       "abc",      "247",
                               "0,5",      "1.5e3",   "-2147483648", "12:34:56", "1:02:03 PM",
                               "23.59.59", "7:05 am", "12:00:00 Uhr"};
  int format = 0;
  for (const char* t : texts) {
    for (uint8_t separator : {0, 1})
      Seed("fuzz_entry", std::string(t) + "-" + std::to_string(separator),
           Cat({separator, uint8_t(format), 0, 0, 0xFF, 0xFF}, Text(t)));
    ++format;
  }
  Seed("fuzz_entry", "midnight-shown", {0, 0, 0, 0, 0, 0});
  Seed("fuzz_entry", "own-format",
       Cat({0, 0xFF, 10}, Cat(Text("H 'h' mm z"), Cat({0, 1, 0, 10}, Text("9 h 05 123")))));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_fuzz_corpus FOLDER\n";
    return 2;
  }
  Root = argv[1];
  RegisterSeeds();
  BrokenReplySeeds();
  EntrySeeds();
  ConfigFileSeeds();
  std::cout << Written << " seeds in " << Root.string() << "\n";
  return 0;
}
