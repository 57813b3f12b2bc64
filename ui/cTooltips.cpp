#include "ui/cTooltips.h"
cTooltips::~cTooltips() = default;
