// Conversions between UTF-16 code units and code page 1252, as Windows' own conversion
// functions do them (the tables were measured from them). Code page 1252 is one byte per
// character, so every code unit becomes exactly one byte.
#pragma once

namespace code_page_1252 {

// The byte for one UTF-16 code unit: its own code in the page, else its best-fit letter
// (U+0100 gives 'A'), else '?'. Each half of a surrogate pair gives '?'.
unsigned char fromUtf16(char16_t unit);

// The UTF-16 code unit for a byte of the page (0x80 gives U+20AC). Bytes the page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their value.
char16_t toUtf16(unsigned char byte);

}  // namespace code_page_1252
