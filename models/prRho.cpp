#include "models/prRho.h"

TprRho::TprRho(TComponent* owner) : TprModel(RhoRegisterMap, owner) {}
