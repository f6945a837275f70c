// The matcher walks the pattern and the text together and keeps one backtrack point: the
// most recent "*". When the pattern after that star fails, the star takes one more
// character and the rest is tried again from there; earlier stars are never revisited.
//
// That gives the same answer, and the same outputs, as the recursive search that tries
// every split of every star in increasing order. Between two stars the pattern consumes a
// fixed number of characters (each "?" and literal one, directives none), and the case
// mode at each pattern position is fixed by the last "%:" or "%=" before it. So once the
// stretch after a star has matched at its earliest place, a later split of that star can
// only start the next star further on, and the next star alone could already have
// absorbed that; if the next star fails from every split, nothing earlier can help.
// The recursive search, on its way to a success, also runs into exactly the failed trials
// that this walk runs into, in the same order, so directives store in the same order too,
// but for a star's own directive: the walk stores it once the next star is reached, the
// search on its way back out.
//
// After the pattern's last star only one split can succeed, the one that leaves the
// fixed-length rest of the pattern (the tail) the text's last bytes. When the walk
// reaches its first star, one pass back from the pattern's end reads the tail. It first
// compares the literals and "?" at the pattern's end with the text's end, in both case
// modes at once: they meet those bytes however the match goes, so if they differ in both
// modes nothing matches. It then finds the last star, and for a tail that holds directives
// its length and whether it stores. A tail of literals and "?" only is thereby compared
// whole, and reaching the last star decides the match in the mode the walk has there. Any
// other tail is tried from every split when it stores (failed trials store too), and else
// from the one split that can succeed. That choice is the star's split policy.
//
// Shortcuts: a trial that meets a literal (case-sensitive) after nothing but "?" fails,
// writing nothing, wherever the text does not hold that byte there, so the star's split
// moves on with memchr; consecutive stars are one star, since the walk would open each
// and give it up at once.
//
// Cost: each star retries the stretch after it at most once per character of the text,
// so time is bounded by the pattern's length times the text's length; stack is constant.
// Both lengths are taken once, at the start.
#include "usb_flash_detect/match.h"

#include <cstdint>
#include <cstring>

#include "match/scan_number.h"

namespace usb_flash_detect::match {
namespace {

bool isPlainByte(char c) {
  return c != '\0' && c != '?' && c != '*' && c != '%';
}

// A literal of the pattern against a byte of the text. A terminator in the text (one that
// a store into an overlapping output has put there) equals nothing.
bool sameByte(char literal, char textByte, int caseSensitive) {
  const auto difference = static_cast<unsigned char>(literal ^ textByte);
  if (difference == 0) return true;
  return !caseSensitive && (difference & 0xDFU) == 0 && textByte != '\0';
}

// A run of the text that a directive stores.
struct Capture {
  const char* begin;
  const char* end;
};

// Each store says whether it wrote its output.
bool storeText(const MatchOutput& output, Capture capture) {
  if (output.capacity == 0) return false;
  auto length = static_cast<std::size_t>(capture.end - capture.begin);
  if (length > output.capacity - 1) length = output.capacity - 1;
  auto* destination = static_cast<char*>(output.target);
  std::memmove(destination, capture.begin, length);  // the output may overlap the text
  destination[length] = '\0';
  return true;
}

bool storeChar(const MatchOutput& output, Capture capture) {
  if (output.capacity == 0 || capture.begin == capture.end) return false;
  *static_cast<char*>(output.target) = *capture.begin;
  return true;
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
bool storeInteger(void* target, unsigned base, scan::Field field) {
  T value{};
  if (!scan::integerValue(scan::readInteger(field, base), value)) return false;
  *static_cast<T*>(target) = value;
  return true;
}

template <class T>
bool storeFloating(void* target, scan::Field field) {
  T value{};
  if (scan::readFloat(field, value) != scan::FloatRead::VALUE) return false;
  *static_cast<T*>(target) = value;
  return true;
}

// A number, stored only when the capture is one and it fits the output's type.
bool storeNumber(const MatchOutput& output, char conversion, Capture capture) {
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
      return false;  // they take no number
  }
  return false;
}

// What an element of the pattern leads to: the walk goes on, the pattern and the text
// have ended together, the current trial fails, or a star is reached.
enum class Step : unsigned char { CONTINUE, MATCHED, FAILS, STAR };

// How the tail compares with the text's end.
enum class TailBytes : unsigned char {
  DIRECTIVES,  // it holds a directive, and is walked
  DIFFER,      // in both modes: nothing can match
  SAME,        // byte for byte
  SAME_FOLDED  // only as the case-insensitive mode compares
};

// What the pattern asks after its last star.
struct Tail {
  const char* star;    // the last "*"; nullptr until the tail is read
  std::size_t length;  // bytes of text the tail takes
  bool stores;         // it holds a storing directive
  TailBytes bytes;
};

// The pattern's last star, given its first. Scanning back, a "*" after an odd run of "%"
// is an escaped one: a run of "%" starts where an element starts, so it pairs off from
// its first "%".
const char* findLastStar(const char* firstStar, const char* end) {
  for (const char* p = end - 1; p != firstStar; --p) {
    if (*p != '*') continue;
    const char* run = p;
    while (run[-1] == '%') --run;  // the first star ends the run at the latest
    if ((p - run) % 2 == 0) return p;
    p = run;
  }
  return firstStar;
}

bool isStoringDirective(const char* p) {
  return p[0] == '%' && directiveKind(p[1]) == DirectiveKind::STORE;
}

// The length of a tail that holds directives, and whether it stores.
void measureTail(Tail& tail, const char* start, const char* end) {
  for (const char* p = start; p != end; ++p) {
    if (*p != '%') {
      ++tail.length;  // a literal or "?"
      continue;
    }
    const DirectiveKind kind = directiveKind(*++p);
    if (kind == DirectiveKind::LONE_PERCENT) {
      ++tail.length;
      return;
    }
    if (kind == DirectiveKind::ESCAPE) ++tail.length;
    if (kind == DirectiveKind::STORE) tail.stores = true;
  }
}

// The pattern's plain end, the literals and "?" after its last star or directive, against
// the text's end, back from the end and in both modes at once; returns where the plain end
// starts. Those bytes meet the text's last bytes whatever stands before them, so a
// difference in both modes, or too short a text, fails the match. A byte after a "%" is
// taken for a directive's own.
const char* comparePlainEnd(const char* end, const char* text, const char* textEnd,
                            TailBytes& bytes) {
  bytes = TailBytes::SAME;
  const char* p = end;
  for (const char* t = textEnd;; --p) {
    const char c = p[-1];
    if (c == '*' || c == '%' || p[-2] == '%') break;  // a star is met before the pattern starts
    if (t == text) {
      bytes = TailBytes::DIFFER;
      break;
    }
    --t;
    if (c == *t || c == '?') continue;
    const bool folds = ((c ^ *t) & 0xDF) == 0 && *t != '\0';
    bytes = folds ? TailBytes::SAME_FOLDED : TailBytes::DIFFER;
    if (!folds) break;
  }
  return p;
}

// The one pass over the tail, back from the pattern's end to its last star, once the walk
// has reached its first star at `text`.
Tail readTail(const char* firstStar, const char* end, const char* text, const char* textEnd) {
  Tail tail{firstStar, 0, false, TailBytes::SAME};
  const char* plainEnd = comparePlainEnd(end, text, textEnd, tail.bytes);
  if (tail.bytes == TailBytes::DIFFER) return tail;
  tail.star = findLastStar(firstStar, plainEnd);
  const char* start = tail.star + 1;
  if (isStoringDirective(start)) start += 2;
  if (plainEnd != start) {
    tail.bytes = TailBytes::DIRECTIVES;
    measureTail(tail, start, end);
  } else {
    tail.length = static_cast<std::size_t>(end - start);
  }
  return tail;
}

// Whether a tail of literals and "?" matches where the walk reaches it, in its mode.
bool tailMatches(const Tail& tail, int caseSensitive) {
  return tail.bytes == TailBytes::SAME || (tail.bytes == TailBytes::SAME_FOLDED && !caseSensitive);
}

// What every step of one match shares.
struct Match {
  const char* patternEnd;
  const char* textEnd;
  MatchOutputList outputs;
  Tail tail;
  std::uint64_t* stored;  // where to mark the outputs stored, when the caller asks
};

// A directive other than %s: an output that does not take it is left as it was.
bool storeConverted(const MatchOutput& output, char conversion, Capture capture) {
  if (!outputTakes(output.kind, conversion)) return false;
  if (conversion == 'c') return storeChar(output, capture);
  return storeNumber(output, conversion, capture);
}

// A capture through output `index`, when it takes the directive (%s only text takes), and
// the output marked stored for a caller who asked. The capture comes as its two ends: GCC
// otherwise reloads the pair it has just spilled as one 16-byte word, and stalls every
// numeric store on it (twice as slow).
void storeInto(const Match& match, std::size_t index, char conversion, const char* begin,
               const char* end) {
  const Capture capture{begin, end};
  const MatchOutput& output = match.outputs.items[index];
  const bool stored = conversion == 's'
                          ? output.kind == MatchOutputKind::TEXT && storeText(output, capture)
                          : storeConverted(output, conversion, capture);
  if (stored && match.stored != nullptr && index < 64) *match.stored |= std::uint64_t{1} << index;
}

// Stores a capture through output `index`; a directive past the last output stores nothing.
void store(const Match& match, std::size_t index, char conversion, Capture capture) {
  if (index < match.outputs.count) storeInto(match, index, conversion, capture.begin, capture.end);
}

// Where the walk stands.
struct Position {
  const char* pattern;
  const char* text;
  const char* captureStart;  // where the run of "?" that a directive would store began
  std::size_t output;        // the output the next storing directive takes
  int caseSensitive;         // nonzero: case-sensitive
};

// How a star's splits are tried.
enum class Splits : unsigned char {
  EVERY,   // each in increasing order
  ONE,     // only the first
  DECIDED  // none: the tail's comparison decides
};

// The most recent star: where its trials start, and its own storing directive. Before the
// first star, one that stores nothing and has no split left stands in.
struct Star {
  const char* trialPattern;  // past the star and its own storing directive
  const char* runStart;      // where the star's run starts in the text
  const char* split;         // where the current trial starts in the text
  std::size_t trialOutput;   // the output the trials' first storing directive takes
  char conversion;           // the star's own storing directive, or 0
  int caseSensitive;         // the mode the trials start in
  Splits splits;
};

Position startTrial(const Star& star) {
  return {star.trialPattern, star.split, star.split, star.trialOutput, star.caseSensitive};
}

// Stores the star's own capture, now that its split is final.
void finishStar(const Star& star, const Match& match) {
  if (star.conversion != 0) {
    store(match, star.trialOutput - 1, star.conversion, {star.runStart, star.split});
  }
}

// Consecutive stars act as one: the walk would open each and give it up at once. Long
// runs of them are skipped eight bytes at a time.
const char* afterStars(const char* p, const char* end) {
  constexpr std::uint64_t EIGHT_STARS = 0x2A2A2A2A2A2A2A2AULL;
  if (*p != '*') return p;
  for (std::uint64_t word = 0; end - p >= 8; p += 8) {
    std::memcpy(&word, p, sizeof word);
    if (word != EIGHT_STARS) break;
  }
  while (*p == '*') ++p;
  return p;
}

// The literal a trial meets first, after "?" only, when it is compared case-sensitively;
// otherwise nullptr.
const char* firstLiteral(const char* trialPattern, int caseSensitive) {
  const char* p = trialPattern;
  while (*p == '?') ++p;
  return caseSensitive != 0 && isPlainByte(*p) ? p : nullptr;
}

// Moves the split on to the first place whose trial finds the literal it meets first, after
// its run of "?", when that literal is compared case-sensitively: a trial anywhere else
// fails there, having written nothing.
void seekFirstLiteral(Star& star, const Match& match) {
  const char* first = firstLiteral(star.trialPattern, star.caseSensitive);
  if (first == nullptr) return;
  const auto before = static_cast<std::size_t>(first - star.trialPattern);
  const auto left = static_cast<std::size_t>(match.textEnd - star.split);
  if (left <= before) {
    star.split = match.textEnd;  // every trial from here runs out of text
    return;
  }
  const char literal = *first;
  if (star.split[before] == literal) return;
  const void* found = std::memchr(star.split + before, literal, left - before);
  star.split = found != nullptr ? static_cast<const char*>(found) - before : match.textEnd;
}

// Every split for a star before the last and for a tail that stores; one for any other
// tail that holds directives; none for a tail compared before the walk.
Splits splitPolicy(const char* lastOfRun, std::size_t trialOutput, const Match& match) {
  if (lastOfRun != match.tail.star) return Splits::EVERY;
  if (match.tail.bytes != TailBytes::DIRECTIVES) return Splits::DECIDED;
  const bool stores = match.tail.stores && trialOutput < match.outputs.count;
  return stores ? Splits::EVERY : Splits::ONE;
}

// For one split, the one that leaves the tail the text's last bytes (for too short a
// text the empty remainder, where the tail fails at once).
void onlySplit(Star& star, const Match& match) {
  const auto left = static_cast<std::size_t>(match.textEnd - star.split);
  star.split = left >= match.tail.length ? match.textEnd - match.tail.length : match.textEnd;
}

// The star the walk has reached at `at`, at its first split.
Star starAt(const Position& at, const Match& match) {
  const char* after = afterStars(at.pattern + 1, match.patternEnd);
  const bool stores = isStoringDirective(after);
  const std::size_t trialOutput = at.output + (stores ? 1 : 0);
  Star star{stores ? after + 2 : after,
            at.text,
            at.text,
            trialOutput,
            stores ? after[1] : '\0',
            at.caseSensitive,
            splitPolicy(after - 1, trialOutput, match)};
  if (star.splits != Splits::EVERY) onlySplit(star, match);
  return star;
}

// Starts the first trial of the star the walk has reached at `at`; false when no split
// can match. A tail compared with the text's end is taken whole at the last star, when it
// fits what is left of the text and matches in the walk's mode.
bool startStar(Position& at, const Star& star, const Match& match) {
  if (star.splits != Splits::DECIDED) {
    at = startTrial(star);
    return true;
  }
  const bool fits = static_cast<std::size_t>(match.textEnd - at.text) >= match.tail.length;
  if (!fits || !tailMatches(match.tail, at.caseSensitive)) return false;
  at.pattern = match.patternEnd;
  at.text = match.textEnd;
  return true;
}

// Moves the star's split on to the next one worth trying; false when none is left.
bool nextSplit(Star& star, const Match& match) {
  if (star.splits != Splits::EVERY || star.split == match.textEnd) return false;
  ++star.split;
  seekFirstLiteral(star, match);
  return true;
}

// A literal of the pattern, `width` bytes long, against the next byte of the text.
Step takeLiteral(Position& at, char literal, int width, const Match& match) {
  if (at.text == match.textEnd || !sameByte(literal, *at.text, at.caseSensitive)) {
    return Step::FAILS;
  }
  at.pattern += width;
  ++at.text;
  at.captureStart = at.text;
  return Step::CONTINUE;
}

// A run of literal bytes of the pattern against the text, byte by byte.
Step takeLiterals(Position& at, const Match& match) {
  do {
    if (at.text == match.textEnd || !sameByte(*at.pattern, *at.text, at.caseSensitive)) {
      return Step::FAILS;
    }
    ++at.pattern;
    ++at.text;
  } while (isPlainByte(*at.pattern));
  at.captureStart = at.text;
  return Step::CONTINUE;
}

Step takeDirective(Position& at, const Match& match) {
  const char second = at.pattern[1];
  switch (directiveKind(second)) {
    case DirectiveKind::LONE_PERCENT:
      return takeLiteral(at, '%', 1, match);
    case DirectiveKind::ESCAPE:
      return takeLiteral(at, second, 2, match);
    case DirectiveKind::CASE_INSENSITIVE:
    case DirectiveKind::CASE_SENSITIVE:
      at.caseSensitive = second == '=' ? 1 : 0;
      break;
    case DirectiveKind::STORE:
      store(match, at.output++, second, {at.captureStart, at.text});
      at.captureStart = at.text;
      break;
  }
  at.pattern += 2;
  return Step::CONTINUE;
}

// Takes one element of the pattern; a star is left to the caller.
Step takeElement(Position& at, const Match& match) {
  switch (*at.pattern) {
    case '\0':
      return at.text == match.textEnd ? Step::MATCHED : Step::FAILS;
    case '?':
      if (at.text == match.textEnd) return Step::FAILS;
      ++at.pattern;
      ++at.text;
      return Step::CONTINUE;
    case '*':
      return Step::STAR;
    case '%':
      return takeDirective(at, match);
    default:
      return takeLiterals(at, match);
  }
}

}  // namespace

int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs) {
  return matchPatternCore(pattern, text, caseSensitive, outputs, nullptr);
}

int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs, std::uint64_t* stored) {
  const char* textEnd = text + std::strlen(text);
  Match match{pattern + std::strlen(pattern), textEnd, outputs, {}, stored};
  Position at{pattern, text, text, 0, caseSensitive != 0 ? 1 : 0};
  Star star{pattern, text, text, 0, '\0', 1, Splits::ONE};
  for (;;) {
    const Step step = takeElement(at, match);
    if (step == Step::CONTINUE) continue;
    if (step == Step::FAILS) {
      if (!nextSplit(star, match)) return 0;
      at = startTrial(star);
      continue;
    }
    finishStar(star, match);  // its split can no longer change
    if (step == Step::MATCHED) return 1;
    if (match.tail.star == nullptr) {  // the first star reached reads the tail
      match.tail = readTail(at.pattern, match.patternEnd, at.text, textEnd);
      if (match.tail.bytes == TailBytes::DIFFER) return 0;
    }
    star = starAt(at, match);
    if (!startStar(at, star, match)) return 0;
  }
}

}  // namespace usb_flash_detect::match
