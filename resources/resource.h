// Resource identifiers of corvane.
#pragma once

#define IDS_NO_LAYOUT 129
#define IDS_QUIT 130
#define IDS_FILES_MISSING 131
#define IDS_RESTART 132
#define IDS_MAKER 133
#define IDS_NO_UNINSTALL 134
#define IDS_REBOOT_FAILED 135
#define IDS_UPDATE_INCOMPLETE 136
#define IDS_WIN95_ONLY 137
#define AFX_IDS_APP_TITLE 57344

#define IDD_PROGRESS 130
#define IDR_CLIP 132
#define IDC_PROGRESS 1000
#define IDC_ANIMATE 1001
