// Numbers for the matcher's scan conversions, read as the C library's sscanf reads them in
// the C locale: leading white space, a sign, "0x" for %i and %x, octal for %o and for %i
// after a leading 0, and for floating conversions decimal or "0x" hexadecimal digits with
// an optional point and exponent, "inf", "infinity" and "nan" in any case. Unlike sscanf
// it never allocates, never looks at the locale, and reports a number too large for its
// output instead of storing an undefined value. Every digit of a field is read, however
// many: an integer's value streams, and a floating number keeps its first KEPT_DIGITS
// significant digits and counts the rest.
//
// Internal to match.cpp; not installed.
#pragma once

#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <type_traits>

namespace usb_flash_detect::match::scan {

// The bytes of a capture that a numeric conversion reads.
struct Field {
  const char* begin;
  const char* end;
};

inline bool isScanSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

inline Field numberField(const char* begin, const char* end) {
  while (begin != end && isScanSpace(*begin)) ++begin;
  return {begin, end};
}

// The value of a digit in bases up to 16, or 16 for any other byte.
inline unsigned digitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return 16;
}

// Steps past a sign; true for a minus.
inline bool takeSign(const char*& p, const char* end) {
  if (p == end || (*p != '+' && *p != '-')) return false;
  return *p++ == '-';
}

inline bool hasHexPrefix(const char* p, const char* end) {
  return end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
}

// An integer as strtol and strtoul read it, before it meets the type it is stored in.
struct Integer {
  bool found = false;  // at least one digit, or a "0x" prefix (which reads as its 0)
  bool negative = false;
  bool tooLarge = false;  // the magnitude does not fit unsigned long long
  unsigned long long magnitude = 0;
};

// Base 0 is %i's: "0x" means hexadecimal, a leading 0 octal, anything else decimal.
inline Integer readInteger(Field field, unsigned base) {
  Integer number;
  const char* p = field.begin;
  number.negative = takeSign(p, field.end);
  if ((base == 0 || base == 16) && hasHexPrefix(p, field.end)) {
    number.found = true;
    base = 16;
    p += 2;
  } else if (base == 0) {
    base = p != field.end && *p == '0' ? 8 : 10;
  }
  constexpr auto MOST = std::numeric_limits<unsigned long long>::max();
  for (; p != field.end && digitValue(*p) < base; ++p) {
    const unsigned digit = digitValue(*p);
    number.found = true;
    number.tooLarge = number.tooLarge || number.magnitude > (MOST - digit) / base;
    if (!number.tooLarge) number.magnitude = number.magnitude * base + digit;
  }
  return number;
}

// The integer as T, when it fits. A signed type takes what lies in its range. An unsigned
// type takes a magnitude up to its maximum; a minus sign then negates in that type, as
// strtoul does ("-1" gives the maximum).
template <class T>
bool integerValue(const Integer& number, T& value) {
  using Wide = unsigned long long;
  constexpr auto MOST = static_cast<Wide>(std::numeric_limits<T>::max());
  if (!number.found || number.tooLarge) return false;
  if constexpr (std::is_signed_v<T>) {
    if (number.magnitude > MOST + (number.negative ? 1U : 0U)) return false;
    if (!number.negative || number.magnitude == 0) {
      value = static_cast<T>(number.magnitude);
    } else {
      value = static_cast<T>(-static_cast<T>(number.magnitude - 1) - 1);
    }
  } else {
    if (number.magnitude > MOST) return false;
    value = static_cast<T>(number.negative ? Wide{0} - number.magnitude : number.magnitude);
  }
  return true;
}

enum class FloatRead : unsigned char { NO_NUMBER, TOO_LARGE, VALUE };

// Whether the bytes at p start with `word` (lower case), in any case.
inline bool startsWithWord(const char* p, const char* end, const char* word) {
  for (; *word != '\0'; ++word, ++p) {
    if (p == end || (*p | 0x20) != *word) return false;
  }
  return true;
}

// "nan", "inf" and "infinity" in any case. As with scanf, "inf" followed by a part of
// "inity" that stops short is not a number.
template <class T>
FloatRead readSpecial(const char* p, const char* end, bool negative, T& value) {
  if (startsWithWord(p, end, "nan")) {
    value = std::numeric_limits<T>::quiet_NaN();
  } else if (startsWithWord(p, end, "inf")) {
    const bool goesOn = end - p > 3 && (p[3] | 0x20) == 'i';
    if (goesOn && !startsWithWord(p, end, "infinity")) return FloatRead::NO_NUMBER;
    value = std::numeric_limits<T>::infinity();
  } else {
    return FloatRead::NO_NUMBER;
  }
  if (negative) value = -value;
  return FloatRead::VALUE;
}

// Significant digits a floating conversion keeps; those after them are only counted.
constexpr std::size_t KEPT_DIGITS = 4095;

// Digit counts past this are taken for a number too long to read (no text in memory has
// that many digits). An exponent stops growing once past ten times as much, so that a
// capped one still outweighs every count, and its last step cannot overflow.
constexpr long long MOST_COUNTED = 10000000000000000LL;
constexpr long long EXPONENT_CAP = 10 * MOST_COUNTED;

// A number's significant digits without the point, in a buffer of its own, so that the
// conversion sees no radix character and cannot depend on the locale.
struct Digits {
  static constexpr std::size_t PREFIX = 2;  // room for "0x" before the digits
  char text[PREFIX + KEPT_DIGITS + 32];
  std::size_t count = 0;       // significant digits kept, from the first that is not 0
  long long dropped = 0;       // significant digits after the kept ones
  long long fraction = 0;      // digits after the point, leading zeros and dropped ones included
  bool inexact = false;        // a dropped digit is not 0
  bool found = false;          // a digit, or for hexadecimal a point, as scanf has it
  const char* next = nullptr;  // the first byte after the digits
};

inline void keepDigit(char c, bool afterPoint, Digits& digits) {
  digits.found = true;
  if (afterPoint) ++digits.fraction;
  if (digits.count == 0 && c == '0') return;  // a leading zero
  if (digits.count < KEPT_DIGITS) {
    digits.text[Digits::PREFIX + digits.count++] = c;
  } else {
    ++digits.dropped;
    digits.inexact = digits.inexact || c != '0';
  }
}

inline void readDigits(const char* p, const char* end, unsigned base, Digits& digits) {
  bool afterPoint = false;
  for (; p != end; ++p) {
    if (*p == '.' && !afterPoint) {
      afterPoint = true;
      digits.found = digits.found || base == 16;
    } else if (digitValue(*p) < base) {
      keepDigit(*p, afterPoint, digits);
    } else {
      break;
    }
  }
  digits.next = p;
}

// The exponent after "e" or "p"; one without digits counts as 0, as scanf reads it.
inline long long readExponent(const char* p, const char* end, char marker) {
  if (p == end || (*p | 0x20) != marker) return 0;
  ++p;
  const bool negative = takeSign(p, end);
  long long exponent = 0;
  for (; p != end && *p >= '0' && *p <= '9'; ++p) {
    if (exponent < EXPONENT_CAP) exponent = exponent * 10 + (*p - '0');
  }
  return negative ? -exponent : exponent;
}

// Converts "<digits>e<exponent>" or "<hex digits>p<exponent>" (from Digits::PREFIX on).
// `large` tells an overflow from an underflow when the type's range is left: an overflow
// is reported, an underflow gives zero, as scanf gives.
template <class T>
FloatRead convertDigits(Digits& digits, std::size_t length, bool hex, bool large, T& value) {
  constexpr bool WIDE_LONG_DOUBLE = LDBL_MANT_DIG != DBL_MANT_DIG;
  if constexpr (std::is_same_v<T, long double> && WIDE_LONG_DOUBLE) {
    // The standard library's from_chars for this type may allocate; strtold reads the
    // radix-free text the same in every locale, and keeps denormals as scanf does.
    digits.text[0] = '0';
    digits.text[1] = 'x';
    digits.text[length] = '\0';
    const int savedErrno = errno;
    const long double parsed = std::strtold(digits.text + (hex ? 0 : Digits::PREFIX), nullptr);
    errno = savedErrno;
    if (std::isinf(parsed)) return FloatRead::TOO_LARGE;
    value = parsed;
    return FloatRead::VALUE;
  } else if constexpr (std::is_same_v<T, long double>) {
    double narrow = 0;
    const FloatRead read = convertDigits(digits, length, hex, large, narrow);
    if (read == FloatRead::VALUE) value = narrow;
    return read;
  } else {
    T parsed{};
    const auto format = hex ? std::chars_format::hex : std::chars_format::general;
    const auto result =
        std::from_chars(digits.text + Digits::PREFIX, digits.text + length, parsed, format);
    if (result.ec == std::errc::result_out_of_range && large) return FloatRead::TOO_LARGE;
    if (result.ec != std::errc{} && result.ec != std::errc::result_out_of_range) {
      return FloatRead::NO_NUMBER;
    }
    value = result.ec == std::errc{} ? parsed : T{0};
    return FloatRead::VALUE;
  }
}

// The kept digits times base^scale, converted.
template <class T>
FloatRead convertScaled(Digits& digits, bool hex, bool large, long long scale, T& value) {
  std::size_t length = Digits::PREFIX + digits.count;
  digits.text[length++] = hex ? 'p' : 'e';
  const auto written =
      std::to_chars(digits.text + length, digits.text + sizeof digits.text - 1, scale);
  length = static_cast<std::size_t>(written.ptr - digits.text);
  return convertDigits(digits, length, hex, large, value);
}

// Adds one in the last kept place; a carry past the first digit makes it "1" and scales
// the number up by one place, which the result tells.
inline long long addOneInLastPlace(Digits& digits, unsigned base) {
  static constexpr char DIGIT_CHARS[] = "0123456789abcdef";
  for (std::size_t i = Digits::PREFIX + digits.count; i-- > Digits::PREFIX;) {
    const unsigned next = digitValue(digits.text[i]) + 1;
    if (next < base) {
      digits.text[i] = DIGIT_CHARS[next];
      return 0;
    }
    digits.text[i] = '0';
  }
  digits.text[Digits::PREFIX] = '1';
  return 1;
}

// A number with nonzero digits beyond those kept lies strictly between the kept digits
// and the kept digits plus one in their last place: it is stored only when both round to
// the same value, and is otherwise left unread rather than rounded the wrong way.
template <class T>
FloatRead convertInexact(Digits& digits, bool hex, bool large, long long scale, T& value) {
  T low{};
  const FloatRead lowRead = convertScaled(digits, hex, large, scale, low);
  const long long carry = addOneInLastPlace(digits, hex ? 16 : 10);
  T high{};
  const FloatRead highRead = convertScaled(digits, hex, large, scale + carry * (hex ? 4 : 1), high);
  if (lowRead != highRead) return FloatRead::NO_NUMBER;
  if (lowRead == FloatRead::VALUE && low != high) return FloatRead::NO_NUMBER;
  value = low;
  return lowRead;
}

// A floating number as scanf reads it for %e, %f, %g and %a alike.
template <class T>
FloatRead readFloat(Field field, T& value) {
  const char* p = field.begin;
  const bool negative = takeSign(p, field.end);
  if (p != field.end && ((*p | 0x20) == 'i' || (*p | 0x20) == 'n')) {
    return readSpecial(p, field.end, negative, value);
  }
  const bool hex = hasHexPrefix(p, field.end);
  Digits digits;
  readDigits(hex ? p + 2 : p, field.end, hex ? 16 : 10, digits);
  if (!digits.found || digits.dropped >= MOST_COUNTED || digits.fraction >= MOST_COUNTED) {
    return FloatRead::NO_NUMBER;
  }
  if (digits.count == 0) {
    value = negative ? -T{0} : T{0};
    return FloatRead::VALUE;
  }
  const long long digitBits = hex ? 4 : 1;  // exponent units per digit
  const long long exponent = readExponent(digits.next, field.end, hex ? 'p' : 'e');
  const long long integral =
      static_cast<long long>(digits.count) + digits.dropped - digits.fraction;
  const bool large = integral * digitBits + exponent > 0;
  const long long scale = exponent + (digits.dropped - digits.fraction) * digitBits;
  const FloatRead read = digits.inexact ? convertInexact(digits, hex, large, scale, value)
                                        : convertScaled(digits, hex, large, scale, value);
  if (read == FloatRead::VALUE && negative) value = -value;
  return read;
}

}  // namespace usb_flash_detect::match::scan
