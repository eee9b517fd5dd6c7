#include "models/prBeta.h"

TprBeta::TprBeta(TComponent* owner) : TprDiscreteModel(BetaRegisterMap, owner) {}
