/*
 * Resource identifiers of QB7_LX450.
 *
 * Shared by the C++ sources and by the resource script (qb7_lx450.rc);
 * it holds plain #define lines only, so that both the C++ compiler and
 * the resource compiler can read it.
 */
#ifndef QB7_LX450_RESOURCE_H
#define QB7_LX450_RESOURCE_H

/* Dialog templates */
#define IDD_ABOUT                       100
#define IDD_INSTALLER                   102

/* Icon group and bitmap */
#define IDI_APP                         128
#define IDB_BANNER                      131

/* Controls of the installer dialog */
#define IDC_LABEL_XP32                  1002
#define IDC_LABEL_XP64                  1003
#define IDC_LABEL_VISTA32               1004
#define IDC_LABEL_VISTA64               1005
#define IDC_INSTALL                     1006
#define IDC_CLOSE                       1007

/* System-menu command that opens the About box (low four bits clear) */
#define IDM_ABOUT                       0x0010

/* Strings */
#define IDS_ABOUT_MENU                  101
#define IDS_STATUS_CAPTION              200
#define IDS_INSTALL_OK                  201
#define IDS_FAIL_UNSUPPORTED            202
#define IDS_FAIL_PATH_TOO_LONG          203
#define IDS_FAIL_FOLDER_MISSING         204
#define IDS_FAIL_NOT_STARTED            205
#define IDS_FAIL_INSTALLER_FAILED       206
#define IDS_FAIL_PACKAGE_MISSING        207
#define IDS_FAIL_INF_REJECTED           208
#define IDS_FAIL_INF_REJECTED_AT_LINE   209
#define IDS_FAIL_INF_NO_SECTION         210
#define IDS_FOLLOW_UP_RESTART           211
#define IDS_FOLLOW_UP_PLUG_IN           212
#define IDS_FAILURE_RESTART             213
#define IDS_ADAPTER_READY               214
#define IDS_ADAPTER_SETTING_UP          215
#define IDS_ADAPTER_PROBLEM             216
#define IDS_ADAPTER_SETTING_UP_XP       217
#define IDS_INSTALLER_CODE              218
#define IDS_LOG_FILE                    219
#define IDS_LOG_FILES                   220
#define IDS_DRIVER_FROM_MAKER           221
/* What problem code N means is string IDS_PROBLEM_MEANING + N, for N below 100 */
#define IDS_PROBLEM_MEANING             300
#define IDS_PROBLEM_FAILED_START        310
#define IDS_PROBLEM_NEEDS_RESTART       314
#define IDS_PROBLEM_REINSTALL           318
#define IDS_PROBLEM_DISABLED            322
#define IDS_PROBLEM_FAILED_INSTALL      328
#define IDS_PROBLEM_DRIVER_NOT_LOADED   331
#define IDS_PROBLEM_DRIVER_MISSING      339
#define IDS_PROBLEM_STOPPED             343
#define IDS_PROBLEM_UNSIGNED_DRIVER     352
#define IDS_PROBLEM_CLASS_CONFIG        356

#endif /* QB7_LX450_RESOURCE_H */
