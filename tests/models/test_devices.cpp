// Device objects: creation from a probe, register ownership and names, lookups, addressing.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "comm/prPort.h"
#include "models/prBeta.h"
#include "models/prEta.h"
#include "models/prIota.h"
#include "models/prKappa.h"
#include "models/prRho.h"

namespace {

enum { Kappa = 1, Eta = 2, Beta = 3, Rho = 4, Iota = 5 };
const int AllModels[] = {Kappa, Eta, Beta, Rho, Iota};

std::unique_ptr<TprModel> NewModel(int index) {
  auto* model = dynamic_cast<TprModel*>(CreateDevice(index, 1, nullptr));
  EXPECT_NE(model, nullptr) << index;
  return std::unique_ptr<TprModel>(model);
}

template <class T>
bool SameBytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

TEST(Identification, ProbeValueToModelIndex) {
  const std::pair<int, int> cases[] = {{0, 0},   {150, 0}, {199, 0}, {200, 0}, {201, 1}, {202, 2},
                                       {203, 3}, {204, 4}, {205, 5}, {206, 0}, {207, 0}, {255, 0}};
  for (auto [value, index] : cases) EXPECT_EQ(ModelIndexFromProbe(uint8_t(value)), index) << value;
}

TEST(Identification, ModelTableRows) {
  const char* names[] = {"Неизвестный", "KAPPA-01", "ETA-03", "BETA-02", "RHO-05", "IOTA-04"};
  const char* pages[] = {"TUnknownForm", "TKappaForm", "TEtaForm", "TBetaForm", "TRhoForm", "TIotaForm"};
  for (int i = 0; i < ModelCount; ++i) {
    EXPECT_STREQ(ModelNames[i].Name, names[i]);
    EXPECT_STREQ(ModelNames[i].PageClass, pages[i]);
    EXPECT_EQ(ModelNames[i].Create != nullptr, i > 0);
    EXPECT_EQ(ModelNames[i].Map.empty(), i == 0);
  }
  EXPECT_EQ(&ModelRow(-1), &ModelNames[0]);
  EXPECT_EQ(&ModelRow(ModelCount), &ModelNames[0]);
}

template <class T>
bool IsA(TprNode* n) {
  return dynamic_cast<T*>(n) != nullptr;
}

TEST(Identification, CreatesTheDeviceOfTheProbedModel) {
  struct TCase {
    int Probe;
    bool (*Kind)(TprNode*);
    const char* Name;
    const char* Page;
  };
  const TCase cases[] = {
      {201, IsA<TprKappa>, "KAPPA-01", "TKappaForm"}, {202, IsA<TprEta>, "ETA-03", "TEtaForm"},
      {203, IsA<TprBeta>, "BETA-02", "TBetaForm"},    {204, IsA<TprRho>, "RHO-05", "TRhoForm"},
      {205, IsA<TprIota>, "IOTA-04", "TIotaForm"},
  };
  TprPort port;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Probe);
    std::unique_ptr<TprNode> node(CreateDevice(ModelIndexFromProbe(uint8_t(c.Probe)), 12, &port));
    EXPECT_TRUE(c.Kind(node.get()));
    EXPECT_EQ(node->NameText, c.Name);
    EXPECT_EQ(node->KindText, "Модуль ввода-вывода");
    EXPECT_EQ(node->PageClass, c.Page);
    EXPECT_EQ(node->ParentNode, &port);
    auto* model = dynamic_cast<TprModel*>(node.get());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->Port(), &port);
    EXPECT_EQ(model->Address, 12u);
    EXPECT_FALSE(model->InitFlag);
    // Set up for its address at once.
    for (TprDevReg* r : model->Registers()) {
      EXPECT_EQ(r->VelaRead.Frame[0], 12);
      EXPECT_EQ(r->ModbusWrite.Frame[0], 12);
    }
  }
}

TEST(Identification, UnrecognisedModuleHasItsAddressInTheKindText) {
  TprPort port;
  for (int probe : {200, 206, 255, 199, 0}) {
    SCOPED_TRACE(probe);
    std::unique_ptr<TprNode> node(CreateDevice(ModelIndexFromProbe(uint8_t(probe)), 37, &port));
    auto* device = dynamic_cast<TprDevice*>(node.get());
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Address, 37u);
    EXPECT_EQ(node->NameText, "Неизвестный");
    EXPECT_EQ(node->KindText, "Модуль ввода-вывода (адрес: 37)");
    EXPECT_EQ(node->PageClass, "TUnknownForm");
    EXPECT_EQ(node->ParentNode, &port);
    EXPECT_TRUE(node->Components().empty());
  }
  // An index outside the model table is an unrecognised module as well.
  std::unique_ptr<TprNode> node(CreateDevice(9, 247, nullptr));
  EXPECT_NE(dynamic_cast<TprDevice*>(node.get()), nullptr);
  EXPECT_EQ(node->KindText, "Модуль ввода-вывода (адрес: 247)");
}

TEST(DeviceObjects, OwnOneNamedRegisterPerMapRowAndBuildNoFrameBeforeAddressing) {
  std::unique_ptr<TprModel> models[] = {std::make_unique<TprKappa>(), std::make_unique<TprEta>(),
                                        std::make_unique<TprBeta>(), std::make_unique<TprRho>(),
                                        std::make_unique<TprIota>()};
  for (auto& model : models) {
    auto map = model->Map();
    ASSERT_EQ(model->Registers().size(), map.size());
    ASSERT_EQ(model->Components().size(), map.size());
    for (size_t i = 0; i < map.size(); ++i) {
      TprDevReg* r = model->Registers()[i];
      EXPECT_EQ(r->Name, map[i].Name);
      EXPECT_EQ(r->Owner(), model.get());
      EXPECT_EQ(model->Components()[i], r);
      EXPECT_EQ(r->VelaRead.RequestLength, 0) << r->Name;
      EXPECT_EQ(r->ModbusRead.RequestLength, 0) << r->Name;
    }
  }
  EXPECT_EQ(models[0]->Map().data(), RegisterMap(Kappa).data());
  EXPECT_EQ(models[1]->Map().data(), RegisterMap(Eta).data());
  EXPECT_EQ(models[2]->Map().data(), RegisterMap(Beta).data());
  EXPECT_EQ(models[3]->Map().data(), RegisterMap(Rho).data());
  EXPECT_EQ(models[4]->Map().data(), RegisterMap(Iota).data());
}

// Every register ends up with exactly the records of a register set up alone for the new
// address with its row's parameters.
TEST(DeviceObjects, SetAddressReaddressesEveryFrameOfEveryRegister) {
  for (int index : AllModels) {
    SCOPED_TRACE(ModelNames[index].Name);
    auto model = NewModel(index);
    model->SetAddress(5);
    model->SetAddress(7);
    EXPECT_EQ(model->Address, 7u);
    auto map = model->Map();
    for (size_t i = 0; i < map.size(); ++i) {
      const TRegisterDef& d = map[i];
      const TprDevReg* r = model->Registers()[i];
      SCOPED_TRACE(d.Name);
      EXPECT_EQ(r->VelaRead.Frame[0], 7);
      EXPECT_EQ(r->VelaWrite.Frame[0], 7);
      EXPECT_EQ(r->ModbusRead.Frame[0], 7);
      EXPECT_EQ(r->ModbusWrite.Frame[0], 7);
      EXPECT_EQ(r->VelaRead.Frame[1], d.Bank);
      EXPECT_EQ(r->VelaRead.Frame[2], d.RegNo);
      EXPECT_EQ(r->ModbusRead.Frame[2] << 8 | r->ModbusRead.Frame[3], d.ModbusAddress);
      EXPECT_EQ(r->ModbusWrite.DataType, d.DataType);
      EXPECT_EQ(r->ModbusWrite.StrLength, d.StrLength);
      TprDevReg alone;
      alone.Setup(7, d.Bank, d.RegNo, d.ModbusAddress, d.StrLength, d.DataType);
      EXPECT_TRUE(SameBytes(r->VelaRead, alone.VelaRead));
      EXPECT_TRUE(SameBytes(r->VelaWrite, alone.VelaWrite));
      EXPECT_TRUE(SameBytes(r->ModbusRead, alone.ModbusRead));
      EXPECT_TRUE(SameBytes(r->ModbusWrite, alone.ModbusWrite));
    }
  }
}

TEST(DeviceObjects, StringRegistersGetTheirLengths) {
  auto eta = NewModel(Eta);
  eta->SetAddress(3);
  // MNAME: 14 characters, read as 8 holding registers and written as 7.
  TprDevReg* name = eta->FindRegister("MNAME");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->ModbusRead.Frame[5], 8);
  EXPECT_EQ(name->ModbusWrite.Frame[5], 7);
  EXPECT_EQ(name->ModbusWrite.Frame[6], 14);
  const uint8_t versionRead[] = {3, 0x03, 0, 32, 0, 4};
  EXPECT_EQ(std::memcmp(eta->FindRegister("MVERSION")->ModbusRead.Frame, versionRead, 6), 0);
  const uint8_t displayWrite[] = {3, 0x10, 0, 27, 0, 4, 8};
  EXPECT_EQ(std::memcmp(eta->FindRegister("DISPLAY")->ModbusWrite.Frame, displayWrite, 7), 0);
}

TEST(DeviceObjects, LookupByNameIgnoresCaseAndMissesUndeclaredNames) {
  struct TCase {
    int Model;
    const char* Name;
    bool Found;
  };
  const TCase cases[] = {
      {Kappa, "COUNTER16", true}, {Kappa, "FILTER4", true},  {Kappa, "FILTER5", false},
      {Kappa, "ICON3", false},    {Kappa, "DISPLAY", false}, {Kappa, "counter1", true},
      {Eta, "filter5", true},     {Eta, "HBT8", true},       {Eta, "INPTYPE8", true},
      {Eta, "Cjt", true},         {Beta, "COUNTER4", true},  {Beta, "COUNTER5", false},
      {Beta, "DIRECTION", false}, {Iota, "INPTYPE3", true},  {Iota, "INPTYPE4", false},
      {Iota, "CJT", false},       {Rho, "SLEWRATE2", true},  {Rho, "OUTPUTSAFECH2", true},
      {Rho, "smsts", true},       {Rho, "", false},          {Eta, "FILTER", false},
      {Eta, "FILTER55", false},   {Eta, "FILTER5 ", false},
  };
  for (const TCase& c : cases) {
    auto model = NewModel(c.Model);
    TprDevReg* r = model->FindRegister(std::string(c.Name));
    EXPECT_EQ(r != nullptr, c.Found) << ModelNames[c.Model].Name << " " << c.Name;
    if (r) {
      EXPECT_TRUE(SameText(r->Name, c.Name));
    }
  }
}

TEST(DeviceObjects, LookupByPrefixAndChannel) {
  struct TCase {
    int Model;
    const char* Prefix;
    int Channel;
    const char* Name;  // nullptr: none
  };
  const TCase cases[] = {
      {Eta, "IFCH", 2, "IFCH2"},       {Eta, "IFCH", 9, nullptr},
      {Eta, "ifch", 8, "IFCH8"},       {Eta, "HBT", 9, nullptr},
      {Eta, "IFCH", 0, nullptr},       {Eta, "IFCH", -1, nullptr},
      {Kappa, "FILTER", 3, "FILTER3"}, {Kappa, "COUNTER", 16, "COUNTER16"},
      {Kappa, "COUNTER", 17, nullptr}, {Rho, "OUTTYPE", 1, "OUTTYPE1"},
      {Rho, "SLEWRATE", 3, nullptr},   {Iota, "ANALOGINPUT", 3, "ANALOGINPUT3"},
  };
  for (const TCase& c : cases) {
    auto model = NewModel(c.Model);
    TprDevReg* r = model->FindRegister(c.Prefix, c.Channel);
    if (c.Name) {
      ASSERT_NE(r, nullptr) << c.Prefix << c.Channel;
      EXPECT_EQ(r->Name, c.Name);
    } else {
      EXPECT_EQ(r, nullptr) << c.Prefix << c.Channel;
    }
  }
}

// The typed members point at the register of their own name.
#define REG(x) std::pair<TprDevReg*, const char*>(m.x, #x)

void ExpectNamed(const std::vector<std::pair<TprDevReg*, const char*>>& members) {
  for (auto [reg, name] : members) {
    ASSERT_NE(reg, nullptr) << name;
    EXPECT_EQ(reg->Name, name);
  }
}

void ExpectCommonMembers(const TprModel& m) {
  ExpectNamed({REG(SECNS), REG(MINTS), REG(HOURS), REG(DAYS), REG(MNAME), REG(MVERSION),
               REG(NETWDT), REG(SLFDGNS), REG(RSTSTATUS), REG(NETADDR), REG(DCSFMT), REG(ICON1),
               REG(ICON2), REG(GR1IND), REG(GR1INDFL), REG(GR1INDPH)});
  std::vector<std::pair<TprDevReg*, const char*>> optional = {
      REG(ICON3), REG(GR2IND), REG(GR2INDFL), REG(GR2INDPH), REG(DISPLAY)};
  for (auto [reg, name] : optional) {
    EXPECT_EQ(reg, m.FindRegister(name)) << name;
    if (reg) {
      EXPECT_EQ(reg->Name, name);
    }
  }
}

TEST(DeviceObjects, TypedMembersBearTheirNames) {
  for (int model = 1; model < ModelCount; ++model) {
    SCOPED_TRACE(ModelNames[model].Name);
    std::unique_ptr<TprModel> m(ModelNames[model].Create());
    ExpectCommonMembers(*m);
  }
}

#undef REG

}  // namespace
