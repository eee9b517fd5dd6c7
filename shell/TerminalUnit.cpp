#include "shell/TerminalUnit.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "comm/ExchangeTap.h"
#include "comm/LineOps.h"
#include "comm/prPort.h"
#include "models/BusTrace.h"
#include "models/prDevice.h"
#include "shell/MainUnit.h"

int TreeModelAt(const TMainForm& form, const std::string& port, int address) {
  if (!form.Root()) return 0;
  for (const auto& portNode : form.Root()->Children) {
    const auto* p = dynamic_cast<const TprPort*>(portNode->Data);
    if (!p || p->PortName() != port) continue;
    for (const auto& module : portNode->Children) {
      const auto* model = dynamic_cast<const TprModel*>(module->Data);
      if (!model || int(model->Address) != address) continue;
      for (int i = 1; i < ModelCount; ++i)
        if (module->Text == ModelNames[i].Name) return i;
    }
  }
  return 0;
}

TprPort* SelectedPort(const TMainForm& form) {
  for (TTreeNode* node = form.Selected(); node; node = node->Parent)
    if (auto* port = dynamic_cast<TprPort*>(node->Data)) return port;
  return nullptr;
}

namespace {

template <class Record>
Record HandRequest(const std::vector<uint8_t>& frame, int replyLength) {
  Record r{};
  const size_t n = std::min(frame.size(), sizeof r.Frame);
  std::memcpy(r.Frame, frame.data(), n);
  r.RequestLength = int32_t(n);
  r.ReplyLength = std::min<int>(replyLength, int(sizeof r.Frame));
  return r;
}

}  // namespace

int SendHandFrame(TprPort& port, const std::vector<uint8_t>& frame, int modelIndex) {
  const int replyLength = ExpectedReplyLength(port.Protocol(), frame, modelIndex);
  if (port.Protocol() == ptVela) {
    TVelaRecord reply;
    return port.ExchangeVela(HandRequest<TVelaRecord>(frame, replyLength), reply);
  }
  if (port.Protocol() == ptModbus) {
    TModbusRecord reply;
    return port.ExchangeModbus(HandRequest<TModbusRecord>(frame, replyLength), reply);
  }
  return 0;  // DCS defines no frames
}

void PostHandFrame(TprPort& port, std::vector<uint8_t> frame, bool seal, int modelIndex,
                   std::function<void(std::exception_ptr)> done) {
  // The protocol is read on the line, behind any change of the port's settings queued there.
  LineOf(&port).Post(
      [&port, frame = std::move(frame), seal, modelIndex]() mutable {
        if (seal) frame = SealFrame(port.Protocol(), std::move(frame));
        SendHandFrame(port, frame, modelIndex);
      },
      std::move(done));
}

void AskLineFacts(TprPort& port, std::function<void(const TLineFacts&)> answer) {
  auto facts = std::make_shared<TLineFacts>();
  LineOf(&port).Post(
      [&port, facts] {
        facts->Open = port.ComPort && port.ComPort->Connected();
        facts->Protocol = port.Protocol();
      },
      [facts, answer = std::move(answer)](std::exception_ptr error) {
        if (!error) answer(*facts);
      });
}
