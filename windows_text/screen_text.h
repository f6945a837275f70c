// How a message of the detector shows on a screen. The detector writes bytes: its tree
// pairs (0xC3 0xC4 "├─" and 0xC0 0xC4 "└─", code page 437's box-drawing bytes), CR LF, and
// text in the ANSI code page (paths, and values from INF files). A file or a pipe gets those
// bytes as they are; a screen gets each as the character it stands for, and a control
// character in a value is drawn, never obeyed, so a file on disk cannot drive the terminal.
// Pure rules, no OS headers: each platform body supplies its decoder and writes the result.
#pragma once

#include <cstddef>

namespace screen_text {

// Decodes `length` bytes of text in the ANSI code page into UTF-16 units at `units`;
// returns how many, or 0 when they do not fit `capacity`. Never given CR, LF or no bytes.
using DecodeText = std::size_t (*)(const char* bytes, std::size_t length, char16_t* units,
                                   std::size_t capacity);

// Lays out `length` bytes of a message as UTF-16 into `screen` (`capacity` units) and sets
// `count`. A tree pair at the start of a line (the start of the message, or right after
// LF) becomes its two box-drawing characters; the same bytes elsewhere are text. CR, LF
// and tab stay as they are. Every other run of bytes up to a line end is decoded by
// `decode`, so a double-byte lead at the end of a value cannot take the line end with it;
// then C0 controls are drawn as code page 437 draws them (ESC as U+2190, BEL as U+2022),
// DEL as U+2302, and C1 controls (U+0080 to U+009F) and bidirectional controls as U+FFFD.
// False when the message does not fit, or `decode` fails: the caller then writes the
// message's bytes through replaceControlBytes.
bool layOut(const char* message, std::size_t length, DecodeText decode, char16_t* screen,
            std::size_t capacity, std::size_t& count);

// Whether a character is one a screen would obey rather than show: a C0 control but tab
// (CR and LF included: a message's own line ends are laid out before its text is looked
// at), DEL, or a C1 control.
bool isControl(char32_t character);

// Whether a character reorders what a terminal shows around it: the bidirectional
// embeddings, overrides and isolates (U+202A to U+202E, U+2066 to U+2069) and marks
// (U+200E, U+200F, U+061C).
bool isBidiControl(char32_t character);

// The screen's rule for a message written as its bytes: copies `length` bytes to `out`
// (room for `length`) with every control byte but CR and LF as "?".
void replaceControlBytes(const char* bytes, std::size_t length, char* out);

// Decodes code page 1252, one unit per byte (DecodeText's shape).
std::size_t decodeCodePage1252(const char* bytes, std::size_t length, char16_t* units,
                               std::size_t capacity);

// The character of the laid-out units at `at` (below `count`), and `at` moved past it: a
// surrogate pair joined, a lone surrogate as U+FFFD.
char32_t nextCharacter(const char16_t* units, std::size_t count, std::size_t& at);

// The UTF-8 bytes of `count` laid-out units in `out` (`capacity` bytes) and their number in
// `length`: surrogate pairs joined, a lone surrogate as U+FFFD. Three bytes per unit always
// fit. False when they do not fit.
bool toUtf8(const char16_t* units, std::size_t count, char* out, std::size_t capacity,
            std::size_t& length);

}  // namespace screen_text
