// Measures, under Wine or Windows, the conversions and profile-reader details that the
// portable INF reader must reproduce, and prints them as plain text lines:
//
//   bestfit U+XXXX HH      WideCharToMultiByte(1252) of one BMP unit, where the byte is
//                          neither the code point itself nor the default "?"
//   tounicode HH U+XXXX    MultiByteToWideChar(1252) of each byte
//   utf8 IN -> UNITS       MultiByteToWideChar(CP_UTF8, 0) of test sequences (hex)
//   blank-*, fold-*, ...   GetPrivateProfileStringA on generated files (see each probe)
//
// gen_code_page_1252.py turns the first two kinds into the reader's tables.
//
// Build: x86_64-w64-mingw32-g++ -std=c++20 -O2 -static measure_code_page.cpp
// Run:   wine measure_code_page.exe [scratch directory] > measured.txt
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Units = std::wstring;

std::string scratchDirectory = ".";

std::string hexBytes(const std::string& bytes) {
  std::string text;
  char digits[4];
  for (unsigned char byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

std::string hexUnits(const Units& units) {
  std::string text;
  char digits[8];
  for (wchar_t unit : units) {
    std::snprintf(digits, sizeof digits, "%s%04x", text.empty() ? "" : " ",
                  static_cast<unsigned>(unit));
    text += digits;
  }
  return text;
}

std::string toCodePage1252(const Units& units) {
  char bytes[64];
  int length = WideCharToMultiByte(1252, 0, units.data(), static_cast<int>(units.size()), bytes,
                                   sizeof bytes, nullptr, nullptr);
  return std::string(bytes, length > 0 ? length : 0);
}

wchar_t fromCodePage1252(unsigned char byte) {
  wchar_t unit = 0;
  char input = static_cast<char>(byte);
  MultiByteToWideChar(1252, 0, &input, 1, &unit, 1);
  return unit;
}

void printBestFit() {
  int identity = 0, toDefault = 0, other = 0, notOneByte = 0;
  for (unsigned point = 0; point <= 0xFFFF; ++point) {
    std::string bytes = toCodePage1252(Units(1, static_cast<wchar_t>(point)));
    if (bytes.size() != 1) {
      std::printf("bestfit-length U+%04X %zu\n", point, bytes.size());
      ++notOneByte;
      continue;
    }
    unsigned byte = static_cast<unsigned char>(bytes[0]);
    if (byte == point) {
      ++identity;
    } else if (byte == '?' && point >= 0x100) {
      ++toDefault;
    } else {
      std::printf("bestfit U+%04X %02X\n", point, byte);
      ++other;
    }
  }
  std::printf("bestfit-summary identity=%d default=%d listed=%d not-one-byte=%d\n", identity,
              toDefault, other, notOneByte);
  Units pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  std::printf("bestfit-pair D83D DE00 -> %s\n", hexBytes(toCodePage1252(pair)).c_str());
}

void printToUnicode() {
  for (unsigned byte = 0; byte < 256; ++byte) {
    std::printf("tounicode %02X U+%04X\n", byte,
                static_cast<unsigned>(fromCodePage1252(static_cast<unsigned char>(byte))));
  }
}

Units fromUtf8(const std::string& bytes) {
  wchar_t units[64];
  int length =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), units, 64);
  return Units(units, length > 0 ? length : 0);
}

// Each sequence is measured between "a" and "b", and once more at the very end.
const char* const UTF8_SEQUENCES[] = {
    "\x80",
    "\xbf",
    "\x80\x80\x80",
    "\xc0\x80",
    "\xc1\xbf",
    "\xc2",
    "\xc2\x80",
    "\xdf\xbf",
    "\xc3\x28",
    "\xc3\xa9\x80",
    "\xe0\x80\x80",
    "\xe0\x9f\xbf",
    "\xe0\xa0\x80",
    "\xe0\xa0",
    "\xe1\x80",
    "\xe2\x28\xa1",
    "\xe2\x82\x28",
    "\xed\x9f\xbf",
    "\xed\xa0\x80",
    "\xed\xbf\xbf",
    "\xed\xa0\xbd\xed\xb8\x80",
    "\xef\xbf\xbf",
    "\xef\xbb\xbf",
    "\xf0\x80\x80\x80",
    "\xf0\x8f\xbf\xbf",
    "\xf0\x90\x80\x80",
    "\xf0\x9f\x98\x80",
    "\xf4\x8f\xbf\xbf",
    "\xf4\x90\x80\x80",
    "\xf5\x80\x80\x80",
    "\xf7\xbf\xbf\xbf",
    "\xf8\x88\x80\x80\x80",
    "\xfc\x84\x80\x80\x80\x80",
    "\xfe",
    "\xff",
    "\xf0\x90\x80",
    "\xf0\x90",
    "\xf0",
    "\xf0\x28\x8c\xbc",
    "\xf0\x90\x28\xbc",
    "\xf0\x28\x8c\x28",
    "\xe0\xa0\xc3\xa9",
    "\xf0\x90\x80\xc3\xa9",
    "\xc0",
    "\xc1",
    "\xe0",
    "\xed",
    "\xf4",
    "\xf4\x90",
    "\xe0\x9f",
    "\xed\xa0",
    "\xf0\x8f",
    "\xf0\x80",
    "\xf4\x8f\xbf",
};

void printUtf8() {
  for (const char* sequence : UTF8_SEQUENCES) {
    std::string middle = std::string("a") + sequence + "b";
    std::string last = std::string("a") + sequence;
    std::printf("utf8 %s -> %s\n", hexBytes(middle).c_str(), hexUnits(fromUtf8(middle)).c_str());
    std::printf("utf8 %s -> %s\n", hexBytes(last).c_str(), hexUnits(fromUtf8(last)).c_str());
  }
}

// --- profile reader probes --------------------------------------------------------------

std::string fullPath(const std::string& name) {
  std::string relative = scratchDirectory + "\\" + name;
  char path[MAX_PATH];
  DWORD length = GetFullPathNameA(relative.c_str(), MAX_PATH, path, nullptr);
  return std::string(path, length);
}

void writeFile(const std::string& name, const std::string& bytes) {
  FILE* file = std::fopen(fullPath(name).c_str(), "wb");
  if (file == nullptr) {
    std::printf("error cannot write %s\n", name.c_str());
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string lookup(const std::string& name, const std::string& section, const std::string& key) {
  char value[300];
  DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value,
                                          fullPath(name).c_str());
  return std::string(value, length);
}

std::string utf16le(const Units& units, bool withMark) {
  std::string bytes = withMark ? "\xff\xfe" : "";
  for (wchar_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>((unit >> 8) & 0xFF);
  }
  return bytes;
}

std::string utf16be(const Units& units) {
  std::string bytes = "\xfe\xff";
  for (wchar_t unit : units) {
    bytes += static_cast<char>((unit >> 8) & 0xFF);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

Units widen(const std::string& ascii) {
  return Units(ascii.begin(), ascii.end());
}

std::string numbered(const char* format, unsigned number) {
  char text[32];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

// One section per 256 code points keeps each lookup short. For unit c the file holds
// "Lxxxx=<c>x", "Txxxx=x<c>" and "Mxxxx=x<c>y": a blank is trimmed from L and T and kept
// in M; a line end empties L; anything else comes back converted.
void probeUnitBlanks() {
  Units text;
  for (unsigned point = 1; point <= 0xFFFF; ++point) {
    if (point % 256 == 0 || point == 1) text += widen(numbered("\r\n[S%02X]\r\n", point >> 8));
    wchar_t unit = static_cast<wchar_t>(point);
    text += widen(numbered("L%04X=", point)) + unit + L"x\r\n";
    text += widen(numbered("T%04X=x", point)) + unit + L"\r\n";
    text += widen(numbered("M%04X=x", point)) + unit + L"y\r\n";
  }
  writeFile("blank16.ini", utf16le(text, true));
  int normal = 0;
  for (unsigned point = 1; point <= 0xFFFF; ++point) {
    std::string section = numbered("S%02X", point >> 8);
    std::string leading = lookup("blank16.ini", section, numbered("L%04X", point));
    std::string trailing = lookup("blank16.ini", section, numbered("T%04X", point));
    std::string middle = lookup("blank16.ini", section, numbered("M%04X", point));
    if (leading.size() == 2 && trailing.size() == 2 && middle.size() == 3) {
      ++normal;
      continue;
    }
    std::printf("blank-utf16 U+%04X L=%s T=%s M=%s\n", point, hexBytes(leading).c_str(),
                hexBytes(trailing).c_str(), hexBytes(middle).c_str());
  }
  std::printf("blank-utf16-summary normal=%d\n", normal);
}

void probeByteBlanks() {
  std::string text = "[S]\r\n";
  for (unsigned byte = 1; byte < 256; ++byte) {
    char unit = static_cast<char>(byte);
    text += numbered("L%02X=", byte) + unit + "x\r\n";
    text += numbered("T%02X=x", byte) + unit + "\r\n";
    text += numbered("M%02X=x", byte) + unit + "y\r\n";
  }
  writeFile("blank8.ini", text);
  int normal = 0;
  for (unsigned byte = 1; byte < 256; ++byte) {
    std::string leading = lookup("blank8.ini", "S", numbered("L%02X", byte));
    std::string trailing = lookup("blank8.ini", "S", numbered("T%02X", byte));
    std::string middle = lookup("blank8.ini", "S", numbered("M%02X", byte));
    if (leading.size() == 2 && trailing.size() == 2 && middle.size() == 3) {
      ++normal;
      continue;
    }
    std::printf("blank-ansi %02X L=%s T=%s M=%s\n", byte, hexBytes(leading).c_str(),
                hexBytes(trailing).c_str(), hexBytes(middle).c_str());
  }
  std::printf("blank-ansi-summary normal=%d\n", normal);
}

bool foldCandidate(unsigned byte) {
  return byte != '=' && byte != 0x7F && byte != 0xA0;
}

// Entries "X<b>=<b in hex>" in byte order; a lookup of "X<b>" that finds an earlier entry
// shows that the two names compare equal.
void probeFolding(bool wide) {
  std::string ansi = "[C]\r\n";
  for (unsigned byte = 0x21; byte < 256; ++byte) {
    if (foldCandidate(byte))
      ansi += "X" + std::string(1, static_cast<char>(byte)) + numbered("=%02X\r\n", byte);
  }
  Units units;
  for (unsigned char byte : ansi) units += fromCodePage1252(byte);
  const char* name = wide ? "fold16.ini" : "fold8.ini";
  writeFile(name, wide ? utf16le(units, true) : ansi);
  int self = 0;
  for (unsigned byte = 0x21; byte < 256; ++byte) {
    if (!foldCandidate(byte)) continue;
    std::string found = lookup(name, "C", "X" + std::string(1, static_cast<char>(byte)));
    if (found == numbered("%02X", byte)) {
      ++self;
      continue;
    }
    std::printf("fold-%s %02X -> %s\n", wide ? "utf16" : "ansi", byte, found.c_str());
  }
  std::printf("fold-%s-summary self=%d\n", wide ? "utf16" : "ansi", self);
}

bool bestFitIsStructural(unsigned point, char& ascii) {
  std::string bytes = toCodePage1252(Units(1, static_cast<wchar_t>(point)));
  ascii = bytes.empty() ? 0 : bytes[0];
  return point >= 0x80 && ascii != 0 && std::strchr("=[]\"';", ascii) != nullptr;
}

// For every unit whose best fit is "=", "[", "]", a quote or ";": does the reader treat it
// as that character? Each probe prints what the lookups give.
void probeLookalikes() {
  Units text = L"[P]\r\n";
  Units headers;
  for (unsigned point = 0x80; point <= 0xFFFF; ++point) {
    char ascii;
    if (!bestFitIsStructural(point, ascii)) continue;
    wchar_t unit = static_cast<wchar_t>(point);
    text += widen(numbered("E%04X", point)) + unit + L"v\r\n";
    text += widen(numbered("Q%04X=", point)) + unit + L"v" + unit + L"\r\n";
    headers += unit + widen(numbered("H%04X]\r\nh=1\r\n", point));
    headers += widen(numbered("[B%04X", point)) + unit + L"\r\nh=1\r\n";
  }
  text += headers;
  writeFile("lookalike16.ini", utf16le(text, true));
  for (unsigned point = 0x80; point <= 0xFFFF; ++point) {
    char ascii;
    if (!bestFitIsStructural(point, ascii)) continue;
    std::printf("lookalike U+%04X (%c) E=%s Q=%s H=%s B=%s\n", point, ascii,
                hexBytes(lookup("lookalike16.ini", "P", numbered("E%04X", point))).c_str(),
                hexBytes(lookup("lookalike16.ini", "P", numbered("Q%04X", point))).c_str(),
                hexBytes(lookup("lookalike16.ini", numbered("H%04X", point), "h")).c_str(),
                hexBytes(lookup("lookalike16.ini", numbered("B%04X", point), "h")).c_str());
  }
}

template <std::size_t N>
std::string literal(const char (&text)[N]) {
  return std::string(text, N - 1);
}

void probeOne(const char* label, const std::string& name, const std::string& bytes,
              const std::string& section, const std::string& key) {
  writeFile(name, bytes);
  std::printf("probe %s -> %s\n", label, hexBytes(lookup(name, section, key)).c_str());
}

void probeUtf8Values() {
  for (const char* sequence : UTF8_SEQUENCES) {
    std::string middle = std::string("\xef\xbb\xbf[A]\r\nz=a") + sequence + "b\r\n";
    std::string last = std::string("\xef\xbb\xbf[A]\r\nz=a") + sequence;
    writeFile("utf8value.ini", middle);
    std::string inMiddle = lookup("utf8value.ini", "A", "z");
    writeFile("utf8end.ini", last);
    std::string atEnd = lookup("utf8end.ini", "A", "z");
    std::printf("utf8-value %s -> %s | at end -> %s\n", hexBytes(sequence).c_str(),
                hexBytes(inMiddle).c_str(), hexBytes(atEnd).c_str());
  }
}

void probeMiscellany() {
  probeOne("blank-line-then-empty-name", "m1.ini", "[S]\r\n \t \r\n=x\r\n", "S", "");
  probeOne("nul-line-then-empty-name", "m2.ini", std::string("[S]\r\n\0\r\n=x\r\n", 12), "S", "");
  probeOne("utf16be-odd-41", "m3.ini", utf16be(widen("[A]\r\nz=end")) + "A", "A", "z");
  probeOne("utf16le-odd-e9", "m4.ini", utf16le(widen("[A]\r\nz=end"), true) + "\xe9", "A", "z");
  probeOne("utf16be-odd-e9", "m5.ini", utf16be(widen("[A]\r\nz=end")) + "\xe9", "A", "z");
  probeOne("utf16le-lone-high", "m6.ini",
           utf16le(widen("[A]\r\nz=a") + wchar_t(0xD800) + L"b\r\n", true), "A", "z");
  probeOne("utf16le-lone-low", "m7.ini",
           utf16le(widen("[A]\r\nz=a") + wchar_t(0xDC00) + L"b\r\n", true), "A", "z");
  probeOne("utf16le-second-bom", "m8.ini", utf16le(wchar_t(0xFEFF) + widen("[A]\r\nz=1\r\n"), true),
           "A", "z");
  probeOne("utf8-second-bom", "m9.ini", "\xef\xbb\xbf\xef\xbb\xbf[A]\r\nz=1\r\n", "A", "z");
  probeOne("utf16le-key-euro", "m10.ini",
           utf16le(widen("[A]\r\n") + wchar_t(0x20AC) + L"=1\r\n", true), "A", "\x80");
  probeOne("utf16le-key-81", "m11.ini", utf16le(widen("[A]\r\n") + wchar_t(0x81) + L"=1\r\n", true),
           "A", "\x81");
  probeOne("ansi-bracket-entry-then-bracket", "m12.ini", "[A]\r\n[x=3]\r\nk=1\r\n", "A", "k");
  probeOne("utf8-nul", "m13.ini", std::string("\xef\xbb\xbf[A]\r\nz=a\0b\r\n", 15), "A", "z");
  probeOne("utf16le-only-bom-then-odd", "m14.ini", "\xff\xfe\x41", "A", "z");
  probeOne("utf16le-bom-odd-header", "m15.ini",
           literal("\xff\xfe[\0A\0]\0\n\0z\0=\0"
                   "1"),
           "A", "z");
  probeOne("utf16le-bom-odd-only", "m16.ini",
           literal("\xff\xfe=\0"
                   "1"),
           "", "");
  probeOne("utf8-end-short-f0", "m17.ini",
           "\xef\xbb\xbf[A]\r\nk=\xf0"
           "ab",
           "A", "k");
  probeOne("utf8-end-short-e0", "m18.ini",
           "\xef\xbb\xbf[A]\r\nk=a\xe0"
           "b",
           "A", "k");
  probeOne("utf8-end-enough-e0", "m19.ini",
           "\xef\xbb\xbf[A]\r\nk=a\xe0"
           "bc",
           "A", "k");
  probeOne("utf8-middle-f0-crlf", "m21.ini", "\xef\xbb\xbf[A]\r\nk=a\xf0\r\nm=1\r\n", "A", "m");
  probeOne("utf8-end-short-f4-cr", "m22.ini", "\xef\xbb\xbf[A]\r\nk=a\xf4\r\n", "A", "k");
  probeOne("utf8-end-short-e0-crlf", "m23.ini", "\xef\xbb\xbf[A]\r\nk=a\xe1\x80\r", "A", "k");
}

// A UTF-16 file of odd length: the lone last byte 0x41 gives "A" only when the byte the
// reader finds after the file's data is 0, so lengths vary the answer.
void probeOddLengths() {
  int ownValue = 0, other = 0;
  for (unsigned length = 0; length < 128; ++length) {
    Units text = widen("[b]\r\nb=" + std::string(length, 'x') + "\r\n[a = ");
    writeFile("odd16.ini", utf16le(text, true) + "A");
    std::string found = lookup("odd16.ini", "b", "[a");
    found == "A" ? ++ownValue : ++other;
  }
  std::printf("probe utf16-odd-byte-over-128-lengths own-value=%d other=%d\n", ownValue, other);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) scratchDirectory = argv[1];
  std::printf("acp %u oemcp %u\n", GetACP(), GetOEMCP());
  printBestFit();
  printToUnicode();
  printUtf8();
  probeByteBlanks();
  probeUnitBlanks();
  probeFolding(false);
  probeFolding(true);
  probeLookalikes();
  probeUtf8Values();
  probeMiscellany();
  probeOddLengths();
  return 0;
}
