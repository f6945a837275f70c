// Measures, under Wine or Windows, how the system lists and compares file names, and
// prints plain text lines:
//
//   upcase XXXX YYYY      RtlUpcaseUnicodeChar of one UTF-16 unit, where it changes it
//   list LONG SHORT       FindFirstFileW/FindNextFileW over a pattern, in the order given:
//                         the long and short names as UTF-16 units in hex ("-" for none)
//
// gen_upcase_table.py turns the "upcase" lines into the names unit's table.
//
// Build: x86_64-w64-mingw32-g++ -std=c++20 -O2 -static measure_file_names.cpp
// Run:   wine measure_file_names.exe upcase > upcase.txt
//        wine measure_file_names.exe list "C:\windows\inf\*.inf"
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using UpcaseFunction = WCHAR(WINAPI*)(WCHAR);

int printUpcaseTable() {
  auto upcase = reinterpret_cast<UpcaseFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlUpcaseUnicodeChar")));
  if (upcase == nullptr) return 1;
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    const unsigned upper = upcase(static_cast<WCHAR>(unit));
    if (upper != unit) std::printf("upcase %04x %04x\n", unit, upper);
  }
  return 0;
}

std::string hexUnits(const WCHAR* units) {
  if (*units == 0) return "-";
  std::string text;
  char digits[8];
  for (; *units != 0; ++units) {
    std::snprintf(digits, sizeof digits, "%s%04x", text.empty() ? "" : ".",
                  static_cast<unsigned>(*units));
    text += digits;
  }
  return text;
}

int printListing(const char* pattern) {
  WCHAR widePattern[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, pattern, -1, widePattern, MAX_PATH) == 0) return 1;
  WIN32_FIND_DATAW data;
  const HANDLE search = FindFirstFileW(widePattern, &data);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    std::printf("list %s %s\n", hexUnits(data.cFileName).c_str(),
                hexUnits(data.cAlternateFileName).c_str());
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "upcase") == 0) return printUpcaseTable();
  if (argc == 3 && std::strcmp(argv[1], "list") == 0) return printListing(argv[2]);
  std::fprintf(stderr, "usage: measure_file_names upcase | list <pattern>\n");
  return 2;
}
