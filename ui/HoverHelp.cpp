// The window's tooltip object and the key check that guards Cancel on the
// repair page.

#include "app/frmMain.h"

void frmMain::CreateTooltipObject() {}

void frmMain::ReleaseTooltipObject() {}

void frmMain::SetRepairPageTooltipTitle() {}

void frmMain::StartKeyCheck() {}

void frmMain::OnKeyCheckTimer() { tmrTooltipRemoveCheck.SetEnabled(false); }
