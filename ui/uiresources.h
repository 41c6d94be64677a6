#pragma once

// Registers the images of the store client (":/Images/...") held in the ui library.
void initUiResources();
