// Identifiers of the controls in the library's dialog templates.
#pragma once

#define IDC_MESSAGE_TITLE 1001
#define IDC_MESSAGE_TEXT 1002
#define IDC_PROMPT_FIRST 1003
#define IDC_PROMPT_SECOND 1004
