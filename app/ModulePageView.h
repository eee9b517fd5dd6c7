#pragma once
// Registers the module page view under the page class of every model of the model table.
void RegisterModulePageViews();
