#include "pages/BetaUnit.h"

// Four inputs and four outputs, a filter per input; the indicators of the inputs ("DI:") and
// of the outputs ("DO:").
TBetaForm::TBetaForm(TprNode* owner) : TDiscreteForm(owner, {4, false, 1, 4, {"DI:", "DO:"}}) {}
