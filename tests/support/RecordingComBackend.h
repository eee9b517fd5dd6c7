#pragma once
// A line that records what is done with the device (opens with their port names, closes) and
// can be made to refuse opening, as for a port in use. Nothing answers, so every exchange over
// it fails as with a silent bus.
#include <memory>

#include "support/ScriptedBackend.h"

using TRecordingComBackend = TScriptedBackend;

// A line on a recording backend; Rec stays valid while the line lives.
struct TRecordingComLine {
  TRecordingComLine() {
    auto backend = std::make_unique<TRecordingComBackend>();
    Rec = backend.get();
    Line = std::make_unique<TComPort>(std::move(backend));
  }
  TRecordingComBackend* Rec;
  std::unique_ptr<TComPort> Line;
};
