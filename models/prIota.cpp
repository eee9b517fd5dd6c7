#include "models/prIota.h"

TprIota::TprIota(TComponent* owner) : TprModel(IotaRegisterMap, owner) {}
