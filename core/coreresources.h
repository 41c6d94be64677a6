#pragma once

// Registers the program's icon (":/Images/air-icon.png"), shown by the
// window and the update dialog. Safe to call more than once.
void initCoreResources();
