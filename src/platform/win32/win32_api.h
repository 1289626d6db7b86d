#pragma once

// The one place the win32 backend takes the Windows headers from. The tool's manifest makes UTF-8 the
// ANSI code page, so the "A" functions take and give the core's UTF-8 text; they are called by their
// full names (CopyFileA, not CopyFile) so that nothing depends on UNICODE being undefined.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <objbase.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <windows.h>

// windows.h maps these names to their A or W function by macro. They are also the names of operations of
// the platform services, which must mean the same member in every translation unit.
#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef ExpandEnvironmentStrings
#undef ExtractIcon
#undef MoveFile
