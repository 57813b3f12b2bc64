// The file version list on the file version page.

#include "app/frmMain.h"

void frmMain::FillFileVersionList() {
    // The component catalogue and the list items join here.
}
