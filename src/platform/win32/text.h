// Conversion between narrow code pages and wide text (WCHAR, UTF-32 here),
// with the shapes and results of kernel32's two conversion calls:
//   - a count of -1 means the input is zero-terminated, and the terminator is
//     converted and counted too;
//   - an output size of 0 returns the size the output needs, writing nothing;
//   - failure returns 0 and sets the last error: ERROR_INVALID_PARAMETER (bad
//     arguments, unknown code page), ERROR_INVALID_FLAGS,
//     ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION (invalid input
//     under the strict flags).
// Known code pages: CP_ACP (the file system's encoding, UTF-8), CP_UTF8,
// 936 (GBK, through iconv) and 28591 (ISO-8859-1). Invalid input is replaced
// by U+FFFD (UTF-8) or '?' (936) unless MB_ERR_INVALID_CHARS asks for a
// failure; wide characters a code page lacks become the default character.
// CP_ACP converts file names, which are bytes: a byte that is not part of
// valid UTF-8 becomes the lone surrogate U+DC80..U+DCFF (0xDC00 + byte) and
// such a surrogate converts back to its byte, so any name round-trips.
// Safe to call from any thread; no process locale is read or set.
#pragma once

#include "platform/win32/types.h"

using LPBOOL = BOOL*;

#define CP_ACP 0
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

#ifndef ERROR_INSUFFICIENT_BUFFER
#define ERROR_INSUFFICIENT_BUFFER 122
#endif
#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004
#endif
#ifndef ERROR_NO_UNICODE_TRANSLATION
#define ERROR_NO_UNICODE_TRANSLATION 1113
#endif

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte, LPWSTR wide, int cchWide);

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWide, LPSTR multiByte, int cbMultiByte,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar);
