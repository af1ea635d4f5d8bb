// Numbered resources of Tidewell and Skylark, grouped by dialog. The numbers
// are fixed: other code, stored files and peers know them.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// ---- Strings
#define IDS_ABOUTBOX 101

// ---- Icons
#define IDI_MAINFRAME 128
#define IDI_RISK_NONE 132
#define IDI_RISK_HIGH 133
#define IDI_RISK_MEDIUM 134
#define IDI_RISK_UNKNOWN 135
#define IDI_LINKED_PROCESS 137
// The scan locations' tree; the first and the registry also mark the spyware
// and backup tabs, startup and products the last two tabs.
#define IDI_SCAN_MY_PC 148
#define IDI_MY_COMPUTER 149
#define IDI_FOLDER 150
#define IDI_REGISTRY 151
#define IDI_MEMORY 152
#define IDI_DRIVE 153
#define IDI_COOKIES 155
#define IDI_STARTUP 165
#define IDI_PRODUCTS 166

// ---- Bitmaps of the skin buttons and the notifier
#define IDBMP_NOTIFIER_SKIN 142
#define IDBMP_CLUTTER_METER 160
#define IDBMP_UPDATE 169
#define IDBMP_SPYWARE_SCAN 170
#define IDBMP_RESTORE 171
#define IDBMP_DELETE 172
#define IDBMP_DISABLE 173
#define IDBMP_SCAN_BHOS 174
#define IDBMP_STOP_SCAN 175
#define IDBMP_LIST_BHOS 176
#define IDBMP_REGISTRY_CLEANUP 177
#define IDBMP_REGISTRY_BACKUP 178
#define IDBMP_LOG 179
#define IDBMP_NET_WATCH 181

// ---- Menus and their commands
#define IDM_BHO_TREE 129
#define IDM_TRAY 141
#define IDM_STARTUP_LIST 180
#define ID_UNINSTALL_BHO 32771
#define ID_BHO_INFORMATION 32772
#define ID_TRAY_OPEN 32773
#define ID_TRAY_QUIT 32774
#define ID_SUBMIT_INFORMATION 32775
#define ID_TRAY_SAVE_REPORT 32776
#define IDM_ABOUTBOX 16  // system menu item

// ---- About box (dialog 100)
#define IDD_ABOUTBOX 100

// ---- Main window (dialog 102)
#define IDD_MAIN_DIALOG 102
#define IDB_LIST_BHOS 1001
#define IDC_BHO_TREE 1003
#define IDC_AUTO_REFRESH 1005
#define IDC_CLUTTER_BAR 1011
#define IDB_REGISTRY_BACKUP 1013
#define IDB_REGISTRY_RESTORE 1015
#define IDB_REGISTRY_CLEANUP 1016
#define IDB_CLUTTER_METER 1017
#define IDB_SCAN_BHOS 1018
#define IDC_STATUS_LINE 1019
#define IDB_STOP_SCAN 1020
#define IDB_LOG 1048
#define IDC_MAIN_TABS 1049
#define IDC_SHARED_LIST 1050
#define IDB_BACKUP_RESTORE 1052
#define IDB_BACKUP_DELETE 1053
#define IDB_SPYWARE_SCAN 1054
#define IDB_STARTUP_DISABLE 1055
#define IDB_STARTUP_DELETE 1056
#define IDC_BROWSER 1062
#define IDC_CLUTTER_PERCENT 1067
#define IDC_LEGEND_MEDIUM_ICON 1073
#define IDC_LEGEND_NONE_ICON 1074
#define IDC_LEGEND_HIGH_ICON 1075
#define IDC_LEGEND_UNKNOWN_ICON 1076
#define IDC_LEGEND_NONE_TEXT 1077
#define IDC_LEGEND_MEDIUM_TEXT 1078
#define IDC_LEGEND_HIGH_TEXT 1079
#define IDC_LEGEND_UNKNOWN_TEXT 1080
#define IDC_GRAPH_TOTAL 1089
#define IDC_GRAPH_INCOMING 1090
#define IDC_GRAPH_OUTGOING 1091
#define IDB_UPDATE 1093
#define IDB_NET_WATCH 1097
// The products page in the browser's place: a message while the links load
// or when the site cannot be reached.
#define IDC_PRODUCTS_MESSAGE 1200

// ---- Log viewer (dialog 140)
#define IDD_LOG_DIALOG 140
#define IDC_LOG_LIST 1014

// ---- BHO information (dialog 143)
#define IDD_BHO_INFO 143
#define IDC_BHO_INFO_PROGRESS 1011
#define IDC_BHO_FILE 1054
#define IDC_BHO_CLASS_ID 1055
#define IDC_BHO_RISK 1056
#define IDC_BHO_NAME 1057
#define IDC_BHO_LAST_WRITE 1058
#define IDB_BHO_SUBMIT 1059
#define IDC_BHO_COMMENTS 1060
#define IDC_BHO_INFO_BROWSER 1061
#define IDC_BHO_SIGNER 1062

// ---- BHO uninstall progress (dialog 130)
#define IDD_UNINSTALL_PROGRESS 130
#define IDC_UNINSTALL_TERMINATE_TEXT 1007
#define IDC_UNINSTALL_UNREGISTER_TEXT 1008
#define IDC_UNINSTALL_DELETE_TEXT 1009
#define IDC_UNINSTALL_REGISTRY_TEXT 1010
#define IDC_UNINSTALL_PROGRESS 1011
#define IDC_UNINSTALL_TERMINATE_CHECK 1012
#define IDC_UNINSTALL_UNREGISTER_CHECK 1013
#define IDC_UNINSTALL_DELETE_CHECK 1014
#define IDC_UNINSTALL_REGISTRY_CHECK 1015

// ---- Registry backup: the wait box (dialog 190) and the restore manager (dialog 191)
#define IDD_BACKUP_WAIT 190
#define IDC_BACKUP_WAIT_TEXT 1250
#define IDD_RESTORE_MANAGER 191
#define IDC_RESTORE_LIST 1251
#define IDB_RESTORE_SELECTED 1252
#define IDB_DELETE_BACKUP 1253

// ---- Spyware scanner: detected spyware (dialog 167) and its button bitmaps
#define IDD_DETECTED_SPYWARE 167
#define IDBMP_REMOVE_SELECTED 184
#define IDBMP_CLOSE_RESULTS 185
#define IDC_SELECT_ALL 1012
#define IDC_DETECTED_LIST 1014
// ---- Registry cleaner: "Registry tools" (dialog 195) and "Details" (dialog 196).
// Each row's controls are numbered from its kind's first identifier plus the
// row: 0-5 the six categories, 6 "Windows fonts:", 7 "Invalid file paths:" (hidden).
#define IDI_REGCLEAN_BACKUP 139
#define IDD_REGISTRY_TOOLS 195
#define IDB_REGCLEAN_BACKUP_FIRST 1300
#define IDC_REGCLEAN_COUNT_FIRST 1310
#define IDB_REGCLEAN_SCAN_FIRST 1320
#define IDB_REGCLEAN_STOP_FIRST 1330
#define IDB_REGCLEAN_REPAIR_FIRST 1340
#define IDB_REGCLEAN_DETAILS_FIRST 1350
#define IDC_REGCLEAN_LABEL_FIRST 1360
#define IDC_REGCLEAN_STATUS 1370
#define IDB_REGCLEAN_SCAN_ALL 1371
#define IDB_REGCLEAN_REPAIR_ALL 1372
#define IDB_REGCLEAN_DETAILS_ALL 1373
#define IDB_REGCLEAN_STOP_ALL 1374
#define IDD_PROBLEM_DETAILS 196
#define IDC_DETAILS_LIST 1380
#define IDC_DETAILS_SELECT_ALL 1381
#define IDB_DETAILS_REPAIR_SELECTED 1382

// ---- Clutter-Meter (dialog 200), its row icons and the three space limits
#define IDD_CLUTTER_METER 200
#define IDI_CLEANUP_HISTORY 156
#define IDI_CLEANUP_RECENT 157
#define IDI_CLEANUP_RECYCLE_BIN 158
#define IDI_CLEANUP_FOLDER 159
#define IDI_CLEANUP_LOG 161
#define IDC_CLUTTER_LIST 1300
#define IDC_CLUTTER_REPORT 1301
#define IDC_CLUTTER_SELECT_ALL 1302
#define IDB_CLUTTER_CLEANUP 1303
#define IDC_LIMITS_FRAME 1304
#define IDC_CACHE_LABEL 1305
#define IDC_CACHE_SLIDER 1306
#define IDC_CACHE_FIELD 1307
#define IDC_CACHE_SPIN 1308
#define IDC_CACHE_UNIT 1309
#define IDC_RESTORE_LABEL 1310
#define IDC_RESTORE_SLIDER 1311
#define IDC_RESTORE_FIELD 1312
#define IDC_RESTORE_SPIN 1313
#define IDC_RESTORE_UNIT 1314
#define IDC_OFFLINE_LABEL 1315
#define IDC_OFFLINE_SLIDER 1316
#define IDC_OFFLINE_FIELD 1317
#define IDC_OFFLINE_SPIN 1318
#define IDC_OFFLINE_UNIT 1319

// ---- Net traffic watcher (dialog 182)
#define IDD_NET_WATCH 182
#define IDC_NET_GRAPH_INCOMING 1001
#define IDC_NET_GRAPH_OUTGOING 1002
#define IDC_NET_GRAPH_TOTAL 1003
#define IDC_NET_FRAME 1098
#define IDC_NET_INCOMING_LABEL 1101
#define IDC_NET_OUTGOING_LABEL 1102
#define IDC_NET_TOTAL_LABEL 1103
#define IDC_NET_EXPLANATION 1104
#define TIMER_NET_REPAINT 1
#define TIMER_NET_SAMPLE 2
#define TIMER_NET_REGION 100
