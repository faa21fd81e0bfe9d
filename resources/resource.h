// Identifiers of the controls in the library's dialog templates.
#pragma once

#define IDC_MESSAGE_TITLE 1001
#define IDC_MESSAGE_TEXT 1002
#define IDC_PROMPT_FIRST 1003
#define IDC_PROMPT_SECOND 1004

// Profile screens.
#define IDC_PROFILE_TYPES 1101
#define IDC_PROFILE_DESCRIPTION 1102
#define IDC_PROFILE_NAME 1103
#define IDC_ALERT_NOT_ACCOUNTS 1111
#define IDC_ALERT_OK_ACCOUNTS 1112
