#include "models/prRho.h"

TprRho::TprRho(TComponent* owner) : TprAnalogModel(RhoRegisterMap, owner) {}
