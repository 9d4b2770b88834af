// Text for the Win32 API: the run-time's CP932 bytes and UTF-8 to and from
// the system's UTF-16. Names go through the W functions with CP932 converted
// here, so that they mean the same whatever the system's own code page.
#pragma once

#include <string>
#include <string_view>

namespace platform {

constexpr unsigned kCodePage932 = 932;

std::wstring ToWide(std::string_view bytes, unsigned codePage);
std::string FromWide(std::wstring_view wide, unsigned codePage);
inline std::wstring Cp932ToWide(std::string_view cp932) { return ToWide(cp932, kCodePage932); }
inline std::string WideToCp932(std::wstring_view wide) { return FromWide(wide, kCodePage932); }

}  // namespace platform
