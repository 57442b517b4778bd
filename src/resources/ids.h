// ids.h -- every resource id of the stub: icons, dialogs, controls.
#pragma once

// ---- icons (100..) ----
#define IDI_SETUP 100
