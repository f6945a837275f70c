// Answers a profile lookup the way the Windows profile reader does, in one pass over the
// file and in fixed buffers on the stack.
//
// Encoding. The first bytes decide it: a UTF-16 (LE or BE) or UTF-8 byte-order mark makes
// the rest decode, chunk by chunk, into UTF-16 code units; any other file is scanned as its
// bytes. One scanner (a template over the unit type) parses both, so a decoded file is
// parsed as Windows parses it: the structure (line ends, blanks, "[", "]", "=", quotes,
// NUL) is made of ASCII units, lookup names are widened from code page 1252 before they
// are compared, and only the answer is narrowed back to 1252.
//
// Lookup. Finding the section looks only at lines that begin with "[": a byte search for
// "[" and a look back over blanks to the line end before it. Inside the section each line's
// name is compared with the key as it streams past, and a line that does not match is
// skipped to its end. The first line whose name matches decides; a header ends the search.
// The value is copied into the destination as it streams past (so the key, which may share
// that buffer, is no longer needed by then), and reading stops at the end of that line.
#include "windows_text/inf_reader.h"

#include <cstring>

#include "windows_text/code_page_1252.h"
#include "windows_text/utf8.h"

namespace inf {
namespace {

// Bytes read from the source at a time, and code units decoded from them at a time.
constexpr std::size_t READ_CAPACITY = std::size_t{64} * 1024;
constexpr std::size_t UNIT_CAPACITY = std::size_t{16} * 1024;

constexpr char16_t REPLACEMENT_CHARACTER = 0xFFFD;

bool isBlank(unsigned unit) {
  return unit == ' ' || unit == '\t' || unit == 0x0B || unit == 0x0C || unit == 0x1A;
}

bool isLineEnd(unsigned unit) {
  return unit == '\n' || unit == '\r';
}

bool isQuoteMark(unsigned unit) {
  return unit == '"' || unit == '\'';
}

// Only ASCII letters match without regard to case, also in decoded files.
unsigned foldCase(unsigned unit) {
  return unit - 'A' < 26u ? unit + ('a' - 'A') : unit;
}

// A lookup name, trimmed of blanks at both ends.
struct Name {
  const unsigned char* bytes;
  std::size_t length;
};

Name trimmedName(const char* text) {
  const auto* begin = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = begin + std::strlen(text);
  while (begin < end && isBlank(*begin)) ++begin;
  while (end > begin && isBlank(end[-1])) --end;
  return {begin, static_cast<std::size_t>(end - begin)};
}

// A byte of a lookup name as the scanner's unit: itself in a byte file, its UTF-16 code
// unit in a decoded one.
template <typename Unit>
unsigned widenLookupByte(unsigned char byte);

template <>
unsigned widenLookupByte<unsigned char>(unsigned char byte) {
  return byte;
}

template <>
unsigned widenLookupByte<char16_t>(unsigned char byte) {
  return code_page_1252::toUtf16(byte);
}

char narrowUnit(unsigned char unit) {
  return static_cast<char>(unit);
}

char narrowUnit(char16_t unit) {
  return static_cast<char>(code_page_1252::fromUtf16(unit));
}

const unsigned char* findByte(const unsigned char* from, const unsigned char* end, int byte) {
  const void* found = std::memchr(from, byte, static_cast<std::size_t>(end - from));
  return found != nullptr ? static_cast<const unsigned char*>(found) : end;
}

const unsigned char* findUnit(const unsigned char* from, const unsigned char* end,
                              unsigned char unit) {
  return findByte(from, end, unit);
}

// A unit is found by a byte search for its low byte, and each hit is checked as a whole
// unit: memchr is several times faster than a loop over units, and the check makes the
// result independent of the host's byte order.
const char16_t* findUnit(const char16_t* from, const char16_t* end, char16_t unit) {
  const auto* base = reinterpret_cast<const unsigned char*>(from);
  const auto* bytesEnd = reinterpret_cast<const unsigned char*>(end);
  const auto low = static_cast<unsigned char>(unit & 0xFF);
  for (const unsigned char* at = base; (at = findByte(at, bytesEnd, low)) != bytesEnd; ++at) {
    const char16_t* candidate = from + (at - base) / 2;
    if (*candidate == unit) return candidate;
  }
  return end;
}

// Finds the next CR or LF in a chunk: once for LF and once for a CR before it. The LF found
// is remembered, so a file whose lines end in CR alone is not searched to the end of the
// chunk once per line.
template <typename Unit>
struct LineEndFinder {
  const Unit* nextLineFeed = nullptr;

  void reset() { nextLineFeed = nullptr; }
  const Unit* find(const Unit* from, const Unit* end) {
    if (nextLineFeed == nullptr || nextLineFeed < from) nextLineFeed = findUnit(from, end, '\n');
    return findUnit(from, nextLineFeed, '\r');
  }
};

// The file's bytes, a chunk at a time. Unconsumed bytes move to the front when more are
// read, so a decoder can carry a partial character over into the next chunk.
struct ByteReader {
  ByteSource source;
  unsigned char* bytes;   // READ_CAPACITY of them
  std::size_t next = 0;   // the first unconsumed byte
  std::size_t count = 0;  // bytes held
  bool ended = false;     // the source has reported its end

  std::size_t unconsumed() const { return count - next; }

  // Reads more bytes after the unconsumed ones. False when the source has no more.
  bool readMore() {
    if (ended) return false;
    std::memmove(bytes, bytes + next, count - next);
    count -= next;
    next = 0;
    std::size_t room = READ_CAPACITY - count;
    std::size_t got = source.read(source.context, bytes + count, room);
    if (got == 0) ended = true;
    count += got < room ? got : room;
    return got != 0;
  }
};

// The bytes of a file without a byte-order mark, as they are.
class ByteInput {
 public:
  using Unit = unsigned char;

  explicit ByteInput(ByteReader& reader) : reader_(reader) {}

  bool fill(const Unit*& begin, const Unit*& end) {
    if (reader_.unconsumed() == 0 && !reader_.readMore()) return false;
    begin = reader_.bytes + reader_.next;
    end = reader_.bytes + reader_.count;
    reader_.next = reader_.count;
    return true;
  }

 private:
  ByteReader& reader_;
};

// UTF-16 code units from byte pairs. A file of odd length ends in a lone byte, which still
// becomes a character: the one of that byte's value, in either byte order. (The platform's
// reader pairs it with whatever byte lies past the file's data, which is most often 0.)
class Utf16Input {
 public:
  using Unit = char16_t;

  Utf16Input(ByteReader& reader, bool bigEndian) : reader_(reader), bigEndian_(bigEndian) {}

  bool fill(const Unit*& begin, const Unit*& end) {
    while (reader_.unconsumed() < 2 && reader_.readMore()) {
    }
    std::size_t pairs = reader_.unconsumed() / 2;
    std::size_t count = pairs < UNIT_CAPACITY ? pairs : UNIT_CAPACITY;
    const unsigned char* bytes = reader_.bytes + reader_.next;
    if (bigEndian_) {
      decodePairs<0, 1>(bytes, count);
    } else {
      decodePairs<1, 0>(bytes, count);
    }
    reader_.next += 2 * count;
    if (count == 0 && reader_.unconsumed() == 1) units_[count++] = reader_.bytes[reader_.next++];
    begin = units_;
    end = units_ + count;
    return count != 0;
  }

 private:
  // One loop for each byte order, so that the compiler can vectorise it.
  template <int HIGH, int LOW>
  void decodePairs(const unsigned char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned high = bytes[2 * i + HIGH];
      const unsigned low = bytes[2 * i + LOW];
      units_[i] = static_cast<char16_t>(high << 8 | low);
    }
  }

  ByteReader& reader_;
  bool bigEndian_;
  char16_t units_[UNIT_CAPACITY];
};

// The second byte of a sequence is narrower after some leads: this excludes overlong
// forms, surrogates and code points past U+10FFFF.
bool secondByteFits(unsigned char lead, unsigned char second) {
  if (lead == 0xE0) return second >= 0xA0;
  if (lead == 0xED) return second <= 0x9F;
  if (lead == 0xF0) return second >= 0x90;
  if (lead == 0xF4) return second <= 0x8F;
  return true;
}

// UTF-16 code units from UTF-8, with the faults handled as Windows' UTF-8 conversion
// handles them (measured): a byte that starts no sequence gives U+FFFD; a sequence cut
// short by a byte that does not continue it gives one U+FFFD for the bytes before that
// byte, and so does one whose second byte is a continuation out of range, for both bytes;
// a sequence that would run past the end of the file gives one U+FFFD for all that is left.
// Lenient, unlike the file names' decoder: a file's text is read as Windows reads it, and
// every fault becomes a U+FFFD that narrows to "?".
class Utf8Input {
 public:
  using Unit = char16_t;

  explicit Utf8Input(ByteReader& reader) : reader_(reader) {}

  bool fill(const Unit*& begin, const Unit*& end) {
    for (;;) {
      std::size_t count = decode();
      if (count != 0) {
        begin = units_;
        end = units_ + count;
        return true;
      }
      if (!reader_.readMore() && reader_.unconsumed() == 0) return false;
    }
  }

 private:
  // Decodes what the chunk holds, up to a sequence that may continue in the next one.
  std::size_t decode() {
    std::size_t count = 0;
    while (count + 1 < UNIT_CAPACITY && reader_.next < reader_.count) {
      const unsigned char* at = reader_.bytes + reader_.next;
      if (*at < 0x80) {
        units_[count++] = *at;
        ++reader_.next;
        continue;
      }
      std::size_t used = decodeSequence(at, reader_.count - reader_.next, count);
      if (used == 0) break;
      reader_.next += used;
    }
    return count;
  }

  // Decodes the sequence at `at` into units_[count...]; returns the bytes it took, 0 when
  // more bytes must be read to tell.
  std::size_t decodeSequence(const unsigned char* at, std::size_t available, std::size_t& count) {
    std::size_t length = utf8::sequenceLength(at[0]);
    if (length > available && !reader_.ended) return 0;
    std::size_t faulty = faultyLength(at, length, available);
    if (faulty == 0) return storeCodePoint(at, length, count);
    units_[count++] = REPLACEMENT_CHARACTER;
    return faulty;
  }

  // How many bytes one U+FFFD stands for at `at`; 0 when the sequence is whole and sound.
  static std::size_t faultyLength(const unsigned char* at, std::size_t length,
                                  std::size_t available) {
    if (length == 1) return 1;
    if (length > available) return available;
    if (!utf8::isContinuation(at[1])) return 1;
    if (!secondByteFits(at[0], at[1])) return 2;
    std::size_t used = 2;
    while (used < length && utf8::isContinuation(at[used])) ++used;
    return used == length ? 0 : used;
  }

  std::size_t storeCodePoint(const unsigned char* at, std::size_t length, std::size_t& count) {
    unsigned long point = utf8::leadBits(at[0], length);
    for (std::size_t i = 1; i < length; ++i) point = point << 6 | (at[i] & 0x3Fu);
    if (point < 0x10000) {
      units_[count++] = static_cast<char16_t>(point);
    } else {
      point -= 0x10000;
      units_[count++] = static_cast<char16_t>(0xD800 + (point >> 10));
      units_[count++] = static_cast<char16_t>(0xDC00 + (point & 0x3FF));
    }
    return length;
  }

  ByteReader& reader_;
  char16_t units_[UNIT_CAPACITY];
};

// Collects the value as it streams past. Its bytes go straight into the destination (at
// most `limit`); a leading quote mark is held back until the end shows whether it pairs
// with the last unit. Trailing blanks are written but counted only when more text follows.
class ValueSink {
 public:
  ValueSink(char* destination, std::size_t limit) : destination_(destination), limit_(limit) {}

  template <typename Unit>
  void take(Unit unit) {
    if (!started_) {
      started_ = true;
      if (isQuoteMark(unit)) {
        quote_ = static_cast<char>(unit);
        return;
      }
    }
    if (taken_ < limit_) destination_[taken_] = narrowUnit(unit);
    ++taken_;
    if (!isBlank(unit)) {
      kept_ = taken_;
      last_ = unit;
    }
  }

  // The length of the value in the destination. A NUL ends the value where it stands,
  // after the trimming: the blanks before it stay.
  std::size_t finish(bool endedByNul) {
    std::size_t after = endedByNul ? taken_ : kept_;  // units after a held quote mark
    if (quote_ == 0) return after < limit_ ? after : limit_;
    unsigned lastUnit = after == 0 ? 0 : (after > kept_ ? ' ' : last_);
    if (lastUnit == static_cast<unsigned>(quote_)) return after - 1 < limit_ ? after - 1 : limit_;
    std::size_t length = after + 1 < limit_ ? after + 1 : limit_;
    if (length > 0) {
      std::memmove(destination_ + 1, destination_, length - 1);
      destination_[0] = quote_;
    }
    return length;
  }

 private:
  char* destination_;
  std::size_t limit_;
  bool started_ = false;
  char quote_ = 0;         // the held leading quote mark, or 0
  std::size_t taken_ = 0;  // units after the quote mark, blanks included
  std::size_t kept_ = 0;   // of those, up to the last one that is not a blank
  unsigned last_ = 0;      // that last unit
};

// Everything before the line end (or end of file) that follows `from`, back to `anchor`, is
// blank: true when a line end comes first, `atAnchor` when the anchor does.
template <typename Unit>
bool onlyBlanksBack(const Unit* anchor, const Unit* from, bool atAnchor) {
  while (from != anchor) {
    --from;
    if (!isBlank(*from)) return isLineEnd(*from);
  }
  return atAnchor;
}

enum class Entry { OTHER, HEADER, NO_VALUE, VALUE };

template <typename Input>
class Scanner {
 public:
  using Unit = typename Input::Unit;

  explicit Scanner(Input& input) : input_(input) {}

  // The length of the value of `key` in `section` placed into `destination`, 0 if none.
  std::size_t lookup(Name section, Name key, char* destination, std::size_t capacity) {
    if (section.length > 0 && !findSection(section)) return 0;
    ValueSink sink(destination, capacity - 1);
    return findValue(key, sink);
  }

 private:
  // True while there is a unit at next_; reads the next chunk when this one is used up.
  bool more() {
    if (next_ != end_) return true;
    anchorAtLineStart_ = onlyBlanksBack(anchor_, end_, anchorAtLineStart_);
    if (!input_.fill(next_, end_)) return false;
    anchor_ = next_;
    lineEnds_.reset();
    return true;
  }

  bool skipBlanks() {
    bool skipped = false;
    for (; more() && isBlank(*next_); ++next_) skipped = true;
    return skipped;
  }

  bool fitsName(unsigned unit, Name name, std::size_t index) const {
    if (index >= name.length) return isBlank(unit);
    return foldCase(unit) == foldCase(widenLookupByte<Unit>(name.bytes[index]));
  }

  // Moves up to the line end; true when a "]" came before it.
  bool restOfLineHasBracket() {
    bool seen = false;
    for (; more() && !isLineEnd(*next_); ++next_) seen = seen || *next_ == ']';
    return seen;
  }

  // Moves up to the line end. For a line that starts with "[", true when it holds a "]",
  // which makes it a header.
  bool skipLine(bool bracketLine) {
    if (bracketLine) return restOfLineHasBracket();
    while (more()) {
      next_ = lineEnds_.find(next_, end_);
      if (next_ != end_) break;
    }
    return false;
  }

  // Moves past the "[" of the next line that starts with one, blanks aside. False at the
  // end of the file. Only such lines can be headers, so nothing else is looked at.
  bool nextBracketLine() {
    while (more()) {
      const Unit* bracket = findUnit(next_, end_, Unit('['));
      next_ = bracket == end_ ? end_ : bracket + 1;
      if (bracket != end_ && onlyBlanksBack(anchor_, bracket, anchorAtLineStart_)) return true;
    }
    return false;
  }

  // After a line's "[": whether the line is a header named `section`. The name runs to the
  // last "]" on the line and is trimmed, then cut at a NUL.
  bool headerNameIs(Name section) {
    skipBlanks();
    for (std::size_t i = 0; i < section.length; ++i, ++next_) {
      if (!more() || isLineEnd(*next_) || !fitsName(*next_, section, i)) return false;
    }
    bool blanksAfterName = skipBlanks();
    if (!more()) return false;
    if (*next_ == ']') {
      ++next_;
      return !restOfLineHasBracket();
    }
    return *next_ == 0 && !blanksAfterName && restOfLineHasBracket();
  }

  bool findSection(Name section) {
    while (nextBracketLine()) {
      if (headerNameIs(section)) return true;
    }
    return false;
  }

  // Scans the section's lines for the first whose name is `key`; stops at a header.
  std::size_t findValue(Name key, ValueSink& sink) {
    for (;;) {
      skipBlanks();
      if (!more()) return 0;
      if (isLineEnd(*next_)) {
        ++next_;
        continue;
      }
      bool bracketLine = *next_ == '[';
      Entry entry = matchEntryName(key, bracketLine);
      if (entry == Entry::VALUE) return readValue(bracketLine, sink);
      if (entry != Entry::OTHER || skipLine(bracketLine)) return 0;
    }
  }

  // Reads a line's name (the trimmed text before its first "=") as far as needed to tell
  // whether it is `key`. A line starting with "[" that holds a "]" is a header instead.
  Entry matchEntryName(Name key, bool bracketLine) {
    std::size_t index = 0;
    for (; more() && !isLineEnd(*next_); ++index) {
      Unit unit = *next_++;
      if (unit == '=') return index >= key.length ? Entry::VALUE : Entry::OTHER;
      if (unit == 0) return afterNulInName(index == key.length, bracketLine);
      if (bracketLine && unit == ']') return Entry::HEADER;
      if (!fitsName(unit, key, index)) return Entry::OTHER;
    }
    return index >= key.length ? Entry::NO_VALUE : Entry::OTHER;
  }

  // A NUL has cut the name; the line's "=" (and "]") still count after it.
  Entry afterNulInName(bool nameMatches, bool bracketLine) {
    if (!nameMatches) return Entry::OTHER;
    while (more() && !isLineEnd(*next_)) {
      Unit unit = *next_++;
      if (unit == '=') return Entry::VALUE;
      if (bracketLine && unit == ']') return Entry::HEADER;
    }
    return Entry::NO_VALUE;
  }

  std::size_t readValue(bool bracketLine, ValueSink& sink) {
    skipBlanks();
    while (more() && !isLineEnd(*next_)) {
      Unit unit = *next_++;
      if (unit == 0) return bracketLine && restOfLineHasBracket() ? 0 : sink.finish(true);
      if (bracketLine && unit == ']') return 0;
      sink.take(unit);
    }
    return sink.finish(false);
  }

  Input& input_;
  const Unit* next_ = nullptr;
  const Unit* end_ = nullptr;
  const Unit* anchor_ = nullptr;   // the start of the chunk
  bool anchorAtLineStart_ = true;  // only blanks lie between the last line end and anchor_
  LineEndFinder<Unit> lineEnds_;
};

struct Lookup {
  Name section;
  Name key;
  char* destination;
  std::size_t capacity;
};

template <typename Input, typename... Options>
std::size_t lookupWith(ByteReader& reader, const Lookup& lookup, Options... options) {
  Input input(reader, options...);
  Scanner<Input> scanner(input);
  return scanner.lookup(lookup.section, lookup.key, lookup.destination, lookup.capacity);
}

bool startsWith(const ByteReader& reader, const char* mark, std::size_t length) {
  return reader.count >= length && std::memcmp(reader.bytes, mark, length) == 0;
}

std::size_t lookupByEncoding(ByteReader& reader, const Lookup& lookup) {
  if (startsWith(reader, "\xFF\xFE", 2) || startsWith(reader, "\xFE\xFF", 2)) {
    bool bigEndian = reader.bytes[0] == 0xFE;
    reader.next = 2;
    return lookupWith<Utf16Input>(reader, lookup, bigEndian);
  }
  if (startsWith(reader, "\xEF\xBB\xBF", 3)) {
    reader.next = 3;
    return lookupWith<Utf8Input>(reader, lookup);
  }
  return lookupWith<ByteInput>(reader, lookup);
}

struct MemoryBytes {
  const unsigned char* bytes;
  std::size_t size;
};

std::size_t readMemory(void* context, unsigned char* buffer, std::size_t capacity) {
  auto* memory = static_cast<MemoryBytes*>(context);
  std::size_t count = memory->size < capacity ? memory->size : capacity;
  if (count != 0) std::memcpy(buffer, memory->bytes, count);
  memory->bytes += count;
  memory->size -= count;
  return count;
}

// Names of 32,767 bytes or more, counted before blanks are trimmed, do not reach Windows'
// reader whole (measured under Wine; 32,766 still finds its line): such a section finds
// nothing, and such a key is taken as the empty name, so it finds a line "=value".
constexpr std::size_t NAME_LIMIT = 32767;

bool isTooLong(const char* name) {
  return std::strlen(name) >= NAME_LIMIT;
}

}  // namespace

std::size_t lookupProfileString(ByteSource source, const char* section, const char* key,
                                char* destination, std::size_t capacity) {
  if (capacity == 0) return 0;
  std::size_t length = 0;
  if (section != nullptr && key != nullptr && !isTooLong(section)) {
    Lookup lookup{trimmedName(section), trimmedName(isTooLong(key) ? "" : key), destination,
                  capacity};
    unsigned char bytes[READ_CAPACITY];
    ByteReader reader{source, bytes};
    while (reader.count < 3 && reader.readMore()) {
    }
    length = lookupByEncoding(reader, lookup);
  }
  destination[length] = '\0';
  return length;
}

std::size_t lookupProfileStringInMemory(const void* bytes, std::size_t size, const char* section,
                                        const char* key, char* destination, std::size_t capacity) {
  MemoryBytes memory{static_cast<const unsigned char*>(bytes), size};
  return lookupProfileString(ByteSource{readMemory, &memory}, section, key, destination, capacity);
}

}  // namespace inf
