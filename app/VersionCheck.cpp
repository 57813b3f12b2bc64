// The version check page.

#include "app/frmMain.h"

void frmMain::CheckVersions() {
    // The registry and file reads join here; the page comes to the front last.
    ShowPage(pic2);
}
