// orbis-cli's save and load of each model at 115200 baud (Modbus) over a pty served by the
// simulated bus, with replies paced at the baud rate. Prints the wall time beside the time the
// exchange rules prescribe: every exchange's wire time (request and reply characters) plus the
// pause after it, 10 ms after a read and 200 ms after a write. The modules' turnaround is set
// to 0: a real module's reply delay is its own, not the tool's.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "cli/Cli.h"
#include "cli/CliBus.h"
#include "comm/CPort.h"
#include "comm/prPort.h"
#include "sim/PtyBus.h"
#include "sim/SimBus.h"

namespace {

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Wall time of one command; its thread's CPU time in cpuMs.
double RunMs(const std::vector<std::string>& args, int& code, double& cpuMs) {
  std::ostringstream out, err;
  const double cpu0 = ThreadCpuMs();
  const auto t0 = std::chrono::steady_clock::now();
  code = RunCli(args, {out, err, false});
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  cpuMs = ThreadCpuMs() - cpu0;
  if (code != 0) std::fprintf(stderr, "%s%s", out.str().c_str(), err.str().c_str());
  return ms;
}

// Wire time of one exchange of the record, in characters.
template <class Record>
int Chars(const Record& r) {
  return r.RequestLength + r.ReplyLength;
}

bool Bench(int modelIndex, double charMs) {
  auto bus = std::make_shared<TSimBus>();
  bus->TurnaroundMs = 0;
  TSimModule& source = bus->AddModel(modelIndex, 1);
  TSimModule& target = bus->AddModel(modelIndex, 2);
  source.RandomInputs = source.MovingInputs = target.RandomInputs = target.MovingInputs = false;
  TPtyBus pty(bus);
  std::string error;
  if (!pty.Start(&error)) return std::fprintf(stderr, "pty bus: %s\n", error.c_str()), false;
  const std::string path = pty.DevicePath();
  const std::string file = "/tmp/bench_cli_" + std::to_string(modelIndex) + ".xml";

  // The model's own request records give the frame lengths.
  std::unique_ptr<TprNode> node(CreateDevice(modelIndex, 1, nullptr));
  auto* model = dynamic_cast<TprModel*>(node.get());
  const auto map = model->Map();
  const int probeChars = 8 + 7;
  int reads = 0, readChars = 0, writeChars = 0, writes = 0;
  {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    for (size_t i = 0; i < map.size(); ++i) {
      if (!IsConfigRegister(map[i]) && std::string(map[i].Name) != "MVERSION") continue;
      ++reads;
      readChars += Chars(model->Registers()[i]->ModbusRead);
      if (!IsConfigRegister(map[i]) || IsNetworkRegister(map[i].Name)) continue;
      // The target differs in every setting the load may write.
      const char* name = map[i].Name;
      std::string text;
      if (map[i].DataType == dtString) {
        target.SetText(name, "CHANGED");
        text = source.Text(name);
      } else if (map[i].DataType == dtSingle) {
        target.SetReal(name, source.Real(name) + 1.5);
        text = std::to_string(source.Real(name));
      } else {
        target.SetInt(name, (source.Int(name) + 1) % 256);
        text = std::to_string(source.Int(name));
      }
      TprDevReg* reg = model->Registers()[i];
      reg->EncodeModbusWrite(text);
      writeChars += Chars(reg->ModbusWrite);
      ++writes;
    }
  }
  const int settings = reads - 1;
  const int nonNetwork = writes;
  const int loadReads = nonNetwork;  // present values of the settings it may write

  int code = 0;
  double saveCpu = 0, loadCpu = 0;
  const double saveMs = RunMs({"save", path, "1", file, "--baud", "115200"}, code, saveCpu);
  if (code != 0) return false;
  const double savePrescribed = (probeChars + readChars) * charMs + 10.0 * reads;
  const double loadMs = RunMs({"load", path, "2", file, "--baud", "115200"}, code, loadCpu);
  if (code != 0) return false;
  // Before: probe, MVERSION and every setting's present value; then each write and its read-back.
  int planChars = 0, backChars = 0;
  for (size_t i = 0; i < map.size(); ++i)
    if (IsConfigRegister(map[i]) && !IsNetworkRegister(map[i].Name)) {
      planChars += Chars(model->Registers()[i]->ModbusRead);
      backChars += Chars(model->Registers()[i]->ModbusRead);
    }
  const int mversionChars = Chars(model->MVERSION->ModbusRead);
  const double loadPrescribed = (probeChars + mversionChars + planChars + writeChars + backChars) *
                                    charMs +
                                10.0 * (1 + loadReads + writes) + 200.0 * writes;
  std::printf("%-9s save: %2d settings  wall %7.1f ms  prescribed %7.1f ms  ratio %.4f  "
              "CPU %5.1f ms\n",
              ModelNames[modelIndex].Name, settings, saveMs, savePrescribed, saveMs / savePrescribed,
              saveCpu);
  std::printf("%-9s load: %2d writes    wall %7.1f ms  prescribed %7.1f ms  ratio %.4f  "
              "CPU %5.1f ms  (writes' 200 ms alone: %6.0f ms)\n",
              "", writes, loadMs, loadPrescribed, loadMs / loadPrescribed, loadCpu, 200.0 * writes);
  std::remove(file.c_str());
  return true;
}

}  // namespace

int main() {
  // Modbus without parity keeps the 11-bit character (two stop bits).
  TComPort line;
  TprPort port;
  port.SetComPort(&line);
  port.SetBaudRate(115200);
  port.SetProtocol(ptModbus);
  port.ApplySettings();
  const double charMs = port.CharTimeMs();
  double load = 0;
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &load) != 1) load = 0;
    std::fclose(f);
  }
  // The pty's pacing runs on a thread of this process: a busy machine wakes it late.
  std::printf("115200 baud, Modbus, %.4f ms per character; load average %.2f on %ld CPUs\n",
              charMs, load, sysconf(_SC_NPROCESSORS_ONLN));
  bool ok = true;
  for (int model = 1; model < ModelCount; ++model) ok = Bench(model, charMs) && ok;
  return ok ? 0 : 1;
}
