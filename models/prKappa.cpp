#include "models/prKappa.h"

TprKappa::TprKappa(TComponent* owner) : TprDiscreteModel(KappaRegisterMap, owner) {}
