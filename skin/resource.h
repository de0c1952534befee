// Resource identifiers shared by the resource script and the program.
#pragma once

#define IDI_APP 1

#define IDB_BACKGROUND 101     // 786 x 557, the whole client area of the main window
#define IDB_CAPTION 102        // 681 x 25, the title strip (drag handle)

// Navigation pictures, 236 x 36: normal then selected for each entry.
#define IDB_NAV_STATE_0 110
#define IDB_NAV_STATE_1 111
#define IDB_NAV_PROCESS_0 112
#define IDB_NAV_PROCESS_1 113
#define IDB_NAV_CPU_0 114
#define IDB_NAV_CPU_1 115
#define IDB_NAV_MEMORY_0 116
#define IDB_NAV_MEMORY_1 117
#define IDB_NAV_SETTING_0 118
#define IDB_NAV_SETTING_1 119
#define IDB_NAV_ABOUT_0 120
#define IDB_NAV_ABOUT_1 121

// Title-bar buttons, 28 x 15: normal, hover, pressed.
#define IDB_MIN_0 130
#define IDB_MIN_1 131
#define IDB_MIN_2 132
#define IDB_EXIT_0 133
#define IDB_EXIT_1 134
#define IDB_EXIT_2 135

#define IDB_ABOUT_PICTURE 140    // 52 x 56
#define IDB_SETTING_PICTURE 141  // 60 x 60
#define IDB_STATE_PICTURE 142    // 65 x 37
#define IDB_LIMIT_BANNER 143     // 476 x 73

#define IDC_LINK 150  // the home-page link's pointer
