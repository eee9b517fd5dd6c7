#include "models/prBeta.h"

TprBeta::TprBeta(TComponent* owner) : TprModel(BetaRegisterMap, owner) {}
