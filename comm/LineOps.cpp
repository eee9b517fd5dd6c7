#include "comm/LineOps.h"

#include <memory>

#include "comm/prDevOps.h"
#include "comm/prPort.h"

namespace {
// A register of its own for one exchange: the records and the value text of the original.
std::shared_ptr<TprDevReg> WorkCopy(const TprDevReg& reg) {
  auto copy = std::make_shared<TprDevReg>();
  copy->VelaRead = reg.VelaRead;
  copy->VelaWrite = reg.VelaWrite;
  copy->ModbusRead = reg.ModbusRead;
  copy->ModbusWrite = reg.ModbusWrite;
  copy->DcsRead = reg.DcsRead;
  copy->DcsWrite = reg.DcsWrite;
  copy->ValueText = reg.ValueText;
  copy->Number = reg.Number;
  copy->HasNumber = reg.HasNumber;
  return copy;
}
}  // namespace

TLineExecutor& LineOf(const TprPort* port) {
  return port && port->Executor ? *port->Executor : InlineLine();
}

TTask<bool> ReadOnLine(TprPort* port, TprDevReg* reg) {
  if (!port || !reg) co_return false;
  auto copy = WorkCopy(*reg);
  // The result comes back while the line keeps its pause after the read.
  auto read = OnLine(LineOf(port), [port, copy] { return ReadExchange(*port, *copy); }, PauseAfterRead);
  const bool ok = co_await read;
  reg->ValueText = copy->ValueText;
  reg->Number = copy->Number;
  reg->HasNumber = copy->HasNumber;
  co_return ok;
}

TTask<bool> WriteOnLine(TprPort* port, TprDevReg* reg, std::string text) {
  if (!port || !reg) co_return false;
  auto copy = WorkCopy(*reg);
  auto write = OnLine(
      LineOf(port), [port, copy, text] { return WriteExchange(*port, *copy, text); }, PauseAfterWrite);
  co_return co_await write;
}

bool ReopenLine(TprPort& port, const std::string& byId) {
  TCustomComPort* line = port.ComPort;
  if (!line) return false;
  auto close = [line] {
    try {
      line->Close();
    } catch (const EComPort&) {
    }
  };
  close();
  for (const std::string& name : {port.PortName(), byId}) {
    if (name.empty()) continue;
    try {
      if (line->Port() != name) line->SetPort(name);
      port.ApplySettings();
      line->Open();
      return true;
    } catch (const EComPort&) {
      close();
    }
  }
  return false;
}
