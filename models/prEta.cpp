#include "models/prEta.h"

TprEta::TprEta(TComponent* owner) : TprModel(EtaRegisterMap, owner) {}
