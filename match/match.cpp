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
// A pattern without directives stores nothing, so only whether it matches counts, and it
// is decided without the walk. Its head, before the first star, must meet the text's
// start; its tail, after the last star, the text's end (compared first, from the back, in
// both modes at once as above); and each stretch between two stars (its "?" and literals,
// each taking one byte at a fixed offset) is placed at its first occurrence after the one
// before and before the tail. An earlier place leaves more text to the stretches after
// it, so if the first places fail every other placement fails too, which is the recursive
// search's answer. The pattern is read only as far as needed. Up to its first "%" or
// star the walk would take the head just as this path does, storing nothing, so a
// pattern found to hold a "%" is walked on from there, with the lengths already taken. A
// failure found before that is the walk's answer too: the walk would have stored nothing
// and kept its starting mode up to the first "%", and the tail's literals differ in both
// modes (in its own mode when no "%" can have changed it) or leave too little text.
//
// A stretch's places are found by its first and last literal: the last looked for with
// memchr while it is compared byte for byte, then the first tested there, until that has
// failed a few times; else eight places at a time with both, each byte compared under the
// bit-5 rule with bit 5 set on both sides in the case-insensitive mode (but for a space).
// Only the literals between the two are then compared. When the pattern ends in a star
// the text's end is not needed at first: the last literal is looked for with strchr, and
// a "?" never meets the terminator, so nothing past it is read.
//
// A single stretch between the first star and the last (no star inside it) is looked for
// at once, without the loop over stretches: that loop would place it at its first place,
// and only whether it has one counts. A constant pattern without "%" has its length and
// the places of its first and last star worked out at compile time (and whether one
// stretch lies between them); the path for it is this one with the head and the tail
// compared straight away, in the one mode the pattern keeps: the tail, when 4 to 16 bytes
// long, as two overlapping words, each byte's difference masked to nothing for a "?" and
// to all but bit 5 in the case-insensitive mode (no byte before the text's end is a
// terminator). For "*" and a tail alone that comparison is the whole match.
//
// Cost: each star retries the stretch after it at most once per character of the text,
// and a stretch's search compares it at most once per place, so time is bounded by the
// pattern's length times the text's length; stack is constant. The lengths are taken
// once, by the path for patterns without directives or, for the walk, at its start.
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

// A stretch: the "?" and literals after a star, up to the next star or directive or the
// pattern's end. Each takes one byte at a fixed offset from where the stretch is placed,
// and all are compared in one mode. Two of its literals, by their offsets, are tested
// before the whole stretch is compared at a place: the first and the last (the same one
// when it has one literal); `first` is -1 when it has none.
struct Stretch {
  const char* begin;
  const char* end;  // the star, "%" or terminator that ends it
  std::ptrdiff_t first;
  std::ptrdiff_t last;
};

// Whether a byte ends a stretch: a star, a "%" or the terminator.
bool endsStretch(char c) {
  constexpr std::uint64_t ENDS = 1ULL | 1ULL << '%' | 1ULL << '*';
  const auto byte = static_cast<unsigned char>(c);
  return byte <= '*' && ((ENDS >> byte) & 1U) != 0;
}

const char* stretchEnd(const char* begin) {
  const char* end = begin;
  while (!endsStretch(*end)) ++end;
  return end;
}

// The stretch [begin, end) with its first and last literal found.
Stretch readStretch(const char* begin, const char* end) {
  const char* first = begin;
  while (first != end && *first == '?') ++first;
  if (first == end) return {begin, end, -1, -1};
  const char* last = end - 1;
  while (*last == '?') --last;
  return {begin, end, first - begin, last - begin};
}

// Whether the "?" and literals [begin, end) match the text at `text`; the text's
// terminator meets neither, so nothing past it is read.
bool bytesMatch(const char* begin, const char* end, const char* text, int caseSensitive) {
  if (caseSensitive != 0) {  // the common case, one comparison a byte
    for (const char* p = begin; p < end; ++p, ++text) {
      if (*p != *text && (*p != '?' || *text == '\0')) return false;
    }
    return true;
  }
  for (const char* p = begin; p < end; ++p, ++text) {
    if (*p == '?' ? *text == '\0' : !sameByte(*p, *text, 0)) return false;
  }
  return true;
}

// How a literal meets a text byte in one mode: the byte, with `fold` set, equals `value`.
// In the case-insensitive mode bit 5 is set on both sides, except for a space, which
// would then equal a terminator.
struct ByteTest {
  unsigned char fold;
  unsigned char value;
};

ByteTest byteTest(char literal, int caseSensitive) {
  const auto byte = static_cast<unsigned char>(literal);
  const bool folds = caseSensitive == 0 && (byte | 0x20U) != 0x20U;
  const auto fold = static_cast<unsigned char>(folds ? 0x20U : 0U);
  return {fold, static_cast<unsigned char>(byte | fold)};
}

bool passes(char byte, ByteTest test) {
  return (static_cast<unsigned char>(byte) | test.fold) == test.value;
}

// The first place in [from, to) whose bytes at the stretch's first and last literal pass
// `first` and `last`, or `to`. The last literal, when compared as it is, is looked for
// with memchr over runs long enough to pay for the call, until it has been found a few
// times where the first did not pass; then eight places at a time. The bytes read lie
// within the places and the stretch's length after them.
const char* findCandidate(const char* from, const char* to, const Stretch& stretch, ByteTest first,
                          ByteTest last) {
  constexpr std::uint64_t ONES = 0x0101010101010101ULL;
  constexpr std::uint64_t HIGHS = 0x8080808080808080ULL;
  constexpr std::ptrdiff_t LONG_RUN = 16;
  constexpr int MOST_MISSES = 4;
  const std::ptrdiff_t one = stretch.first;
  const std::ptrdiff_t two = stretch.last;
  for (int misses = 0; last.fold == 0 && to - from >= LONG_RUN && misses < MOST_MISSES; ++misses) {
    const void* found = std::memchr(from + two, last.value, static_cast<std::size_t>(to - from));
    if (found == nullptr) return to;
    from = static_cast<const char*>(found) - two;
    if (passes(from[one], first)) return from;
    ++from;
  }
  for (std::uint64_t word = 0, other = 0; to - from >= 8; from += 8) {
    std::memcpy(&word, from + one, sizeof word);
    std::memcpy(&other, from + two, sizeof other);
    const std::uint64_t difference = ((word | ONES * first.fold) ^ ONES * first.value) |
                                     ((other | ONES * last.fold) ^ ONES * last.value);
    if (((difference - ONES) & ~difference & HIGHS) != 0) break;  // a zero byte: a candidate
  }
  for (; from != to; ++from) {
    if (passes(from[one], first) && passes(from[two], last)) return from;
  }
  return to;
}

// The first place in [text, limit) where the stretch [begin, end) matches whole; returns
// where the text after it starts, or nullptr when there is no such place.
const char* findStretch(const char* begin, const char* end, const char* text, const char* limit,
                        int caseSensitive) {
  const auto length = end - begin;
  if (limit - text < length) return nullptr;
  const Stretch stretch = readStretch(begin, end);
  if (stretch.first < 0) return text + length;  // "?" only
  const ByteTest first = byteTest(stretch.begin[stretch.first], caseSensitive);
  const ByteTest last = byteTest(stretch.begin[stretch.last], caseSensitive);
  const char* places = limit - length + 1;  // past the last place
  for (const char* at = text;; ++at) {
    at = findCandidate(at, places, stretch, first, last);
    if (at == places) return nullptr;
    const std::ptrdiff_t inner = stretch.first + 1;  // the first and last literal passed
    if (bytesMatch(stretch.begin + inner, stretch.begin + stretch.last, at + inner,
                   caseSensitive)) {
      return at + length;
    }
  }
}

// As findStretch, when the text's end is not yet known, as for a pattern that ends in a
// star: the stretch's last literal, compared as it is, is looked for with strchr, which
// stops at the terminator. After a few places that fail, or for a folded literal, the
// text's end is taken into `limit` and findStretch goes on.
const char* findStretchToEnd(const char* begin, const char* end, const char* text,
                             const char*& limit, int caseSensitive) {
  constexpr int MOST_MISSES = 4;
  const Stretch stretch = readStretch(begin, end);
  const char lastByte = stretch.last >= 0 ? begin[stretch.last] : '\0';
  const bool searchable = lastByte != '\0' && byteTest(lastByte, caseSensitive).fold == 0;
  const char* from = text;    // no place before it matches
  const char* search = text;  // nor has the last literal before it
  for (int misses = 0; searchable && misses < MOST_MISSES; ++misses) {
    const char* found = std::strchr(search, lastByte);
    if (found == nullptr) return nullptr;
    search = found + 1;
    const char* at = found - stretch.last;
    if (at < from) continue;
    if (bytesMatch(begin, end, at, caseSensitive)) return at + (end - begin);
    from = at + 1;
  }
  limit = from + std::strlen(from);
  return findStretch(begin, end, from, limit, caseSensitive);
}

// What the plain path decides: no match, a match, or that the pattern holds a directive
// and is the walk's to match.
enum class Plain : unsigned char { NO_MATCH, MATCH, NOT_PLAIN };

// Where the plain path hands a pattern that holds a "%" over to the walk: the pattern and
// the text as far as its head has matched them, where the run of "?" before them began,
// and the ends of both once taken (else nullptr).
struct Handover {
  const char* pattern;
  const char* text;
  const char* captureStart;
  const char* patternEnd;
  const char* textEnd;
};

bool holdsPercent(const char* begin, const char* end) {
  return begin != end && std::memchr(begin, '%', static_cast<std::size_t>(end - begin)) != nullptr;
}

// The stretches between the first star and the last, each at its first occurrence after
// the one before and before the tail's place, `limit` (nullptr while the text's end is not
// known: the tail is empty).
Plain matchMiddle(const char* firstStar, const char* lastStar, const char* text, const char* limit,
                  int caseSensitive) {
  for (const char* p = afterStars(firstStar, lastStar); p != lastStar + 1;) {
    const char* end = stretchEnd(p);
    if (*end == '%') return Plain::NOT_PLAIN;
    const bool room = limit == nullptr || limit - text >= end - p;
    if (room && bytesMatch(p, end, text, caseSensitive)) {
      text += end - p;
    } else {
      text = limit != nullptr ? findStretch(p, end, text, limit, caseSensitive)
                              : findStretchToEnd(p, end, text, limit, caseSensitive);
    }
    if (text == nullptr) return Plain::NO_MATCH;  // what follows cannot change its mode
    p = end[1] == '*' ? afterStars(end + 1, lastStar + 1) : end + 1;
  }
  return Plain::MATCH;
}

// The one stretch between the first star and the last, [begin, lastStar), looked for at
// once before `limit` (nullptr while the text's end is not known).
Plain matchOneStretch(const char* begin, const char* lastStar, const char* text, const char* limit,
                      int caseSensitive) {
  const char* found = limit != nullptr
                          ? findStretch(begin, lastStar, text, limit, caseSensitive)
                          : findStretchToEnd(begin, lastStar, text, limit, caseSensitive);
  return found != nullptr ? Plain::MATCH : Plain::NO_MATCH;
}

// The stretches between the first star and the last: one is looked for at once.
Plain matchBetween(const char* firstStar, const char* lastStar, const char* text, const char* limit,
                   int caseSensitive) {
  const char* begin = firstStar + 1;
  if (begin == lastStar || stretchEnd(begin) != lastStar) {
    return matchMiddle(firstStar, lastStar, text, limit, caseSensitive);
  }
  return matchOneStretch(begin, lastStar, text, limit, caseSensitive);
}

// The tail's byte before `p` meets no byte of the text in either mode: no match, unless
// the byte is a directive's own.
Plain differs(const char* p) {
  return p[-2] == '%' ? Plain::NOT_PLAIN : Plain::NO_MATCH;
}

// A pattern without directives, from its first star on, against the text from where the
// head left it. The tail, after the last star, meets the text's end; it is compared there
// from the back as the last star is looked for, in both modes at once, since a "%:" or
// "%=" before it would set its mode. A byte after a "%" is never taken for a literal.
Plain matchAfterHead(const char* firstStar, const char* text, int caseSensitive,
                     Handover& handover) {
  handover.patternEnd = firstStar + std::strlen(firstStar);
  const char* lastStar = handover.patternEnd - 1;
  if (*lastStar == '*' && (lastStar == firstStar || lastStar[-1] != '%')) {
    return matchBetween(firstStar, lastStar, text, nullptr, caseSensitive);  // no tail
  }
  handover.textEnd = text + std::strlen(text);
  const char* p = handover.patternEnd;
  const char* textEnd = handover.textEnd;
  const char* t = textEnd;
  bool foldedOnly = false;
  for (; p[-1] != '*'; --p) {
    const char c = p[-1];
    if (c == '%') return Plain::NOT_PLAIN;
    if (t == text) return differs(p);
    --t;
    if (c == *t || c == '?') continue;
    if (!sameByte(c, *t, 0)) return differs(p);
    foldedOnly = true;
  }
  lastStar = p - 1;
  if (lastStar != firstStar && lastStar[-1] == '%') return Plain::NOT_PLAIN;
  if (foldedOnly && caseSensitive != 0) {
    return holdsPercent(firstStar, lastStar) ? Plain::NOT_PLAIN : Plain::NO_MATCH;
  }
  if (lastStar == firstStar) return Plain::MATCH;  // one star: nothing between
  return matchBetween(firstStar, lastStar, text, t, caseSensitive);
}

// Matches a pattern without directives. Its head, before the first star, meets the text's
// start and its tail the text's end; each stretch between two stars is placed at its first
// occurrence after the one before, which leaves the most text for those after it, so if
// that placement fails every other does. Up to the first "%" met the walk would have
// stored nothing, so a failure found before it is the walk's answer too.
Plain matchPlain(const char* pattern, const char* text, int caseSensitive, Handover& handover) {
  handover = {pattern, text, text, nullptr, nullptr};
  const char* p = pattern;
  for (; *p != '*' && *p != '%'; ++p, ++text) {
    if (*p == '\0') return *text == '\0' ? Plain::MATCH : Plain::NO_MATCH;
    if (*text == '\0' || (*p != '?' && !sameByte(*p, *text, caseSensitive))) {
      return Plain::NO_MATCH;
    }
    if (*p != '?') handover.captureStart = text + 1;
  }
  handover.pattern = p;
  handover.text = text;
  return *p == '%' ? Plain::NOT_PLAIN : matchAfterHead(p, text, caseSensitive, handover);
}

// The walk, for a pattern that holds a directive, from where the plain path handed it over.
int walkPattern(const Handover& handover, int caseSensitive, MatchOutputList outputs,
                std::uint64_t* stored) {
  const char* pattern = handover.pattern;
  const char* text = handover.text;
  const char* textEnd = handover.textEnd != nullptr ? handover.textEnd : text + std::strlen(text);
  const char* patternEnd =
      handover.patternEnd != nullptr ? handover.patternEnd : pattern + std::strlen(pattern);
  Match match{patternEnd, textEnd, outputs, {}, stored};
  Position at{pattern, text, handover.captureStart, 0, caseSensitive};
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

// Whether the "?" and literals of `pattern` match the text's `Word`-sized run at `text`,
// none of whose bytes is the terminator: per byte, the bits where they differ, outside
// bit 5 in the case-insensitive mode, and for a byte that is not "?".
template <class Word>
bool wordMatches(const char* pattern, const char* text, int caseSensitive) {
  constexpr Word ONES = static_cast<Word>(~Word{0}) / 0xFFU;
  constexpr Word LOWS = ONES * 0x7FU;
  Word literals = 0;
  Word bytes = 0;
  std::memcpy(&literals, pattern, sizeof literals);
  std::memcpy(&bytes, text, sizeof bytes);
  const Word others = literals ^ (ONES * static_cast<unsigned char>('?'));
  const Word notQuestion = ((((others & LOWS) + LOWS) | others) & ~LOWS) >> 7U;  // 1 per byte
  const Word compared = notQuestion * (caseSensitive != 0 ? 0xFFU : 0xDFU);
  return ((literals ^ bytes) & compared) == 0;
}

// The tail, `length` bytes of "?" and literals, against the text's last bytes (no
// terminator among them): two overlapping words when it is 4 to 16 bytes long.
bool tailBytesMatch(const char* tail, std::size_t length, const char* text, int caseSensitive) {
  if (length >= 4 && length <= 8) {
    return wordMatches<std::uint32_t>(tail, text, caseSensitive) &&
           wordMatches<std::uint32_t>(tail + length - 4, text + length - 4, caseSensitive);
  }
  if (length >= 8 && length <= 16) {
    return wordMatches<std::uint64_t>(tail, text, caseSensitive) &&
           wordMatches<std::uint64_t>(tail + length - 8, text + length - 8, caseSensitive);
  }
  return bytesMatch(tail, tail + length, text, caseSensitive);
}

// The stretches of a pattern of known shape between its first star and its last.
int matchStars(PlainShape shape, const char* firstStar, const char* lastStar, const char* text,
               const char* limit, int caseSensitive) {
  const Plain plain = shape.oneStretch
                          ? matchOneStretch(firstStar + 1, lastStar, text, limit, caseSensitive)
                          : matchMiddle(firstStar, lastStar, text, limit, caseSensitive);
  return plain == Plain::MATCH ? 1 : 0;
}

// A pattern without directives whose stars' places are known: the plain path, with the
// head and the tail compared straight away in the one mode, and a single stretch between
// the stars looked for at once. Returns 1 on a match.
int matchShaped(const char* pattern, PlainShape shape, const char* text, int caseSensitive) {
  const char* firstStar = pattern + shape.firstStar;
  if (!bytesMatch(pattern, firstStar, text, caseSensitive)) return 0;
  text += shape.firstStar;
  if (shape.firstStar == shape.length) return *text == '\0' ? 1 : 0;  // no star
  const char* lastStar = pattern + shape.lastStar;
  const char* end = pattern + shape.length;
  if (lastStar + 1 == end)
    return matchStars(shape, firstStar, lastStar, text, nullptr, caseSensitive);
  const auto tailLength = static_cast<std::size_t>(end - (lastStar + 1));
  const std::size_t textLength = std::strlen(text);
  if (textLength < tailLength) return 0;
  const char* tailPlace = text + (textLength - tailLength);
  if (!tailBytesMatch(lastStar + 1, tailLength, tailPlace, caseSensitive)) return 0;
  if (lastStar == firstStar) return 1;
  return matchStars(shape, firstStar, lastStar, text, tailPlace, caseSensitive);
}

}  // namespace

int matchPlainCore(const char* pattern, PlainShape shape, const char* text, int caseSensitive) {
  const int mode = caseSensitive != 0 ? 1 : 0;
  if (!shape.plain) return matchPatternCore(pattern, text, mode, {});
  return matchShaped(pattern, shape, text, mode);
}

int matchSuffixCore(const char* tail, std::size_t length, const char* text, int caseSensitive) {
  const std::size_t textLength = std::strlen(text);
  if (textLength < length) return 0;
  const int mode = caseSensitive != 0 ? 1 : 0;
  return tailBytesMatch(tail, length, text + (textLength - length), mode) ? 1 : 0;
}

int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs) {
  return matchPatternCore(pattern, text, caseSensitive, outputs, nullptr);
}

int matchPatternCore(const char* pattern, const char* text, int caseSensitive,
                     MatchOutputList outputs, std::uint64_t* stored) {
  const int mode = caseSensitive != 0 ? 1 : 0;
  Handover handover{};
  const Plain plain = matchPlain(pattern, text, mode, handover);
  if (plain != Plain::NOT_PLAIN) return plain == Plain::MATCH ? 1 : 0;
  return walkPattern(handover, mode, outputs, stored);
}

}  // namespace usb_flash_detect::match
