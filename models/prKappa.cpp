#include "models/prKappa.h"

TprKappa::TprKappa(TComponent* owner) : TprModel(KappaRegisterMap, owner) {}
