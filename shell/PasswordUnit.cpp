#include "shell/PasswordUnit.h"

#include "comm/Resources.h"

std::string CalibrationPassword() { return ResStr("7"); }
