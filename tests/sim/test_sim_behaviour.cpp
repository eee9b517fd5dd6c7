// What the simulated modules do behind their registers, on explicitly driven bus time.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>

#include "support/SimExchange.h"

using namespace simtest;

namespace {

struct Behaviour : ::testing::Test {
  TSimBus bus;
  int64_t now = 0;
  std::vector<std::unique_ptr<TprDevReg>> regs;

  TSimModule& Add(int model, uint8_t address = 1) {
    TSimModule& m = bus.AddModel(model, address);
    m.RandomInputs = false;
    m.MovingInputs = false;
    return m;
  }
  // The master's register record for a register of the module.
  TprDevReg& Reg(TSimModule& m, const std::string& name) {
    for (const auto& d : m.Map())
      if (name == d.Name) {
        regs.push_back(std::make_unique<TprDevReg>(nullptr, d.Name));
        regs.back()->Setup(m.AnswerAddress(), d.Bank, d.RegNo, d.ModbusAddress, d.StrLength,
                           d.DataType);
        return *regs.back();
      }
    throw std::out_of_range(name);
  }
  // Writes a register over Modbus with the master's frame, as the pages do.
  void Write(TSimModule& m, const std::string& name, const std::string& text) {
    ASSERT_TRUE(WriteModbus(bus, Reg(m, name), text, now)) << name;
  }
  void Run(TSimModule& m, int64_t ms) {
    now += ms;
    m.Update(now);
  }
};

TEST_F(Behaviour, OperatingTimeCountsUpWithItsCarries) {
  TSimModule& m = Add(1);
  m.SetInt("SECNS", 59);
  m.SetInt("MINTS", 59);
  m.SetInt("HOURS", 23);
  m.SetInt("DAYS", 9);
  Run(m, 999);
  EXPECT_EQ(m.Int("SECNS"), 59u);
  Run(m, 1);
  EXPECT_EQ(m.Int("SECNS"), 0u);
  EXPECT_EQ(m.Int("MINTS"), 0u);
  EXPECT_EQ(m.Int("HOURS"), 0u);
  EXPECT_EQ(m.Int("DAYS"), 10u);
  Run(m, 3 * 86400000LL + 3723000);  // three days, 1 h 2 min 3 s
  EXPECT_EQ(m.Int("DAYS"), 13u);
  EXPECT_EQ(m.Int("HOURS"), 1u);
  EXPECT_EQ(m.Int("MINTS"), 2u);
  EXPECT_EQ(m.Int("SECNS"), 3u);
  // A time entry sets the counters, which go on from there.
  Write(m, "SECNS", "30");
  Run(m, 1500);
  EXPECT_EQ(m.Int("SECNS"), 31u);
}

TEST_F(Behaviour, LatchesCatchEdgesUntilRstlatchClearsThem) {
  for (int model : {1, 3}) {
    SCOPED_TRACE(model);
    TSimModule& m = Add(model, uint8_t(model));
    if (model == 1) m.SetInt("DIRECTION", 0);
    m.SetRawInputs(0);
    Run(m, 50);
    Write(m, "RSTLATCH", model == 1 ? "65535" : "15");
    EXPECT_EQ(m.Int("LHDIGINPUT"), 0u);
    EXPECT_EQ(m.Int("LLDIGINPUT"), 0u);

    m.SetRawInputs(0b0101);
    Run(m, 50);
    EXPECT_EQ(m.Int("DIGINPUT"), 0b0101u);
    m.SetRawInputs(0b0001);
    Run(m, 50);
    EXPECT_EQ(m.Int("DIGINPUT"), 0b0001u);
    EXPECT_EQ(m.Int("LHDIGINPUT"), 0b0101u);
    EXPECT_EQ(m.Int("LLDIGINPUT"), 0b0100u);

    Write(m, "RSTLATCH", "4");
    EXPECT_EQ(m.Int("LHDIGINPUT"), 0b0001u);
    EXPECT_EQ(m.Int("LLDIGINPUT"), 0u);
    EXPECT_EQ(m.Int("RSTLATCH"), 0u);  // a command: it reads back 0

    // Inversion turns the input around (and makes an edge).
    Write(m, "INPUTLOGIC", "2");
    EXPECT_EQ(m.Int("DIGINPUT"), 0b0011u);
    EXPECT_EQ(m.Int("LHDIGINPUT"), 0b0011u);
  }
}

TEST_F(Behaviour, KappaChannelsWorkingAsOutputsReadBackTheirOutput) {
  TSimModule& m = Add(1);
  m.SetRawInputs(0xFFFF);
  Write(m, "DIRECTION", "65280");  // channels 9..16 are outputs
  Write(m, "DIGOUTPUT", "768");    // outputs 9 and 10 on
  EXPECT_EQ(m.Int("DIGINPUT"), 0x03FFu);
  EXPECT_EQ(m.Int("SAVOUTPUT"), 768u);
}

TEST_F(Behaviour, InputsChangeNowAndThenByThemselves) {
  TSimModule& m = bus.AddModel(1, 1);
  m.SetInt("DIRECTION", 0);
  std::set<uint32_t> seen;
  int changes = 0;
  uint32_t last = m.Int("DIGINPUT");
  for (int tick = 0; tick < 1200; ++tick) {  // one minute
    Run(m, 50);
    const uint32_t in = m.Int("DIGINPUT");
    changes += in != last;
    last = in;
    seen.insert(in);
  }
  EXPECT_GT(seen.size(), 20u);
  EXPECT_GT(changes, 60);   // 16 inputs changing about every 4 s
  EXPECT_LT(changes, 600);  // but not on every step
}

TEST_F(Behaviour, CountersCountTheirEdgeAndFlagOverflows) {
  for (int model : {1, 3}) {
    SCOPED_TRACE(model);
    TSimModule& m = Add(model, uint8_t(model));
    if (model == 1) m.SetInt("DIRECTION", 0);
    auto pulse = [&](uint32_t mask) {
      m.SetRawInputs(mask);
      Run(m, 50);
      m.SetRawInputs(0);
      Run(m, 50);
    };
    m.SetRawInputs(0);
    Run(m, 50);
    Write(m, "COUNTENABLE", "7");
    Write(m, "COUNTDIRECTION", "2");  // counter 2 counts down
    Write(m, "COUNTFRONT", "4");      // counter 3 counts falling edges
    Write(m, "FLAGRESET", "15");
    Write(m, "COUNTER1", "65534");
    Write(m, "COUNTER2", "1");
    Write(m, "COUNTER3", "10");
    Write(m, "COUNTER4", "10");
    pulse(0b1111);
    EXPECT_EQ(m.Int("COUNTER1"), 65535u);
    EXPECT_EQ(m.Int("COUNTER2"), 0u);
    EXPECT_EQ(m.Int("COUNTER3"), 11u);
    EXPECT_EQ(m.Int("COUNTER4"), 10u);  // not enabled
    EXPECT_EQ(m.Int("OVFFLAGS"), 0u);
    m.SetRawInputs(0b0100);
    Run(m, 50);
    EXPECT_EQ(m.Int("COUNTER3"), 11u);  // the rising edge does not count on counter 3
    m.SetRawInputs(0);
    Run(m, 50);
    EXPECT_EQ(m.Int("COUNTER3"), 12u);
    pulse(0b0011);
    EXPECT_EQ(m.Int("COUNTER1"), 0u);
    EXPECT_EQ(m.Int("COUNTER2"), 65535u);
    EXPECT_EQ(m.Int("OVFFLAGS"), 0b0011u);

    Write(m, "FLAGRESET", "1");
    EXPECT_EQ(m.Int("OVFFLAGS"), 0b0010u);
    Write(m, "COUNTRESET", "2");
    EXPECT_EQ(m.Int("COUNTER2"), 0u);
    EXPECT_EQ(m.Int("COUNTER3"), 12u);
    EXPECT_EQ(m.Int("COUNTRESET"), 0u);
    EXPECT_EQ(m.Int("FLAGRESET"), 0u);
  }
}

TEST_F(Behaviour, AnalogInputsMoveInsideTheirRangeAndFlagTheirChannels) {
  TSimModule& eta = bus.AddModel(2, 2);
  std::set<double> values;
  bool over = false;
  for (int second = 0; second < 120; ++second) {
    Run(eta, 1000);
    const double v1 = eta.Real("ANALOGINPUT1");  // mV 0..50
    EXPECT_GE(v1, 0.0);
    EXPECT_LE(v1, 50.0);
    const double t4 = eta.Real("ANALOGINPUT4");  // type K thermocouple, degrees
    EXPECT_GT(t4, 100.0);
    EXPECT_LT(t4, 250.0);
    values.insert(v1);
    EXPECT_EQ(eta.Int("TCOD"), 0x20u);  // channel 6: a broken thermocouple, reading upscale
    over = over || (eta.Int("OVRD") & 0x40);
    EXPECT_EQ(eta.Int("OVRD") & ~0x40u, 0x20u);
    EXPECT_EQ(eta.Int("UNRD"), 0x02u);  // channel 2: a signal below its range
    EXPECT_NEAR(eta.Real("CJT"), 24.0, 1.0);
  }
  EXPECT_GT(values.size(), 100u);
  EXPECT_TRUE(over);  // channel 7 crosses the top of its range now and then
  EXPECT_EQ(eta.Real("ANALOGINPUT8"), 0.0);  // not polled (priority 0)

  TSimModule& iota = bus.AddModel(5, 5);
  Run(iota, 1000);
  EXPECT_EQ(iota.Int("TCOD"), 0x04u);
  EXPECT_EQ(iota.Int("OVRD"), 0x04u);
  EXPECT_NEAR(iota.Real("ANALOGINPUT1"), 100 * (1 + 0.00385 * 30), 1.0);  // Pt100 near 30 °C
}

TEST_F(Behaviour, RescalingMapsTheSourceRangeOntoTheTarget) {
  TSimModule& eta = Add(2, 2);
  Write(eta, "PRIOR1", "3");  // measured on every step
  Run(eta, 50);
  const double raw = eta.Real("ANALOGINPUT1");
  Write(eta, "LBS1", "0");
  Write(eta, "HBS1", "50");
  Write(eta, "LBT1", "100");
  Write(eta, "HBT1", "200");
  Write(eta, "MAPENABLE", "1");
  Run(eta, 50);
  EXPECT_NEAR(eta.Real("ANALOGINPUT1"), 100 + raw * 2, 1e-3);
}

TEST_F(Behaviour, ChannelFlagsFollowTheSignalAndTheInputType) {
  constexpr double Broken = NAN;
  struct Case {
    int Model;
    const char* Type;
    double Signal;  // Broken: the sensor is broken
    uint32_t Tcod, Ovrd, Unrd;
  } cases[] = {
      {2, "0", 25, 0, 0, 0},    {2, "0", 60, 0, 1, 0},   {2, "0", -1, 0, 0, 1},
      {2, "5", 1250, 0, 0, 0},  {2, "8", 200, 0, 0, 1},  {5, "1", 400, 0, 1, 0},
      {5, "1", 50, 0, 0, 1},    {5, "4", 1200, 0, 0, 0},
      // Broken: linear inputs report the break only, sensors also read upscale.
      {2, "0", Broken, 1, 0, 0}, {2, "5", Broken, 1, 1, 0}, {5, "1", Broken, 1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Model << " type " << c.Type << " " << c.Signal);
    TSimModule& m = Add(c.Model, uint8_t(10 + (&c - cases)));
    Write(m, "PRIOR1", c.Model == 2 ? "3" : "2");
    Write(m, "INPTYPE1", c.Type);
    const float before = float(m.Real("ANALOGINPUT1"));
    if (std::isnan(c.Signal)) m.SensorBreak = 1;
    else m.SetSignal(1, c.Signal);
    Run(m, 50);
    EXPECT_EQ(m.Int("TCOD") & 1, c.Tcod);
    EXPECT_EQ(m.Int("OVRD") & 1, c.Ovrd);
    EXPECT_EQ(m.Int("UNRD") & 1, c.Unrd);
    EXPECT_EQ(float(m.Real("ANALOGINPUT1")), std::isnan(c.Signal) ? before : float(c.Signal));
  }
}

TEST_F(Behaviour, PriorityGivesTheScanRateAndZeroStopsTheChannel) {
  struct Case {
    int Model;
    const char* Priority;
    int Scans;  // of 8 steps
  } cases[] = {{2, "3", 8}, {2, "2", 4}, {2, "1", 2}, {2, "0", 0},
               {5, "2", 8}, {5, "1", 2}, {5, "0", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Model << " priority " << c.Priority);
    TSimModule& m = Add(c.Model, uint8_t(10 + (&c - cases)));
    Write(m, "PRIOR1", c.Priority);
    int scans = 0;
    for (int step = 0; step < 8; ++step) {
      const double before = m.Real("ANALOGINPUT1");
      m.SetSignal(1, 1e4 + step);  // above the range of channel 1's type: flagged when measured
      Run(m, 50);
      scans += m.Real("ANALOGINPUT1") != before;
    }
    EXPECT_EQ(scans, c.Scans);
    EXPECT_EQ(m.Int("OVRD") & 1, c.Scans ? 1u : 0u);  // nothing reported for a stopped channel
  }
}

TEST_F(Behaviour, AStatusValueSetByATestStandsUntilTheConditionChanges) {
  TSimModule& rho = Add(4, 4);
  rho.SetInt("OUTPUTDGNS", 5);
  Run(rho, 1000);
  EXPECT_EQ(rho.Int("OUTPUTDGNS"), 5u);
  rho.OpenLoad = 1;
  Run(rho, 50);
  EXPECT_EQ(rho.Int("OUTPUTDGNS"), 1u);
}

TEST_F(Behaviour, AnUnreadableRegisterFailsItsReadsOnly) {
  TSimModule& kappa = Add(1, 1);
  kappa.SetUnreadable("COUNTENABLE");
  TprDevReg& enable = Reg(kappa, "COUNTENABLE");
  TprDevReg& counter = Reg(kappa, "COUNTER1");
  EXPECT_FALSE(ReadModbus(bus, enable));
  EXPECT_FALSE(ReadVela(bus, enable));
  EXPECT_TRUE(ReadModbus(bus, counter));
  EXPECT_TRUE(WriteModbus(bus, enable, "5"));
  EXPECT_EQ(kappa.Int("COUNTENABLE"), 5u);
}

TEST_F(Behaviour, LoadFaultsShowOnTheOutputsThatCanDetectThem) {
  struct Case {
    int Channel;
    const char* Type;
    const char* SetPoint;
    uint32_t Open, Shorted;
    uint32_t Diagnostics;
  } cases[] = {
      {1, "0", "5", 1, 0, 0x01}, {1, "2", "5", 1, 0, 0},  // a voltage output needs no load
      {1, "2", "5", 0, 1, 0x04}, {1, "0", "5", 0, 1, 0},  // nor does a current source mind
      {1, "3", "0", 0, 1, 0},                             // a short at 0 V draws nothing
      {2, "1", "5", 2, 0, 0x10}, {2, "3", "5", 0, 2, 0x40},
      {2, "255", "5", 2, 2, 0},  // switched off
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    TSimModule& rho = Add(4, uint8_t(10 + (&c - cases)));
    const std::string n = std::to_string(c.Channel);
    Write(rho, "SLEWRATE" + n, "0");
    Write(rho, "OUTTYPE" + n, c.Type);
    Write(rho, "SETPOINTCH" + n, c.SetPoint);
    rho.OpenLoad = c.Open;
    rho.ShortedLoad = c.Shorted;
    Run(rho, 50);
    EXPECT_EQ(rho.Int("OUTPUTDGNS"), c.Diagnostics);
  }
}

TEST_F(Behaviour, TheDemoOutputModuleLosesItsLoadsNowAndThen) {
  TSimModule& rho = bus.AddModel(4, 4);
  for (auto [second, diagnostics] : {std::pair{5, 0x01u}, {20, 0u}, {35, 0x40u}, {50, 0u},
                                     {65, 0x01u}}) {
    Run(rho, second * 1000 - now);
    EXPECT_EQ(rho.Int("OUTPUTDGNS"), diagnostics) << second;
  }
}

TEST_F(Behaviour, OutputsSlewTowardsTheirSetPoints) {
  TSimModule& rho = Add(4, 4);
  // Channel 1: 4..20 mA at slew code 5 (2 mA/s), from 4 mA towards 12 mA.
  Run(rho, 1000);
  EXPECT_NEAR(rho.Real("OUTPUTCH1"), 6.0, 1e-4);
  Run(rho, 3000);
  EXPECT_NEAR(rho.Real("OUTPUTCH1"), 12.0, 1e-4);
  // Channel 2: 0..10 V at slew code 6 (2 V/s) from 0 towards 7.5 V.
  EXPECT_NEAR(rho.Real("OUTPUTCH2"), 7.5, 1e-4);

  Write(rho, "SETPOINTCH1", "30");  // beyond the range: the output stops at 20 mA
  EXPECT_NEAR(rho.Real("SAVEDOUTPUTCH1"), 30.0, 1e-4);
  Run(rho, 2000);
  EXPECT_NEAR(rho.Real("OUTPUTCH1"), 16.0, 1e-4);
  Run(rho, 10000);
  EXPECT_NEAR(rho.Real("OUTPUTCH1"), 20.0, 1e-4);

  Write(rho, "SLEWRATE2", "0");  // at once
  Write(rho, "SETPOINTCH2", "1.5");
  Run(rho, 50);
  EXPECT_NEAR(rho.Real("OUTPUTCH2"), 1.5, 1e-4);
  Write(rho, "OUTTYPE2", "255");  // switched off
  Run(rho, 50);
  EXPECT_EQ(rho.Real("OUTPUTCH2"), 0.0);
  // From 20 mA to a 0..5 V output: the output starts at the top of the new range.
  Write(rho, "OUTTYPE1", "3");
  Run(rho, 50);
  EXPECT_NEAR(rho.Real("OUTPUTCH1"), 5.0, 1e-4);
}

TEST_F(Behaviour, TuningAcceptsAPlausibleMeasurementAndFlagsAnImplausibleOne) {
  TSimModule& rho = Add(4, 4);
  // The wizard's sequence for current on channel 1: output type 0, slew 0, tuning mode.
  Write(rho, "OUTTYPE1", "0");
  Write(rho, "SLEWRATE1", "0");
  Write(rho, "TUNINGENABLE", "1");
  Run(rho, 50);
  EXPECT_NEAR(rho.Real("OUTPUTCH1"), 20.0, 1e-4);  // the channel drives its reference
  Write(rho, "TUNINGVALUECH1", "19.87");
  Write(rho, "TUNINGCH1", "1");
  EXPECT_EQ(rho.Int("SMSTS") & 0x10u, 0u);
  EXPECT_EQ(rho.Int("TUNINGCH1"), 0u);
  EXPECT_NEAR(rho.TuningCoefficient(1, false), 20 / 19.87, 1e-6);

  Write(rho, "TUNINGVALUECH1", "3.5");
  Write(rho, "TUNINGCH1", "1");
  EXPECT_EQ(rho.Int("SMSTS") & 0x30u, 0x10u);
  // A channel that is not in tuning mode cannot be calibrated.
  Write(rho, "TUNINGVALUECH2", "10");
  Write(rho, "TUNINGCH2", "1");
  EXPECT_EQ(rho.Int("SMSTS") & 0x30u, 0x30u);
  // Voltage on channel 2 done properly clears its flag.
  Write(rho, "OUTTYPE2", "2");
  Write(rho, "TUNINGENABLE", "2");
  Write(rho, "TUNINGVALUECH2", "10.02");
  Write(rho, "TUNINGCH2", "1");
  EXPECT_EQ(rho.Int("SMSTS") & 0x30u, 0x10u);
  EXPECT_NEAR(rho.TuningCoefficient(2, true), 10 / 10.02, 1e-6);
  EXPECT_NEAR(rho.TuningCoefficient(1, false), 20 / 19.87, 1e-6);  // the rejected one kept none
}

TEST_F(Behaviour, TheNetworkWatchdogTripsAndAppliesTheSafeOutputs) {
  TSimModule& beta = Add(3, 3);
  Write(beta, "SAFEDIGOUTPUT", "9");
  Write(beta, "OUTCONTROL", "2");
  Write(beta, "NETWDT", "10");  // 1 s
  Run(beta, 900);
  EXPECT_EQ(beta.Int("NWDTSTATUS"), 0u);
  Run(beta, 200);
  EXPECT_EQ(beta.Int("NWDTSTATUS"), 1u);
  EXPECT_EQ(beta.Int("DIGOUTPUT"), 9u);
  Write(beta, "NWDTSTATUS", "0");
  EXPECT_EQ(beta.Int("NWDTSTATUS"), 0u);
}

}  // namespace
