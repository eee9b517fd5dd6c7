#include "pages/KappaUnit.h"

// Sixteen channels, each an input or an output; a filter per group of four channels; two
// groups of eight indicators.
TKappaForm::TKappaForm(TprNode* owner) : TDiscreteForm(owner, {16, true, 4, 8, {}}) {}
