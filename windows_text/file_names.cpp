#include "windows_text/file_names.h"

#include <cstring>

#include "windows_text/bounded_text.h"
#include "windows_text/code_page_1252.h"
#include "windows_text/upper_case.h"
#include "windows_text/utf8.h"

namespace file_names {
namespace {

constexpr char UNREACHABLE = '?';

// The longest name Windows holds, in UTF-16 units, and the longest listing pattern.
constexpr std::size_t NAME_UNITS_CAPACITY = 255;
constexpr std::size_t PATTERN_UNITS_CAPACITY = 260;

// Stands for the generated characters of a short name: no pattern byte converts to it.
constexpr char16_t GENERATED = 0xFFFF;

// Decodes one UTF-8 sequence of at most `available` bytes at `at` into `point`; returns
// its length, or 0 when the bytes there are not a sound sequence (overlong, a surrogate,
// past U+10FFFF, or cut short). Strict, unlike the INF reader's decoder: a host name is
// bytes the system took as they were, and a byte outside a sound sequence must stay a
// name of its own (see Utf16Reader), not become one U+FFFD shared with other names.
std::size_t decodeSequence(const unsigned char* at, std::size_t available, unsigned long& point) {
  static constexpr unsigned long LOWEST[] = {0, 0, 0x80, 0x800, 0x10000};
  const std::size_t length = utf8::sequenceLength(at[0]);
  if (length == 1 || length > available) return 0;
  point = utf8::leadBits(at[0], length);
  for (std::size_t i = 1; i < length; ++i) {
    if (!utf8::isContinuation(at[i])) return 0;
    point = point << 6 | (at[i] & 0x3Fu);
  }
  const bool surrogate = point >= 0xD800 && point <= 0xDFFF;
  return point < LOWEST[length] || surrogate || point > 0x10FFFF ? 0 : length;
}

// Reads UTF-8 bytes as UTF-16 units. A byte outside any sound sequence reads as the lone
// surrogate 0xDC00 + byte, which no sound name holds, so it equals nothing else.
class Utf16Reader {
 public:
  Utf16Reader(const char* begin, std::size_t length)
      : at_(reinterpret_cast<const unsigned char*>(begin)), end_(at_ + length) {}

  // The next unit; false at the end.
  bool next(char16_t& unit) {
    if (low_ != 0) {
      unit = low_;
      low_ = 0;
      return true;
    }
    if (at_ == end_) return false;
    unsigned long point = *at_;
    std::size_t length =
        *at_ < 0x80 ? 1 : decodeSequence(at_, static_cast<std::size_t>(end_ - at_), point);
    if (length == 0) point = 0xDC00u | *at_, length = 1;
    at_ += length;
    if (point < 0x10000) {
      unit = static_cast<char16_t>(point);
    } else {
      unit = static_cast<char16_t>(0xD800u | (point - 0x10000) >> 10);
      low_ = static_cast<char16_t>(0xDC00u | (point & 0x3FFu));
    }
    return true;
  }

 private:
  const unsigned char* at_;
  const unsigned char* end_;
  char16_t low_ = 0;
};

// The UTF-16 units of a host name into `units`; returns how many, or capacity + 1 when
// they do not fit.
std::size_t toUnits(const char* hostName, char16_t* units, std::size_t capacity) {
  Utf16Reader reader(hostName, std::strlen(hostName));
  std::size_t count = 0;
  char16_t unit = 0;
  while (reader.next(unit)) {
    if (count == capacity) return capacity + 1;
    units[count++] = unit;
  }
  return count;
}

// Appends the ANSI bytes for one code point: one byte, or one per UTF-16 unit outside the
// basic plane (each a "?").
bool appendPoint(unsigned long point, char* out, std::size_t& used, std::size_t capacity) {
  const bool pair = point >= 0x10000;
  if (used + (pair ? 2 : 1) >= capacity) return false;
  if (pair) {
    out[used++] = UNREACHABLE;
    out[used++] = UNREACHABLE;
  } else {
    out[used++] = static_cast<char>(code_page_1252::fromUtf16(static_cast<char16_t>(point)));
  }
  return true;
}

// A whole-name match of units with "*" and "?", without regard to case. The last "*" is
// retried one unit further on a mismatch, which suffices for patterns of "*", "?" and
// literals.
bool unitsMatch(const char16_t* pattern, std::size_t patternLength, const char16_t* name,
                std::size_t nameLength) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starPattern = patternLength + 1;  // none yet
  std::size_t starName = 0;
  while (n < nameLength) {
    if (p < patternLength && pattern[p] == u'*') {
      starPattern = ++p;
      starName = n;
    } else if (p < patternLength && (pattern[p] == u'?' || upper_case::upperCase(pattern[p]) ==
                                                               upper_case::upperCase(name[n]))) {
      ++p, ++n;
    } else if (starPattern <= patternLength) {
      p = starPattern;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < patternLength && pattern[p] == u'*') ++p;
  return p == patternLength;
}

// Characters a short name holds as they are (upper-cased); others become "_".
bool isShortNameCharacter(char16_t unit) {
  return unit > 0x20 && unit < 0x80 &&
         std::strchr("\"*+,.;<=>?[]|", static_cast<char>(unit)) == nullptr;
}

// Where the extension of a short name starts: after the last dot that is neither the
// name's first unit nor its last. `length` when there is none.
std::size_t extensionDot(const char16_t* name, std::size_t length) {
  for (std::size_t i = length < 2 ? 0 : length - 2; i >= 1; --i) {
    if (name[i] == u'.') return i;
  }
  return length;
}

// Whether a name is a short name already: one to eight characters, optionally a dot and
// one to three more, all of them held as they are.
bool isShortName(const char16_t* name, std::size_t length) {
  std::size_t dot = length;
  for (std::size_t i = 0; i < length; ++i) {
    if (name[i] == u'.' && dot == length && i > 0) {
      dot = i;
    } else if (!isShortNameCharacter(name[i])) {
      return false;
    }
  }
  const std::size_t extension = dot == length ? 0 : length - dot - 1;
  return dot >= 1 && dot <= 8 && (dot == length || (extension >= 1 && extension <= 3));
}

char16_t shortNameCharacter(char16_t unit) {
  return isShortNameCharacter(unit) ? upper_case::upperCase(unit) : u'_';
}

// The short name Windows (as Wine) gives a name that is not one: four characters of the
// stem, padded with "~", a "~" and three generated characters, then a dot and three
// characters of the extension when there is one. Returns its length.
std::size_t shortNameOf(const char16_t* name, std::size_t length, char16_t* shortName) {
  const std::size_t dot = extensionDot(name, length);
  std::size_t used = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    shortName[used++] = i < dot ? shortNameCharacter(name[i]) : u'~';
  }
  shortName[used++] = u'~';
  for (std::size_t i = 0; i < 3; ++i) shortName[used++] = GENERATED;
  if (dot == length) return used;
  shortName[used++] = u'.';
  for (std::size_t i = dot + 1; i < length && i <= dot + 3; ++i) {
    shortName[used++] = shortNameCharacter(name[i]);
  }
  return used;
}

bool isForbiddenInName(unsigned char c) {
  return (c >= 0x01 && c <= 0x1F) || std::strchr("\"*/:<>?\\|", c) != nullptr;
}

bool isBlankOrDot(char c) {
  return c == ' ' || c == '.';
}

bool sameAsciiIgnoringCase(const char* text, std::size_t length, const char* upper) {
  if (std::strlen(upper) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (upper_case::upperCase(static_cast<unsigned char>(text[i])) !=
        static_cast<unsigned char>(upper[i]))
      return false;
  }
  return true;
}

// The part of a DOS path that names its root: "C:", "\" or nothing (relative).
std::size_t rootLength(const char* dosPath) {
  if (dosPath[0] != '\0' && dosPath[1] == ':') return 2;
  return dosPath[0] == '\\' || dosPath[0] == '/' ? 1 : 0;
}

// The host folder of a DOS path's root, under the prefix: "drive_c" for C: and for a root
// without a drive, "dosdevices/<letter>:" for another drive.
bool appendDriveFolder(char letter, char* hostPath, std::size_t capacity) {
  const char lower = static_cast<char>(letter | 0x20);
  if (lower < 'a' || lower > 'z') return false;
  if (lower == 'c') return appendText(hostPath, capacity, "drive_c");
  const char folder[] = {'d', 'o', 's', 'd', 'e', 'v', 'i', 'c', 'e', 's', '/', lower, ':'};
  return appendText(hostPath, capacity, folder, sizeof folder);
}

// Whether a DOS path component may be followed: not "..", and no ":" or forbidden
// character.
bool isFollowableComponent(const char* component, std::size_t length) {
  if (length == 2 && component[0] == '.' && component[1] == '.') return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (isForbiddenInName(static_cast<unsigned char>(component[i]))) return false;
  }
  return true;
}

// The length of the DOS path component at `rest`, up to the next separator or `end`.
std::size_t componentLength(const char* rest, const char* end) {
  std::size_t length = 0;
  while (rest + length < end && rest[length] != '\\' && rest[length] != '/') ++length;
  return length;
}

// Appends the components of the DOS path `rest` to the host path.
bool appendComponents(const char* rest, std::size_t length, char* hostPath, std::size_t capacity) {
  const char* const end = rest + length;
  while (rest < end) {
    const std::size_t whole = componentLength(rest, end);
    std::size_t kept = whole;
    while (rest + whole == end && kept > 0 && isBlankOrDot(rest[kept - 1])) --kept;
    if (!isFollowableComponent(rest, whole)) return false;
    const bool skip = kept == 0 || (kept == 1 && rest[0] == '.');
    if (!skip) {
      if (hostPath[0] != '\0' && !appendText(hostPath, capacity, "/")) return false;
      if (!appendHostName(rest, kept, hostPath, capacity)) return false;
    }
    rest += whole;
    if (rest < end) ++rest;
  }
  return true;
}

}  // namespace

bool leadsBack(const char* hostName, const char* windowsName) {
  const std::size_t length = std::strlen(windowsName);
  if (length == 0 || isBlankOrDot(windowsName[length - 1])) return false;
  char spelledBack[4 * NAME_UNITS_CAPACITY] = "";
  return appendHostName(windowsName, length, spelledBack, sizeof spelledBack) &&
         std::strcmp(spelledBack, hostName) == 0;
}

bool fromHostName(const char* hostName, char* windowsName, std::size_t capacity) {
  const auto* at = reinterpret_cast<const unsigned char*>(hostName);
  const std::size_t available = std::strlen(hostName);
  std::size_t used = 0;
  for (std::size_t offset = 0; offset < available;) {
    unsigned long point = at[offset];
    std::size_t length = point < 0x80 ? 1 : decodeSequence(at + offset, available - offset, point);
    if (length == 0) point = UNREACHABLE, length = 1;
    if (!appendPoint(point, windowsName, used, capacity)) return false;
    offset += length;
  }
  if (used >= capacity) return false;
  windowsName[used] = '\0';
  return true;
}

bool appendHostName(const char* windowsName, std::size_t length, char* hostPath,
                    std::size_t capacity) {
  const std::size_t start = strnlen(hostPath, capacity);
  std::size_t used = start;
  for (std::size_t i = 0; i < length; ++i) {
    char encoded[utf8::MAX_SEQUENCE];
    const auto byte = static_cast<unsigned char>(windowsName[i]);
    const std::size_t count = utf8::encode(code_page_1252::toUtf16(byte), encoded);
    if (!copyText(hostPath + used, capacity - used, encoded, count)) {
      if (start < capacity) hostPath[start] = '\0';
      return false;
    }
    used += count;
  }
  return true;
}

bool isHoldableName(const char* hostName) {
  for (const char* c = hostName; *c != '\0'; ++c) {
    if (isForbiddenInName(static_cast<unsigned char>(*c))) return false;
  }
  char16_t units[NAME_UNITS_CAPACITY];
  return toUnits(hostName, units, NAME_UNITS_CAPACITY) <= NAME_UNITS_CAPACITY;
}

bool matchesPattern(const char* pattern, const char* hostName) {
  char16_t patternUnits[PATTERN_UNITS_CAPACITY];
  std::size_t patternLength = 0;
  for (; pattern[patternLength] != '\0'; ++patternLength) {
    if (patternLength == PATTERN_UNITS_CAPACITY) return false;
    patternUnits[patternLength] =
        code_page_1252::toUtf16(static_cast<unsigned char>(pattern[patternLength]));
  }
  char16_t name[NAME_UNITS_CAPACITY];
  const std::size_t length = toUnits(hostName, name, NAME_UNITS_CAPACITY);
  if (length > NAME_UNITS_CAPACITY) return false;
  if (unitsMatch(patternUnits, patternLength, name, length)) return true;
  if (isShortName(name, length)) return false;
  char16_t shortName[12];
  const std::size_t shortLength = shortNameOf(name, length, shortName);
  return unitsMatch(patternUnits, patternLength, shortName, shortLength);
}

bool listedName(const char* pattern, const char* hostName, char* windowsName,
                std::size_t capacity) {
  return isHoldableName(hostName) && matchesPattern(pattern, hostName) &&
         fromHostName(hostName, windowsName, capacity) && leadsBack(hostName, windowsName);
}

int compareNames(const char* hostName, const char* otherName) {
  Utf16Reader one(hostName, std::strlen(hostName));
  Utf16Reader other(otherName, std::strlen(otherName));
  int ordinal = 0;
  for (;;) {
    char16_t a = 0;
    char16_t b = 0;
    const bool haveA = one.next(a);
    const bool haveB = other.next(b);
    if (!haveA || !haveB) return haveA ? 1 : haveB ? -1 : ordinal;
    const char16_t upperA = upper_case::upperCase(a);
    const char16_t upperB = upper_case::upperCase(b);
    if (upperA != upperB) return upperA < upperB ? -1 : 1;
    if (ordinal == 0 && a != b) ordinal = a < b ? -1 : 1;
  }
}

bool sameNameIgnoringCase(const char* hostName, const char* otherName, std::size_t length) {
  Utf16Reader one(hostName, std::strlen(hostName));
  Utf16Reader other(otherName, length);
  for (;;) {
    char16_t a = 0;
    char16_t b = 0;
    const bool haveA = one.next(a);
    if (haveA != other.next(b)) return false;
    if (!haveA) return true;
    if (upper_case::upperCase(a) != upper_case::upperCase(b)) return false;
  }
}

bool isDeviceName(const char* dosPath) {
  const char* base = dosPath;
  for (const char* c = dosPath; *c != '\0'; ++c) {
    if (*c == '\\' || *c == '/' || *c == ':') base = c + 1;
  }
  std::size_t stem = std::strcspn(base, ".");
  while (stem > 0 && base[stem - 1] == ' ') --stem;
  static const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : DEVICES) {
    if (sameAsciiIgnoringCase(base, stem, device)) return true;
  }
  const bool numbered = stem == 4 && base[3] >= '1' && base[3] <= '9';
  return numbered &&
         (sameAsciiIgnoringCase(base, 3, "COM") || sameAsciiIgnoringCase(base, 3, "LPT"));
}

std::size_t folderLength(const char* dosPath) {
  std::size_t folder = rootLength(dosPath);
  for (std::size_t i = folder; dosPath[i] != '\0'; ++i) {
    if (dosPath[i] == '\\' || dosPath[i] == '/') folder = i + 1;
  }
  return folder;
}

bool toHostPath(const char* dosPath, std::size_t length, char* hostPath, std::size_t capacity,
                PathBase& base) {
  if (capacity == 0) return false;
  hostPath[0] = '\0';
  const std::size_t root = length < rootLength(dosPath) ? length : rootLength(dosPath);
  base = root == 0 ? PathBase::CURRENT_DIRECTORY : PathBase::PREFIX;
  const char drive = root == 2 ? dosPath[0] : 'C';
  if (root != 0 && !appendDriveFolder(drive, hostPath, capacity)) return false;
  return appendComponents(dosPath + root, length - root, hostPath, capacity);
}

}  // namespace file_names
