// Identifiers of the controls in the library's dialog templates.
#pragma once

#define IDC_MESSAGE_TITLE 1001
#define IDC_MESSAGE_TEXT 1002
#define IDC_PROMPT_FIRST 1003
#define IDC_PROMPT_SECOND 1004

// The results window.
#define IDC_RESULTS_LIST 1001
#define IDC_RESULTS_SAVE 1011

// The custom report's progress window.
#define IDC_PWLOG_OVERALL 1201
#define IDC_PWLOG_FILE 1202
#define IDC_PWLOG_FILE_SIZE 1203
#define IDC_PWLOG_REMAINING 1204
#define IDC_PWLOG_STOP 1205

// Profile screens.
#define IDC_PROFILE_TYPES 1101
#define IDC_PROFILE_DESCRIPTION 1102
#define IDC_PROFILE_NAME 1103
#define IDC_ALERT_NOT_ACCOUNTS 1111
#define IDC_ALERT_OK_ACCOUNTS 1112

// Agent update and removal dialogs.
#define IDC_UPDATE_RESTART 1301
#define IDC_UPDATE_NO_RESTART 1302
#define IDC_UPDATE_SKIP 1303
#define IDC_UPDATE_LIBRARIES 1304
#define IDC_UPDATE_MULTIPLE 1305
#define IDC_REMOVE_STAGING_LOGS 1311
#define IDC_REMOVE_SHARED_LOGS 1312
#define IDC_REMOVE_REGISTRY_KEYS 1313
// The report type of a report definition.
#define IDC_REPORT_TYPES 1321
// The confirmations of a drag-and-drop copy.
#define IDC_COPY_OVERWRITE 1331
#define IDC_COPY_KEEP 1332
#define IDC_COPY_DESTINATION 1333
// The rename dialogs.
#define IDC_RENAME_NAME 1341
