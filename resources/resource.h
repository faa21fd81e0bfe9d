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

// One-field dialogs (a server name, a profile pattern) and the agent address override.
#define IDC_TEXT_FIELD 1601
#define IDC_ADDRESS_LIST 1602
#define IDC_ADDRESS_RESET 1603
#define IDC_SCAN_RANGE 1604

// The address-range scan: the three leading octets, the first and last fourth octet, a port range.
#define IDC_SCAN_OCTET_A 1501
#define IDC_SCAN_OCTET_B 1502
#define IDC_SCAN_OCTET_C 1503
#define IDC_SCAN_FIRST 1504
#define IDC_SCAN_LAST 1505
#define IDC_SCAN_PORT_FROM 1506
#define IDC_SCAN_PORT_TO 1507
#define IDC_SCAN_PROGRESS 1010

// The e-mail dialogs.
#define IDC_EMAIL_SMTP_SERVER 1401
#define IDC_EMAIL_PORT 1402
#define IDC_EMAIL_SEND_AS 1403
#define IDC_EMAIL_PASSWORD 1404
#define IDC_EMAIL_NO_SECURITY 1405
#define IDC_EMAIL_SSL 1406
#define IDC_EMAIL_TLS 1407
#define IDC_EMAIL_SEND_TEST 1408
#define IDC_EMAIL_TEST_RECIPIENT 1411
#define IDC_EMAIL_TEMPLATES 1409
// The ten alert template fields, subject and body per kind: AD, FS, GP, LL, LF.
#define IDC_TEMPLATE_FIRST 1421
#define IDC_TEMPLATE_AD_SUBJECT 1421
#define IDC_TEMPLATE_AD_BODY 1422
#define IDC_TEMPLATE_FS_SUBJECT 1423
#define IDC_TEMPLATE_FS_BODY 1424
#define IDC_TEMPLATE_GP_SUBJECT 1425
#define IDC_TEMPLATE_GP_BODY 1426
#define IDC_TEMPLATE_LL_SUBJECT 1427
#define IDC_TEMPLATE_LL_BODY 1428
#define IDC_TEMPLATE_LF_SUBJECT 1429
#define IDC_TEMPLATE_LF_BODY 1430
#define IDC_EMAIL_MULTIPLE 1410
#define IDC_EMAIL_SERVERS 1412

// The dialog that chooses the share holding the log files.
#define IDC_SHARE_SERVER 1701
#define IDC_SHARE_LIST 1702

// The permitted-hours grid: the day headings (Sunday first), the hour labels (midnight first) and the
// check boxes, day by day, each day's 24 hours in order.
#define IDC_HOURS_FIRST_DAY 2301
#define IDC_HOURS_FIRST_HOUR 2311
#define IDC_HOURS_FIRST_CELL 2401

// The directory picker: the search base, the kinds of the object list, the two lists and their buttons.
#define IDC_PICKER_BASE 2201
#define IDC_PICKER_CONTAINERS 2202
#define IDC_PICKER_USERS 2203
#define IDC_PICKER_CONTACTS 2204
#define IDC_PICKER_GROUPS 2205
#define IDC_PICKER_OBJECTS 2206
#define IDC_PICKER_AVAILABLE 2207
#define IDC_PICKER_CHOSEN 2208
#define IDC_PICKER_ADD 2209
#define IDC_PICKER_REMOVE 2210
#define IDC_PICKER_EXCLUDE 2211
