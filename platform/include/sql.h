// ODBC for non-Windows builds: unixODBC's sql.h over the Win32 layer's types.
//
// Without help, unixODBC's sqltypes.h defines its own DWORD, BOOL, HWND and
// the other Windows types, which clash with windows.h here. Told that the
// platform has them (ALREADY_HAVE_WINDOWS_TYPE), it defines none of them and
// expects the rest of what the Windows headers give ODBC: those are defined
// here, with unixODBC's own sizes, so that both sides of the driver manager
// see one layout. sqlext.h comes through this header too.
#pragma once

#include <windows.h>

#define ALREADY_HAVE_WINDOWS_TYPE 1
#ifndef SQL_API
#define SQL_API
#endif
#ifndef FAR
#define FAR
#endif

typedef unsigned char UCHAR;
typedef signed char SCHAR;
typedef SCHAR SQLSCHAR;
typedef int SDWORD;
typedef unsigned int UDWORD;
typedef signed short int SWORD;
typedef unsigned short int UWORD;
typedef signed long SLONG;
typedef signed short SSHORT;
typedef unsigned short USHORT;
typedef double SDOUBLE;
typedef double LDOUBLE;
typedef float SFLOAT;
typedef void* PTR;
typedef signed short RETCODE;
typedef void* SQLHWND;

#include_next <sql.h>

static_assert(sizeof(SQLINTEGER) == 4 && sizeof(SQLSMALLINT) == 2 && sizeof(SQLLEN) == sizeof(void*),
              "ODBC types as the driver manager was built with them");
static_assert(sizeof(SQLWCHAR) == 2, "wide ODBC text is 16-bit, as WCHAR");
