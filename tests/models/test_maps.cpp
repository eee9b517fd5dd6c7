// The register maps as data: sizes, order, shared rows and the address rules of each model.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "models/prDevice.h"

namespace {

enum { Kappa = 1, Eta = 2, Beta = 3, Rho = 4, Iota = 5 };
const int AllModels[] = {Kappa, Eta, Beta, Rho, Iota};

const TRegisterDef* Find(int model, const std::string& name) {
  for (const TRegisterDef& d : RegisterMap(model))
    if (name == d.Name) return &d;
  return nullptr;
}

int IndexOf(int model, const std::string& name) {
  auto map = RegisterMap(model);
  for (size_t i = 0; i < map.size(); ++i)
    if (name == map[i].Name) return int(i);
  return -1;
}

// Holding registers a read of the register covers (a string reads one register more than its
// length needs).
int ModbusWords(const TRegisterDef& d) {
  return d.DataType == dtString ? (d.StrLength + 2) / 2 : ModbusSize(d.DataType) / 2;
}

::testing::AssertionResult SameRow(const TRegisterDef& got, const TRegisterDef& want) {
  if (std::string(got.Name) == want.Name && got.Bank == want.Bank && got.RegNo == want.RegNo &&
      got.ModbusAddress == want.ModbusAddress && got.DataType == want.DataType &&
      got.StrLength == want.StrLength)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << got.Name << " {" << int(got.Bank) << "," << int(got.RegNo) << "," << got.ModbusAddress
         << "," << int(got.DataType) << "," << got.StrLength << "} expected " << want.Name << " {"
         << int(want.Bank) << "," << int(want.RegNo) << "," << want.ModbusAddress << ","
         << int(want.DataType) << "," << want.StrLength << "}";
}

const TRegisterDef Common[] = {
    {"SECNS", 0, 10, 10, dtUInt8, 0},     {"MINTS", 0, 11, 11, dtUInt8, 0},
    {"HOURS", 0, 12, 12, dtUInt8, 0},     {"DAYS", 0, 25, 25, dtUInt16, 0},
    {"MNAME", 0, 29, 36, dtString, 14},   {"MVERSION", 0, 28, 32, dtString, 6},
    {"NETWDT", 0, 26, 26, dtUInt16, 0},   {"SLFDGNS", 0, 22, 22, dtUInt16, 0},
    {"RSTSTATUS", 0, 31, 45, dtUInt8, 0}, {"NWDTSTATUS", 0, 32, 46, dtUInt8, 0},
    {"NETADDR", 0, 16, 16, dtUInt8, 0},   {"NETBDRT", 0, 17, 17, dtUInt8, 0},
    {"MDBFMT", 0, 18, 18, dtUInt8, 0},    {"DCSFMT", 0, 19, 19, dtUInt8, 0},
};

const TRegisterDef ICON1{"ICON1", 0, 1, 1, dtUInt8, 0}, ICON2{"ICON2", 0, 2, 2, dtUInt8, 0},
    ICON3{"ICON3", 0, 3, 3, dtUInt8, 0}, GR1IND{"GR1IND", 0, 4, 4, dtUInt8, 0},
    GR2IND{"GR2IND", 0, 6, 6, dtUInt8, 0}, GR1INDFL{"GR1INDFL", 0, 5, 5, dtUInt8, 0},
    GR2INDFL{"GR2INDFL", 0, 7, 7, dtUInt8, 0}, GR1INDPH{"GR1INDPH", 0, 8, 8, dtUInt8, 0},
    GR2INDPH{"GR2INDPH", 0, 9, 9, dtUInt8, 0}, DISPLAY{"DISPLAY", 0, 27, 27, dtString, 8};

struct TMapShape {
  int Model;
  size_t Count;
  std::vector<TRegisterDef> Indication;
};

const TMapShape Shapes[] = {
    {Kappa, 59, {ICON1, ICON2, GR1IND, GR2IND, GR1INDFL, GR2INDFL, GR1INDPH, GR2INDPH}},
    {Beta, 46, {ICON1, ICON2, GR1IND, GR2IND, GR1INDFL, GR2INDFL, GR1INDPH, GR2INDPH}},
    {Eta,
     107,
     {ICON1, ICON2, ICON3, GR1IND, GR2IND, GR1INDFL, GR2INDFL, GR1INDPH, GR2INDPH, DISPLAY}},
    {Iota, 45, {ICON1, ICON2, ICON3, GR1IND, GR1INDFL, GR1INDPH, DISPLAY}},
    {Rho, 47, {ICON1, ICON2, ICON3, GR1IND, GR1INDFL, GR1INDPH, DISPLAY}},
};

TEST(RegisterMaps, SizeCommonBlockAndIndicationInDeclarationOrder) {
  for (const TMapShape& s : Shapes) {
    SCOPED_TRACE(ModelNames[s.Model].Name);
    auto map = RegisterMap(s.Model);
    ASSERT_EQ(map.size(), s.Count);
    for (size_t i = 0; i < std::size(Common); ++i) EXPECT_TRUE(SameRow(map[i], Common[i]));
    for (size_t i = 0; i < s.Indication.size(); ++i)
      EXPECT_TRUE(SameRow(map[14 + i], s.Indication[i]));
    // No indication register outside that block.
    for (size_t i = 14 + s.Indication.size(); i < map.size(); ++i)
      for (const TRegisterDef* ind : {&ICON1, &ICON2, &ICON3, &GR1IND, &GR2IND, &GR1INDFL,
                                      &GR2INDFL, &GR1INDPH, &GR2INDPH, &DISPLAY})
        EXPECT_STRNE(map[i].Name, ind->Name);
  }
}

TEST(RegisterMaps, NoModelMapForUnknownIndices) {
  for (int i : {0, -1, 6, 200}) EXPECT_TRUE(RegisterMap(i).empty()) << i;
}

// Within one module no two registers share a name, a Vela number, or a holding register.
TEST(RegisterMaps, NamesVelaNumbersAndModbusRangesAreDisjoint) {
  for (int m : AllModels) {
    SCOPED_TRACE(ModelNames[m].Name);
    std::set<std::string> names;
    std::set<std::pair<int, int>> vela;
    std::vector<std::pair<int, const char*>> words(65536, {0, nullptr});
    for (const TRegisterDef& d : RegisterMap(m)) {
      EXPECT_TRUE(names.insert(d.Name).second) << "duplicate name " << d.Name;
      EXPECT_TRUE(vela.insert({d.Bank, d.RegNo}).second) << "duplicate Vela number " << d.Name;
      EXPECT_LE(d.Bank, 1);
      EXPECT_TRUE(d.DataType == dtUInt8 || d.DataType == dtUInt16 || d.DataType == dtSingle ||
                  d.DataType == dtString)
          << d.Name;
      EXPECT_EQ(d.StrLength != 0, d.DataType == dtString) << d.Name;
      // Bank-1 registers live at 256 and above, the module block below.
      EXPECT_EQ(d.ModbusAddress >= 256, d.Bank == 1) << d.Name;
      for (int w = 0; w < ModbusWords(d); ++w) {
        auto& slot = words[d.ModbusAddress + w];
        EXPECT_EQ(slot.second, nullptr)
            << d.Name << " overlaps " << slot.second << " at " << d.ModbusAddress + w;
        slot = {1, d.Name};
      }
    }
  }
}

// A name that several models declare in the module block means the same register everywhere.
TEST(RegisterMaps, ModuleBlockRowsAgreeAcrossModels) {
  for (int a : AllModels)
    for (int b : AllModels)
      for (const TRegisterDef& d : RegisterMap(a))
        if (const TRegisterDef* other = Find(b, d.Name); other && d.Bank == 0) {
          EXPECT_TRUE(SameRow(*other, d)) << ModelNames[a].Name << " vs " << ModelNames[b].Name;
        }
}

TEST(RegisterMaps, RowsMostLikelyMistyped) {
  const std::pair<int, TRegisterDef> rows[] = {
      {Kappa, {"DIRECTION", 1, 1, 257, dtUInt16, 0}},
      {Kappa, {"DIGINPUT", 1, 2, 258, dtUInt16, 0}},
      {Kappa, {"LHDIGINPUT", 1, 4, 260, dtUInt16, 0}},
      {Kappa, {"OUTCONTROL", 1, 39, 295, dtUInt8, 0}},
      {Kappa, {"COUNTER16", 1, 37, 293, dtUInt16, 0}},
      {Kappa, {"COUNTENABLE", 1, 16, 272, dtUInt16, 0}},
      {Beta, {"DIGINPUT", 1, 1, 257, dtUInt8, 0}},
      {Beta, {"COUNTER1", 1, 21, 277, dtUInt16, 0}},
      {Beta, {"SAVOUTPUT", 1, 27, 283, dtUInt8, 0}},
      {Eta, {"ANALOGINPUT8", 1, 85, 384, dtSingle, 0}},
      {Eta, {"CJT", 1, 20, 278, dtSingle, 0}},
      {Eta, {"CLBU", 1, 19, 276, dtUInt8, 0}},
      {Eta, {"MAPENABLE", 1, 45, 304, dtUInt8, 0}},
      {Eta, {"INPTYPE1", 1, 21, 280, dtUInt8, 0}},
      {Iota, {"ANALOGINPUT1", 1, 22, 279, dtSingle, 0}},
      {Iota, {"INPTYPE1", 1, 13, 270, dtUInt8, 0}},
      {Iota, {"FILTER3", 1, 21, 278, dtUInt8, 0}},
      {Rho, {"SMSTS", 0, 20, 20, dtUInt8, 0}},
      {Rho, {"TUNINGVALUECH2", 1, 20, 287, dtSingle, 0}},
      {Rho, {"OUTPUTDGNS", 1, 24, 292, dtUInt8, 0}},
      {Rho, {"OUTPUTCONTROL", 1, 23, 291, dtUInt8, 0}},
  };
  for (const auto& [model, want] : rows) {
    const TRegisterDef* got = Find(model, want.Name);
    ASSERT_NE(got, nullptr) << ModelNames[model].Name << " " << want.Name;
    EXPECT_TRUE(SameRow(*got, want)) << ModelNames[model].Name;
  }
  // The highest holding register of all maps.
  for (int m : AllModels)
    for (const TRegisterDef& d : RegisterMap(m)) EXPECT_LE(d.ModbusAddress, 384) << d.Name;
}

TEST(RegisterMaps, DeclarationOrderWhereItDiffersFromAddressOrder) {
  // Each pair: the first is declared right before the second.
  const std::tuple<int, const char*, const char*> neighbours[] = {
      {Kappa, "SAVOUTPUT", "COUNTER1"},
      {Kappa, "COUNTER1", "COUNTER2"},
      {Kappa, "COUNTER16", "COUNTENABLE"},
      {Kappa, "DCSFMT", "ICON1"},
      {Kappa, "GR2INDPH", "DIRECTION"},
      {Beta, "GR2INDPH", "DIGINPUT"},
      {Beta, "COUNTER4", "COUNTENABLE"},
      {Eta, "DISPLAY", "TINDICATION"},
      {Eta, "TINDICATION", "CHINDICATION"},
      {Eta, "ANALOGINPUT8", "CJT"},
      {Eta, "CJT", "TCOD"},
      {Eta, "HBS1", "LBS1"},
      {Eta, "LBS1", "HBT1"},
      {Eta, "HBT1", "LBT1"},
      {Eta, "LBT1", "HBS2"},
      {Eta, "MAPENABLE", "HBS1"},
      {Iota, "DISPLAY", "TINDICATION"},
      {Iota, "IFCH3", "ANALOGINPUT1"},
      {Rho, "TUNINGENABLE", "SMSTS"},
      {Rho, "SMSTS", "OUTTYPE1"},
  };
  for (const auto& [model, first, second] : neighbours) {
    int i = IndexOf(model, first);
    ASSERT_GE(i, 0) << first;
    EXPECT_EQ(IndexOf(model, second), i + 1) << ModelNames[model].Name << " " << first << " " << second;
  }
  EXPECT_STREQ(RegisterMap(Eta).back().Name, "LBT8");
  EXPECT_STREQ(RegisterMap(Kappa).back().Name, "COUNTDIRECTION");
  EXPECT_STREQ(RegisterMap(Rho).back().Name, "OUTPUTCONTROL");
  EXPECT_STREQ(RegisterMap(Iota).back().Name, "FILTER3");
  EXPECT_EQ(IndexOf(Beta, "DIRECTION"), -1);
}

TEST(RegisterMaps, DiscreteBankOneAddressesAre256PlusRegNo) {
  for (int m : {Kappa, Beta})
    for (const TRegisterDef& d : RegisterMap(m))
      if (d.Bank == 1) {
        EXPECT_EQ(d.ModbusAddress, 256 + d.RegNo) << ModelNames[m].Name << d.Name;
      }
}

TEST(RegisterMaps, EtaChannelAddressRules) {
  struct TRule {
    const char* Prefix;
    int ModbusBase, RegNoBase, Type;
  };
  // Channel n: Modbus base + 2n, RegNo base + n.
  const TRule rules[] = {{"ANALOGINPUT", 368, 77, dtSingle},
                         {"HBS", 303, 45, dtSingle},
                         {"LBS", 319, 53, dtSingle},
                         {"HBT", 335, 61, dtSingle},
                         {"LBT", 351, 69, dtSingle}};
  for (const TRule& r : rules)
    for (int n = 1; n <= 8; ++n) {
      std::string name = r.Prefix + std::to_string(n);
      const TRegisterDef* d = Find(Eta, name);
      ASSERT_NE(d, nullptr) << name;
      EXPECT_TRUE(SameRow(*d, {d->Name, 1, uint8_t(r.RegNoBase + n), uint16_t(r.ModbusBase + 2 * n),
                               uint8_t(r.Type), 0}));
      EXPECT_EQ(Find(Eta, r.Prefix + std::string("9")), nullptr);
    }
  // One-byte channel settings: consecutive Vela numbers and holding registers.
  const TRule bytes[] = {{"IFCH", 258, 2, dtUInt8},
                         {"INPTYPE", 279, 20, dtUInt8},
                         {"PRIOR", 287, 28, dtUInt8},
                         {"FILTER", 295, 36, dtUInt8}};
  for (const TRule& r : bytes)
    for (int n = 1; n <= 8; ++n) {
      const TRegisterDef* d = Find(Eta, r.Prefix + std::to_string(n));
      ASSERT_NE(d, nullptr);
      EXPECT_TRUE(SameRow(*d, {d->Name, 1, uint8_t(r.RegNoBase + n), uint16_t(r.ModbusBase + n),
                               uint8_t(r.Type), 0}));
    }
}

TEST(RegisterMaps, RhoChannelTwoLiesFourteenAboveChannelOne) {
  for (const char* prefix : {"OUTTYPE", "SLEWRATE", "SETPOINTCH", "OUTPUTCH", "OUTPUTPUPCH",
                             "OUTPUTSAFECH", "SAVEDOUTPUTCH", "TUNINGVALUECH"}) {
    const TRegisterDef* one = Find(Rho, prefix + std::string("1"));
    const TRegisterDef* two = Find(Rho, prefix + std::string("2"));
    ASSERT_TRUE(one && two) << prefix;
    EXPECT_GE(one->ModbusAddress, 261);
    EXPECT_LE(one->ModbusAddress + ModbusWords(*one) - 1, 274) << prefix;
    EXPECT_EQ(two->ModbusAddress, one->ModbusAddress + 14) << prefix;
    EXPECT_EQ(two->RegNo, one->RegNo + 8) << prefix;
    EXPECT_EQ(two->DataType, one->DataType) << prefix;
    EXPECT_EQ(Find(Rho, prefix + std::string("3")), nullptr);
  }
  for (const char* prefix : {"IFCH", "TUNINGCH"}) {
    const TRegisterDef* one = Find(Rho, prefix + std::string("1"));
    const TRegisterDef* two = Find(Rho, prefix + std::string("2"));
    ASSERT_TRUE(one && two) << prefix;
    EXPECT_EQ(two->ModbusAddress, one->ModbusAddress + 1) << prefix;
  }
}

// The access kind of a row decides what a configuration file holds and what a clone writes:
// a command or a live output copied onto another module would act there.
TEST(RegisterMaps, AccessKindOfTellingRows) {
  struct Row {
    int Model;
    const char* Name;
    TRegAccess Access;
  };
  const Row rows[] = {
      {Kappa, "MVERSION", raReadOnly},   {Kappa, "DIGINPUT", raReadOnly},
      {Beta, "OVFFLAGS", raReadOnly},    {Eta, "ANALOGINPUT8", raReadOnly},
      {Rho, "SAVEDOUTPUTCH2", raReadOnly}, {Rho, "SMSTS", raReadOnly},
      {Kappa, "NETADDR", raConfig},      {Kappa, "DIRECTION", raConfig},
      {Beta, "FILTER4", raConfig},       {Eta, "LBT8", raConfig},
      {Iota, "INPTYPE3", raConfig},      {Rho, "OUTPUTSAFECH1", raConfig},
      {Kappa, "RSTLATCH", raCommand},    {Beta, "COUNTRESET", raCommand},
      {Kappa, "FLAGRESET", raCommand},   {Rho, "TUNINGCH2", raCommand},
      {Rho, "TUNINGENABLE", raCommand},  {Kappa, "DIGOUTPUT", raLive},
      {Iota, "SECNS", raLive},           {Eta, "DAYS", raLive},
      {Kappa, "COUNTER16", raLive},      {Rho, "SETPOINTCH1", raLive},
  };
  for (const Row& r : rows) {
    const TRegisterDef* d = Find(r.Model, r.Name);
    ASSERT_NE(d, nullptr) << r.Name;
    EXPECT_EQ(d->Access, r.Access) << ModelNames[r.Model].Name << " " << r.Name;
    EXPECT_EQ(IsConfigRegister(*d), r.Access == raConfig) << r.Name;
  }
}

// A register name means the same thing in every model that declares it.
TEST(RegisterMaps, AccessKindAgreesAcrossModels) {
  for (int a : AllModels)
    for (int b : AllModels)
      for (const TRegisterDef& d : RegisterMap(a))
        if (const TRegisterDef* other = Find(b, d.Name)) {
          EXPECT_EQ(d.Access, other->Access) << d.Name << " in " << ModelNames[a].Name << " and "
                                             << ModelNames[b].Name;
        }
}

}  // namespace

namespace {
// The facts beside the registers: a range lies within the value kind's, every code of a list
// is a value the register can hold, and a list's fallback item is one of its items.
TEST(RegisterMaps, RangesAndCodeListsFitTheirRegisters) {
  int lists = 0, ranges = 0;
  for (int m = 1; m < ModelCount; ++m) {
    for (const TRegisterDef& d : RegisterMap(m)) {
      SCOPED_TRACE(d.Name);
      SCOPED_TRACE(ModelNames[m].Name);
      TRegisterDef plain = d;
      plain.Range = {};
      int64_t lo = 0, hi = 0, typeLo = 0, typeHi = 0;
      NumberRange(d, lo, hi);
      NumberRange(plain, typeLo, typeHi);
      EXPECT_LE(typeLo, lo);
      EXPECT_GE(typeHi, hi);
      EXPECT_LE(lo, hi);
      ranges += d.Range.Lo <= d.Range.Hi;
      if (!d.List) continue;
      ++lists;
      EXPECT_NE(d.Access, raReadOnly);
      ASSERT_FALSE(d.List->Items.empty());
      EXPECT_TRUE(d.List->Codes.empty() || d.List->Codes.size() == d.List->Items.size());
      EXPECT_LT(d.List->Other, int(d.List->Items.size()));
      for (size_t i = 0; i < d.List->Items.size(); ++i) {
        const int64_t code = i < d.List->Codes.size() ? d.List->Codes[i] : int64_t(i);
        EXPECT_TRUE(AcceptsNumber(d, code)) << d.List->Items[i];
      }
    }
  }
  // NETADDR and NETBDRT, MDBFMT on all five, plus the models' channel lists and TINDICATION.
  EXPECT_EQ(ranges, 5 + 3);
  EXPECT_EQ(lists, 5 * 2 + 4 + 4 + 3 * 8 + 3 * 3 + 2 * 2);
}
}  // namespace
