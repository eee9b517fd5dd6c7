#pragma once
// Registers the view of the five module pages ("TKappaForm" ... "TRhoForm").
void RegisterModulePageViews();
