// The Windows headers the library uses, in the order Windows wants them.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
