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
// Shortcuts that keep all of that:
// - After the pattern's last star only one split can succeed, the one that leaves the
//   text's last bytes to the fixed-length rest; when that rest stores nothing, the other
//   trials have no effect and only that split is tried. In a pattern without "%" that
//   rest is compared with the text's end, from the back, before the walk starts: a
//   difference ends the match at once, and reaching the last star decides it.
// - A trial that meets a literal (case-sensitive) after nothing but "?" fails, writing
//   nothing, wherever the text does not hold that byte there, so the star's split moves
//   on with memchr.
// - "?" and, in the case-sensitive mode, runs of literal bytes are taken in the loop
//   itself, compared as they are read; consecutive stars are one star, since the walk
//   would open each and give it up at once.
//
// Cost: each star retries the stretch after it at most once per character of the text,
// so time is bounded by the pattern's length times the text's length; stack is constant.
// Both lengths are taken once, at the start.
#include "match/match.h"

#include <cstdint>
#include <cstring>

#include "match/scan_number.h"

namespace usb_flash_detect::match {
namespace {

enum class ElementKind : unsigned char {
  END,
  ANY_ONE,
  STAR,
  LITERAL,
  CASE_INSENSITIVE,
  CASE_SENSITIVE,
  STORE
};

// One element of the pattern: where the next one starts and, for a literal, how many
// bytes before that it takes. Small enough to travel in registers.
struct Element {
  const char* next;
  std::uint32_t length;  // a literal's bytes are the `length` before `next`
  ElementKind kind;

  const char* bytes() const { return next - length; }
  char conversion() const { return next[-1]; }  // a storing directive's character
};

// Longest literal run read as one element; a longer one is read as several.
constexpr std::size_t LONGEST_RUN = 1U << 16U;

Element readDirective(const char* p) {
  switch (p[1]) {
    case '\0':
      return {p + 1, 1, ElementKind::LITERAL};  // a lone final "%" stands for itself
    case ':':
      return {p + 2, 0, ElementKind::CASE_INSENSITIVE};
    case '=':
      return {p + 2, 0, ElementKind::CASE_SENSITIVE};
    case '%':
    case '?':
    case '*':
      return {p + 2, 1, ElementKind::LITERAL};
    default:
      return {p + 2, 0, ElementKind::STORE};
  }
}

bool isPlainByte(char c) {
  return c != '\0' && c != '?' && c != '*' && c != '%';
}

Element readElement(const char* p) {
  switch (*p) {
    case '\0':
      return {p, 0, ElementKind::END};
    case '?':
      return {p + 1, 0, ElementKind::ANY_ONE};
    case '*':
      return {p + 1, 0, ElementKind::STAR};
    case '%':
      return readDirective(p);
    default: {
      const char* end = p + 1;
      while (isPlainByte(*end) && static_cast<std::size_t>(end - p) < LONGEST_RUN) ++end;
      return {end, static_cast<std::uint32_t>(end - p), ElementKind::LITERAL};
    }
  }
}

// Whether the text's bytes equal a literal run's in the given case mode. A terminator in
// the text (one a store into an overlapping output has put there) equals nothing.
bool sameBytes(const char* pattern, const char* text, std::size_t length, int caseSensitive) {
  if (caseSensitive) return *pattern == *text && std::memcmp(pattern, text, length) == 0;
  for (std::size_t i = 0; i < length; ++i) {
    const auto p = static_cast<unsigned char>(pattern[i]);
    const auto t = static_cast<unsigned char>(text[i]);
    if (t == 0 || ((p ^ t) & 0xDF) != 0) return false;
  }
  return true;
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
  if (output.capacity > 0 && capture.begin != capture.end) {
    *static_cast<char*>(output.target) = *capture.begin;
  }
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
void storeInteger(void* target, unsigned base, scan::Field field) {
  T value{};
  if (scan::integerValue(scan::readInteger(field, base), value)) *static_cast<T*>(target) = value;
}

template <class T>
void storeFloating(void* target, scan::Field field) {
  T value{};
  if (scan::readFloat(field, value) == scan::FloatRead::VALUE) *static_cast<T*>(target) = value;
}

// A number, stored only when the capture is one and it fits the output's type.
void storeNumber(const MatchOutput& output, char conversion, Capture capture) {
  const scan::Field field = scan::numberField(capture.begin, capture.end);
  void* target = output.target;
  const unsigned base = integerBase(conversion);
  switch (output.kind) {
    case MatchOutputKind::SHORT:
      return storeInteger<short>(target, base, field);
    case MatchOutputKind::INT:
      return storeInteger<int>(target, base, field);
    case MatchOutputKind::LONG:
      return storeInteger<long>(target, base, field);
    case MatchOutputKind::LONG_LONG:
      return storeInteger<long long>(target, base, field);
    case MatchOutputKind::UNSIGNED_SHORT:
      return storeInteger<unsigned short>(target, base, field);
    case MatchOutputKind::UNSIGNED:
      return storeInteger<unsigned>(target, base, field);
    case MatchOutputKind::UNSIGNED_LONG:
      return storeInteger<unsigned long>(target, base, field);
    case MatchOutputKind::UNSIGNED_LONG_LONG:
      return storeInteger<unsigned long long>(target, base, field);
    case MatchOutputKind::FLOAT:
      return storeFloating<float>(target, field);
    case MatchOutputKind::DOUBLE:
      return storeFloating<double>(target, field);
    case MatchOutputKind::LONG_DOUBLE:
      return storeFloating<long double>(target, field);
    case MatchOutputKind::TEXT:
    case MatchOutputKind::CHAR:
      return;  // they take no number
  }
}

// What is known before the walk of the text's end against the pattern after its last star.
enum class Tail : unsigned char { UNKNOWN, MATCHES, FAILS };

// What every step of one match shares: the ends of the texts, the outputs, and what the
// pattern asks after its last star.
struct Match {
  const char* patternEnd;
  const char* textEnd;
  MatchOutputList outputs;
  const char* lastStar;    // the pattern's last "*", or nullptr
  std::size_t tailLength;  // bytes of text the pattern after it consumes
  std::size_t tailStores;  // storing directives after it, its own excepted
  Tail tail;
};

// The pattern's last star. Scanning back, a "*" after an odd run of "%" is an escaped one:
// a run of "%" starts where an element starts, so it pairs off from its first "%".
const char* findLastStar(const char* pattern, const char* end) {
  for (const char* p = end; p != pattern;) {
    --p;
    if (*p != '*') continue;
    const char* run = p;
    while (run != pattern && run[-1] == '%') --run;
    if ((p - run) % 2 == 0) return p;
    p = run;
  }
  return nullptr;
}

void readTail(Match& match) {
  Element element = readElement(match.lastStar + 1);
  if (element.kind == ElementKind::STORE) element = readElement(element.next);  // the star's own
  for (; element.kind != ElementKind::END; element = readElement(element.next)) {
    if (element.kind == ElementKind::LITERAL) match.tailLength += element.length;
    if (element.kind == ElementKind::ANY_ONE) ++match.tailLength;
    if (element.kind == ElementKind::STORE) ++match.tailStores;
  }
}

bool samePlainByte(char patternChar, char textChar, int caseSensitive) {
  const auto p = static_cast<unsigned char>(patternChar);
  const auto t = static_cast<unsigned char>(textChar);
  return p == t || p == '?' || (!caseSensitive && t != 0 && ((p ^ t) & 0xDF) == 0);
}

// In a pattern without "%" every byte after the last star is a literal or a "?" in the
// starting mode, so that part is compared with the text's end from the back, which also
// finds the star. Any difference, or too short a text, fails the whole match.
Tail checkPlainTail(Match& match, const char* pattern, const char* text, int caseSensitive) {
  const char* t = match.textEnd;
  for (const char* p = match.patternEnd; p != pattern;) {
    --p;
    if (*p == '*') {
      match.lastStar = p;
      match.tailLength = static_cast<std::size_t>(match.patternEnd - p - 1);
      return Tail::MATCHES;
    }
    if (t == text || !samePlainByte(*p, *--t, caseSensitive)) return Tail::FAILS;
  }
  return t == text ? Tail::MATCHES : Tail::FAILS;
}

// Lengths, the last star and what the pattern asks after it.
Match prepare(const char* pattern, const char* text, int caseSensitive, MatchOutputList outputs) {
  const std::size_t patternLength = std::strlen(pattern);
  Match match{
      pattern + patternLength, text + std::strlen(text), outputs, nullptr, 0, 0, Tail::UNKNOWN};
  if (std::strchr(pattern, '%') == nullptr) {
    match.tail = checkPlainTail(match, pattern, text, caseSensitive);
    return match;
  }
  if (std::strchr(pattern, '*') == nullptr) return match;
  match.lastStar = findLastStar(pattern, match.patternEnd);
  if (match.lastStar != nullptr) readTail(match);
  return match;
}

// Stores a capture through output `index`. A directive past the last output, or one its
// output does not take, stores nothing.
void store(const Match& match, std::size_t index, char conversion, Capture capture) {
  if (index >= match.outputs.count) return;
  const MatchOutput& output = match.outputs.items[index];
  if (!outputTakes(output.kind, conversion)) return;
  if (conversion == 's') return storeText(output, capture);
  if (conversion == 'c') return storeChar(output, capture);
  storeNumber(output, conversion, capture);
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
  char firstByte;           // the literal byte each trial meets first (case-sensitive), or 0
  std::size_t firstByteAt;  // how many "?" stand before it
  bool onlySplit;           // no other split can succeed or leave a trace
  bool tailChecked;         // the trial at the only split is known to succeed if it fits the text
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

void finishStar(const StarPoint& star, const Match& match) {
  if (star.conversion != 0)
    store(match, star.ownOutput, star.conversion, {star.runStart, star.split});
}

// Consecutive stars act as one: the walk would open each and give it up at once.
const char* afterStars(const char* p, const char* end) {
  constexpr std::uint64_t EIGHT_STARS = 0x2A2A2A2A2A2A2A2AULL;
  for (std::uint64_t word = 0; end - p >= 8; p += 8) {
    std::memcpy(&word, p, sizeof word);
    if (word != EIGHT_STARS) break;
  }
  while (*p == '*') ++p;
  return p;
}

// Moves the split on to the first place whose trial finds the byte it meets first after
// its run of "?": a trial anywhere else fails there, having written nothing.
void seekFirstByte(StarPoint& star, const Match& match) {
  if (star.firstByte == 0) return;
  const auto left = static_cast<std::size_t>(match.textEnd - star.split);
  if (left <= star.firstByteAt) {
    star.split = match.textEnd;  // every trial from here runs out of text
    return;
  }
  const char* from = star.split + star.firstByteAt;
  if (*from == star.firstByte) return;
  const void* found = std::memchr(from, star.firstByte, left - star.firstByteAt);
  star.split =
      found != nullptr ? static_cast<const char*>(found) - star.firstByteAt : match.textEnd;
}

// The first split worth trying, from the star's own position on: the last star's only
// one, or the first place that holds the byte every trial starts with.
void firstSplit(StarPoint& star, const Match& match, bool isLast) {
  if (isLast && match.tail == Tail::MATCHES) {
    star.onlySplit = true;
    star.tailChecked = true;
    const auto left = static_cast<std::size_t>(match.textEnd - star.split);
    if (left >= match.tailLength) star.split = match.textEnd - match.tailLength;
    return;
  }
  const bool tailStores = match.tailStores > 0 && star.outputIndex < match.outputs.count;
  const auto left = static_cast<std::size_t>(match.textEnd - star.split);
  if (isLast && !tailStores) {
    star.onlySplit = true;
    // Too short a text leaves the empty remainder, where the fixed tail fails at once.
    star.split = left >= match.tailLength ? match.textEnd - match.tailLength : match.textEnd;
  } else {
    seekFirstByte(star, match);
  }
}

bool isLastStar(const char* afterStar, const Match& match) {
  return match.lastStar != nullptr && afterStar == match.lastStar + 1;
}

StarPoint openStar(const Cursor& at, const char* afterStar, const Match& match) {
  const char* after = afterStars(afterStar, match.patternEnd);
  StarPoint star{after, at.text, at.text, at.caseSensitive, at.outputIndex, 0, at.outputIndex, 0,
                 0,     false,   false};
  if (isLastStar(after, match) && match.tail == Tail::MATCHES) {
    firstSplit(star, match, true);
    return star;
  }
  Element following = readElement(after);
  if (following.kind == ElementKind::STORE) {
    star.patternAfter = following.next;
    star.conversion = following.conversion();
    star.outputIndex = at.outputIndex + 1;
    following = readElement(following.next);
  }
  // "?" before the first literal only consume; a directive among them could store.
  for (; following.kind == ElementKind::ANY_ONE; following = readElement(following.next)) {
    ++star.firstByteAt;
  }
  if (following.kind == ElementKind::LITERAL && at.caseSensitive) {
    star.firstByte = *following.bytes();
  }
  firstSplit(star, match, isLastStar(after, match));
  return star;
}

// Moves the star's split on to the next one worth trying; false when none is left.
bool nextSplit(StarPoint& star, const Match& match) {
  if (star.onlySplit || star.split == match.textEnd) return false;
  ++star.split;
  seekFirstByte(star, match);
  return true;
}

Cursor startTrial(const StarPoint& star) {
  return {star.patternAfter, star.split, star.split, star.caseSensitive, star.outputIndex};
}

// OTHER: the element is not one takeSimple takes.
enum class Step : unsigned char { CONTINUE, MATCHED, FAILS, OTHER };

// Takes the commonest elements in place, without reading them as elements: a "?", or, in
// the case-sensitive mode, a run of literal bytes, compared as it is read.
Step takeSimple(Cursor& at, const Match& match) {
  if (*at.pattern == '?') {
    if (at.text == match.textEnd) return Step::FAILS;
    ++at.pattern;
    ++at.text;
    return Step::CONTINUE;
  }
  if (!at.caseSensitive || !isPlainByte(*at.pattern)) return Step::OTHER;
  for (; isPlainByte(*at.pattern); ++at.pattern, ++at.text) {
    if (at.text == match.textEnd || *at.text != *at.pattern) return Step::FAILS;
  }
  at.captureStart = at.text;
  return Step::CONTINUE;
}

// Takes one element of the pattern at `at`. FAILS means the current trial fails here.
Step takeElement(Cursor& at, const Element& element, const Match& match) {
  const auto left = static_cast<std::size_t>(match.textEnd - at.text);
  switch (element.kind) {
    case ElementKind::END:
      return left == 0 ? Step::MATCHED : Step::FAILS;
    case ElementKind::ANY_ONE:
      if (left == 0) return Step::FAILS;
      ++at.text;
      break;
    case ElementKind::LITERAL:
      if (left < element.length ||
          !sameBytes(element.bytes(), at.text, element.length, at.caseSensitive)) {
        return Step::FAILS;
      }
      at.text += element.length;
      at.captureStart = at.text;
      break;
    case ElementKind::CASE_INSENSITIVE:
    case ElementKind::CASE_SENSITIVE:
      at.caseSensitive = element.kind == ElementKind::CASE_SENSITIVE;
      break;
    case ElementKind::STORE:
      store(match, at.outputIndex++, element.conversion(), {at.captureStart, at.text});
      at.captureStart = at.text;
      break;
    case ElementKind::STAR:
      break;  // handled by the caller
  }
  at.pattern = element.next;
  return Step::CONTINUE;
}

// The walk: where it stands, and the most recent star, if any.
struct Walk {
  Cursor at;
  StarPoint star;
  bool haveStar;
};

// Opens the star the walk has reached and starts its first trial. When the text is known
// to end in what follows the pattern's last star, reaching it decides the match.
Step takeStar(Walk& walk, const Element& element, const Match& match) {
  if (walk.haveStar) finishStar(walk.star, match);  // its split can no longer change
  walk.star = openStar(walk.at, element.next, match);
  walk.haveStar = true;
  if (walk.star.tailChecked) {
    const auto left = static_cast<std::size_t>(match.textEnd - walk.star.split);
    return left == match.tailLength ? Step::MATCHED : Step::FAILS;
  }
  walk.at = startTrial(walk.star);
  return Step::CONTINUE;
}

Step takeOther(Walk& walk, const Match& match) {
  const Element element = readElement(walk.at.pattern);
  if (element.kind == ElementKind::STAR) return takeStar(walk, element, match);
  return takeElement(walk.at, element, match);
}

}  // namespace

int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs) {
  const Match match = prepare(pattern, text, caseSensitive, outputs);
  if (match.tail == Tail::FAILS) return 0;
  Walk walk{{pattern, text, text, caseSensitive != 0, 0}, {}, false};
  for (;;) {
    Step step = takeSimple(walk.at, match);
    if (step == Step::OTHER) step = takeOther(walk, match);
    if (step == Step::CONTINUE) continue;
    if (step == Step::MATCHED) {
      if (walk.haveStar) finishStar(walk.star, match);
      return 1;
    }
    if (!walk.haveStar || !nextSplit(walk.star, match)) return 0;
    walk.at = startTrial(walk.star);
  }
}

}  // namespace usb_flash_detect::match
