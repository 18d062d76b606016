// Text at the Win32 boundary: the programs hold UTF-8, the wide calls take
// UTF-16, and files written by older tools or by the console hold a code page
// of the system (the ANSI one, or the console's OEM one).
#pragma once

// Windows headers in the order they need: winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <string>
#include <string_view>

namespace toolkit::platform {

// UTF-8 to UTF-16; a byte that is not UTF-8 becomes U+FFFD.
std::wstring Wide(std::string_view utf8);
// UTF-16 to UTF-8.
std::string Utf8(std::wstring_view wide);
// Text of a code page (CP_ACP, CP_OEMCP, ...) as UTF-8.
std::string Utf8FromCodePage(std::string_view bytes, UINT codePage);
bool IsUtf8(std::string_view bytes);
// A folder as the batch files can name it: as it is, or by its short form
// when its name holds a character the console's code page lacks and the
// volume gives it one made of characters the code page has (otherwise as it
// is, and the batch file naming it is refused).
std::wstring NameForBatchFiles(const std::wstring& path);

}  // namespace toolkit::platform
