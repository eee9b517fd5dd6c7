#include "models/prEta.h"

TprEta::TprEta(TComponent* owner) : TprInputModel(EtaRegisterMap, owner) {}
