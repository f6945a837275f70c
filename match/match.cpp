// The matcher walks the pattern and the text together and keeps one backtrack point: the
// most recent "*". When the pattern after that star fails, the star takes one more
// character and the rest is tried again from there; earlier stars are never revisited.
//
// That gives the same answer, and the same captures, as the recursive search that tries
// every split of every star in increasing order. Between two stars the pattern consumes a
// fixed number of characters (each "?" and literal one, directives none), and the case
// mode at each pattern position is fixed by the last "%:" or "%=" before it. So once the
// stretch after a star has matched at its earliest place, a later split of that star can
// only start the next star further on, and the next star alone could already have
// absorbed that; if the next star fails from every split, nothing earlier can help.
// The recursive search, on its way to a success, also runs into exactly the failed trials
// that this walk runs into, in the same order, so directives write their outputs in the
// same order too.
//
// Cost: each star retries the stretch after it at most once per character of the text,
// so time is bounded by the pattern's length times the text's length; stack is constant.
#include "match/match.h"

#include <cstring>

#include "match/scan_number.h"

namespace usb_flash_detect::match {
namespace {

enum class ElementKind : unsigned char {
  End,
  AnyOne,
  Star,
  Literal,
  CaseInsensitive,
  CaseSensitive,
  Store
};

// One element of the pattern and where the next one starts.
struct Element {
  ElementKind kind;
  char value;  // the literal byte, or the conversion character of a storing directive
  const char* next;
};

Element readDirective(const char* p) {
  const char second = p[1];
  switch (second) {
    case '\0':
      return {ElementKind::Literal, '%', p + 1};  // a lone final "%" stands for itself
    case ':':
      return {ElementKind::CaseInsensitive, 0, p + 2};
    case '=':
      return {ElementKind::CaseSensitive, 0, p + 2};
    case '%':
    case '?':
    case '*':
      return {ElementKind::Literal, second, p + 2};
    default:
      return {ElementKind::Store, second, p + 2};
  }
}

Element readElement(const char* p) {
  switch (*p) {
    case '\0':
      return {ElementKind::End, 0, p};
    case '?':
      return {ElementKind::AnyOne, 0, p + 1};
    case '*':
      return {ElementKind::Star, 0, p + 1};
    case '%':
      return readDirective(p);
    default:
      return {ElementKind::Literal, *p, p + 1};
  }
}

bool sameCharacter(char patternChar, char textChar, int caseSensitive) {
  const auto p = static_cast<unsigned char>(patternChar);
  const auto t = static_cast<unsigned char>(textChar);
  if (t == 0) return false;  // the end of the text equals no character of the pattern
  return caseSensitive ? p == t : ((p ^ t) & 0xDF) == 0;
}

// A run of the text that a directive stores.
struct Capture {
  const char* begin;
  const char* end;
};

void storeText(const MatchOutput& output, Capture capture) {
  if (output.capacity == 0) return;
  auto length = static_cast<std::size_t>(capture.end - capture.begin);
  if (length > output.capacity - 1) length = output.capacity - 1;
  auto* destination = static_cast<char*>(output.target);
  std::memmove(destination, capture.begin, length);  // the output may overlap the text
  destination[length] = '\0';
}

void storeChar(const MatchOutput& output, Capture capture) {
  const bool fits = output.kind == MatchOutputKind::Char ||
                    (output.kind == MatchOutputKind::Text && output.capacity > 0);
  if (fits && capture.begin != capture.end) *static_cast<char*>(output.target) = *capture.begin;
}

// The base of an integer conversion: 0 for %i, which takes it from the digits' prefix.
unsigned integerBase(char conversion) {
  switch (conversion) {
    case 'o':
      return 8;
    case 'x':
    case 'X':
      return 16;
    case 'i':
      return 0;
    default:
      return 10;
  }
}

template <class T>
void storeInteger(void* target, char conversion, scan::Field field) {
  T value{};
  const scan::Integer number = scan::readInteger(field, integerBase(conversion));
  if (scan::integerValue(number, value)) *static_cast<T*>(target) = value;
}

void storeSigned(const MatchOutput& output, char conversion, scan::Field field) {
  switch (output.kind) {
    case MatchOutputKind::Short:
      return storeInteger<short>(output.target, conversion, field);
    case MatchOutputKind::Int:
      return storeInteger<int>(output.target, conversion, field);
    case MatchOutputKind::Long:
      return storeInteger<long>(output.target, conversion, field);
    case MatchOutputKind::LongLong:
      return storeInteger<long long>(output.target, conversion, field);
    default:
      return;  // an output of another kind is left as it was
  }
}

void storeUnsigned(const MatchOutput& output, char conversion, scan::Field field) {
  switch (output.kind) {
    case MatchOutputKind::UnsignedShort:
      return storeInteger<unsigned short>(output.target, conversion, field);
    case MatchOutputKind::Unsigned:
      return storeInteger<unsigned>(output.target, conversion, field);
    case MatchOutputKind::UnsignedLong:
      return storeInteger<unsigned long>(output.target, conversion, field);
    case MatchOutputKind::UnsignedLongLong:
      return storeInteger<unsigned long long>(output.target, conversion, field);
    default:
      return;
  }
}

template <class T>
void storeFloating(void* target, scan::Field field) {
  T value{};
  if (scan::readFloat(field, value) == scan::FloatRead::Value) *static_cast<T*>(target) = value;
}

void storeFloat(const MatchOutput& output, scan::Field field) {
  switch (output.kind) {
    case MatchOutputKind::Float:
      return storeFloating<float>(output.target, field);
    case MatchOutputKind::Double:
      return storeFloating<double>(output.target, field);
    case MatchOutputKind::LongDouble:
      return storeFloating<long double>(output.target, field);
    default:
      return;
  }
}

// A scan conversion: the capture is read as a number of the output's type and stored
// only when it is one and fits; anything else leaves the output as it was.
void storeConversion(const MatchOutput& output, char conversion, Capture capture) {
  if (conversion == 'c') return storeChar(output, capture);
  const scan::Field field = scan::numberField(capture.begin, capture.end);
  switch (conversion) {
    case 'd':
    case 'i':
      return storeSigned(output, conversion, field);
    case 'u':
    case 'o':
    case 'x':
    case 'X':
      return storeUnsigned(output, conversion, field);
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
      return storeFloat(output, field);
    default:
      return;  // no such conversion: the output is left as it was
  }
}

void store(MatchOutputList outputs, std::size_t index, char conversion, Capture capture) {
  if (index >= outputs.count) return;  // more directives than outputs: the surplus store nothing
  const MatchOutput& output = outputs.items[index];
  if (conversion == 's') {
    if (output.kind == MatchOutputKind::Text) storeText(output, capture);
    return;
  }
  storeConversion(output, conversion, capture);
}

// The most recent star: where its trials start in the pattern and the text, and what its
// own storing directive (if any) needs when its split is final.
struct StarPoint {
  const char* patternAfter;  // where each trial starts in the pattern
  const char* runStart;      // where the star's run starts in the text
  const char* split;         // where the current trial starts in the text
  int caseSensitive;
  std::size_t outputIndex;  // the output of the first storing directive after the trials' start
  char conversion;          // the star's own directive, or 0
  std::size_t ownOutput;
};

// The walk's position: in the pattern, in the text, and where the run of "?" that a
// directive would capture began.
struct Cursor {
  const char* pattern;
  const char* text;
  const char* captureStart;
  int caseSensitive;
  std::size_t outputIndex;
};

void finishStar(const StarPoint& star, MatchOutputList outputs) {
  if (star.conversion != 0)
    store(outputs, star.ownOutput, star.conversion, {star.runStart, star.split});
}

StarPoint openStar(const Cursor& at, const char* afterStar) {
  StarPoint star{afterStar, at.text, at.text, at.caseSensitive, at.outputIndex, 0, at.outputIndex};
  const Element following = readElement(afterStar);
  if (following.kind == ElementKind::Store) {
    star.patternAfter = following.next;
    star.conversion = following.value;
    star.outputIndex = at.outputIndex + 1;
  }
  return star;
}

Cursor startTrial(const StarPoint& star) {
  return {star.patternAfter, star.split, star.split, star.caseSensitive, star.outputIndex};
}

enum class Step : unsigned char { Continue, Matched, Failed };

// Takes one element of the pattern at `at`. Failed means the current trial fails here.
Step takeElement(Cursor& at, const Element& element, MatchOutputList outputs) {
  switch (element.kind) {
    case ElementKind::End:
      return *at.text == '\0' ? Step::Matched : Step::Failed;
    case ElementKind::AnyOne:
      if (*at.text == '\0') return Step::Failed;
      ++at.text;
      break;
    case ElementKind::Literal:
      if (!sameCharacter(element.value, *at.text, at.caseSensitive)) return Step::Failed;
      at.captureStart = ++at.text;
      break;
    case ElementKind::CaseInsensitive:
    case ElementKind::CaseSensitive:
      at.caseSensitive = element.kind == ElementKind::CaseSensitive;
      break;
    case ElementKind::Store:
      store(outputs, at.outputIndex++, element.value, {at.captureStart, at.text});
      at.captureStart = at.text;
      break;
    case ElementKind::Star:
      break;  // handled by the caller
  }
  at.pattern = element.next;
  return Step::Continue;
}

}  // namespace

int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs) {
  Cursor at{pattern, text, text, caseSensitive != 0, 0};
  StarPoint star{};
  bool haveStar = false;
  for (;;) {
    const Element element = readElement(at.pattern);
    if (element.kind == ElementKind::Star) {
      if (haveStar) finishStar(star, outputs);  // its split can no longer change
      star = openStar(at, element.next);
      haveStar = true;
      at = startTrial(star);
      continue;
    }
    const Step step = takeElement(at, element, outputs);
    if (step == Step::Matched) {
      if (haveStar) finishStar(star, outputs);
      return 1;
    }
    if (step == Step::Continue) continue;
    if (!haveStar || *star.split == '\0') return 0;
    ++star.split;
    at = startTrial(star);
  }
}

}  // namespace usb_flash_detect::match
