#include "models/prIota.h"

TprIota::TprIota(TComponent* owner) : TprInputModel(IotaRegisterMap, owner) {}
