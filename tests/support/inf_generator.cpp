#include "tests/support/inf_generator.h"

#include <string_view>
#include <utility>

namespace support {

namespace {

// Text is built as code points and encoded at the end; in a single-byte file every code
// point is one byte.
using Text = std::u32string;

constexpr char32_t BLANKS[] = {U' ', U' ', U' ', U'\t', U'\t', 0x0B, 0x0C, 0x1A};
// Bytes and characters that look blank but are not trimmed, or are questionable.
constexpr char32_t NEAR_BLANKS_ANSI[] = {0xA0, 0x1B, 0x1F, 0x7F, 0x08};
constexpr char32_t NEAR_BLANKS_UNICODE[] = {0xA0, 0x3000, 0x2003, 0x85, 0xFEFF, 0x1F};
constexpr char32_t HIGH_ANSI[] = {0xC4, 0xE4, 0xE9, 0xC9, 0xA0, 0x96, 0xFF, 0x81, 0x8D,
                                  0xC0, 0xE0, 0xDF, 0x9F, 0x80, 0xB5, 0x8A, 0x9A};
constexpr char32_t HIGH_UNICODE[] = {0xE9,   0xC9,   0xC4,   0xE4,    0xA0,   0x2013, 0x20AC,
                                     0x4E2D, 0x0100, 0x0101, 0x1F600, 0x81,   0x212A, 0x0131,
                                     0x0130, 0xFF,   0x178,  0xFFFD,  0x2028, 0x0160, 0x0161};
constexpr char32_t HIGH_UTF16_ONLY[] = {0xD800, 0xDC00, 0xDBFF, 0xFFFE, 0xFFFF};
// Invalid UTF-8: overlong forms (C0 80 is an overlong NUL), a surrogate, a code point
// beyond U+10FFFF, a five-byte form, cut sequences. Each ends at its first 0.
constexpr unsigned char BAD_UTF8[][6] = {{0xC0, 0x80},
                                         {0xE0, 0x80, 0x80},
                                         {0xED, 0xB0, 0x80},
                                         {0xF4, 0x90, 0x80, 0x80},
                                         {0xF0, 0x9F, 0x98},
                                         {0xF8, 0x88, 0x80, 0x80, 0x80},
                                         {0xC3},
                                         {0xE2, 0x80}};
constexpr char32_t HIGH_UTF8_ONLY[] = {RAW_BYTE + 0xFF, RAW_BYTE + 0x80, RAW_BYTE + 0xC3,
                                       RAW_BYTE + 0xE2, 0xD800};

// Code page 1252 at 0x80-0x9F; 0 where the page has no character (the byte then maps to
// the control character of the same value).
constexpr char32_t CP1252_HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

const std::u32string_view SECTION_NAMES[] = {
    U"Version",         U"Strings",        U"Manufacturer",
    U"Models",          U"Models.NTamd64", U"SourceDisksNames",
    U"DestinationDirs", U"Install",        U"Install.Services",
    U"Other",           U"Strings.0409",   U"A"};
const std::u32string_view KEY_NAMES[] = {
    // what [Version] and [Manufacturer] hold
    U"Signature", U"Class", U"ClassGuid", U"Provider", U"DriverVer", U"CatalogFile", U"%MfgName%",
    // the device keys and the strings they name
    U"%DeviceDesc%", U"%DeviceDesc.Flash%", U"DeviceDesc", U"DeviceDesc.Flash", U"P", U"MfgName",
    // install sections' keys, and short names
    U"DiskName", U"HKR", U"AddReg", U"CopyFiles", U"1", U"k", U"ServiceBinary"};
const std::u32string_view PLAIN_VALUES[] = {
    // as real files write them
    U"%P%", U"Models,NTamd64", U"Models", U"Install, USB\\VID_0BDB&PID_100E",
    U"Install,USB\\VID_0FCE&PID_ADDE", U"06/21/2006,6.1.7600.16385", U"\"$Windows NT$\"",
    U"{36fc9e60-c465-11cf-8056-444553540000}",
    // inner blanks, comments and "="
    U"abc", U"a  b", U"1 ; comment", U"a=b=c",
    // quotes: paired, unpaired, doubled, single
    U"\"a\"b\"", U"'x'", U"'abc\"", U"\"abc", U"abc\"", U"\"", U"'", U"''", U"\"\"", U"\"\"USB\"\"",
    U"\" abc \"x", U"\"USB \"\"Flash\"\" Drive\"", U"\"abc\" ; c",
    // stray percent signs, a last backslash, text that looks like syntax
    U"%P%r%", U"%%", U"\"%P%\"", U"a\\", U"HKR,,DeviceCharacteristics,0x10001,0x100",
    U"1 = %DiskName%,,,\"\"", U"; not a comment", U"[x]"};
// Lines that hold neither a header nor an entry, or look like one.
const std::u32string_view NOISE_LINES[] = {
    // empty and comment lines
    U"", U"; a comment line", U";Provider=commented",
    // lines without a name or without "=", stray brackets
    U"=emptyname", U"=", U"[", U"]", U"\\", U"noequals", U"[]", U"[ \t ]",
    // a lone ";", a name that starts with "#", a comment after blanks
    U";", U"#d=4", U"  ;c=3"};
using namespace std::string_view_literals;  // for the NULs in SPECIAL_FILES
constexpr std::string_view SPECIAL_FILES[] = {
    // empty, or a byte-order mark alone
    ""sv, "\xFF\xFE"sv, "\xFE\xFF"sv, "\xEF\xBB\xBF"sv,
    // one short section: in UTF-16, cut inside a UTF-8 sequence, ended by Ctrl-Z
    "\xFF\xFE[\0A\0]\0\r\0\n\0z\0=\0e\0n\0d\0"sv, "\xEF\xBB\xBF[A]\nz=\xC3"sv,
    "[A]\r\nz=end\x1A"sv};
constexpr const char* DEVICE_IDS[] = {FIRST_ID, SECOND_ID};

// Letters above 0x7F in their other case (Latin-1 and a few others), which the Windows
// reader does not fold.
Text otherCaseAboveAscii(Text name) {
  for (char32_t& c : name) {
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || c == 0x100 || c == 0x160) {
      c += c >= 0x100 ? 1 : 0x20;
    } else if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || c == 0x101 || c == 0x161) {
      c -= c >= 0x100 ? 1 : 0x20;
    } else if (c == 0x8A || c == 0x9A) {
      c ^= 0x10;  // the two cases of S with caron in code page 1252
    }
  }
  return name;
}

// Characters outside code page 1252 spelled with the ASCII letter they resemble.
Text lookalikeSpelling(Text name) {
  constexpr std::pair<char32_t, char32_t> LOOKALIKES[] = {
      {0x212A, U'K'}, {0x0130, U'I'}, {0x0131, U'i'}, {0x0100, U'A'}, {0x0101, U'a'}};
  for (char32_t& c : name) {
    for (const auto& [from, to] : LOOKALIKES) {
      if (c == from) c = to;
    }
  }
  return name;
}

char32_t asciiInCase(char32_t c, bool upper) {
  if (upper) return c >= U'a' && c <= U'z' ? c - 0x20 : c;
  return c >= U'A' && c <= U'Z' ? c + 0x20 : c;
}

// The byte code page 1252 gives a character; '?' where it has none.
std::string ansiBytes(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) || (c < 0xA0 && CP1252_HIGH[c - 0x80] == 0)) {
    return std::string(1, static_cast<char>(c));
  }
  for (unsigned i = 0; i < 32; ++i) {
    if (CP1252_HIGH[i] == c) return std::string(1, static_cast<char>(0x80 + i));
  }
  return c >= 0x10000 && c < RAW_BYTE ? "??" : "?";
}

// The bytes a caller passes to look up a name written in the file: names end at a NUL,
// and decoded files are matched in code page 1252.
std::string lookupName(const Text& name, Encoding encoding) {
  const Text kept = name.substr(0, name.find(U'\0'));
  if (encoding == Encoding::ANSI || encoding == Encoding::UTF8_PLAIN) {
    return encodeText(kept, encoding);
  }
  std::string bytes;
  for (const char32_t c : kept) bytes += ansiBytes(c);
  return bytes;
}

constexpr Share<Encoding> ENCODINGS[] = {
    {55, Encoding::ANSI},        {67, Encoding::UTF16LE_BOM}, {77, Encoding::UTF8_BOM},
    {85, Encoding::UTF16BE_BOM}, {95, Encoding::UTF8_PLAIN},  {100, Encoding::UTF16LE_PLAIN}};
constexpr Share<LineEnd> LINE_ENDS[] = {
    {45, LineEnd::CRLF}, {65, LineEnd::LF}, {75, LineEnd::CR}, {100, LineEnd::MIXED}};

// Builds one file line by line and remembers the lookups worth making on it.
class InfBuilder {
 public:
  InfBuilder(Random& random, Encoding encoding)
      : random_(random),
        encoding_(encoding),
        lineEnd_(random.share(LINE_ENDS)),
        tame_(random.percent(35)) {}

  // Mostly nothing or one blank; now and then a run of mixed ones.
  Text blanks() {
    const std::size_t roll = random_.below(10);
    if (roll < 5) return Text();
    Text run(1, random_.pick(BLANKS));
    for (std::size_t extra = roll < 8 ? 0 : random_.below(4); extra > 0; --extra) {
      run += random_.pick(BLANKS);
    }
    return run;
  }

  Text oddBlank() {
    return Text(1, unicode() ? random_.pick(NEAR_BLANKS_UNICODE) : random_.pick(NEAR_BLANKS_ANSI));
  }

  char32_t highChar() {
    if (!unicode()) return random_.pick(HIGH_ANSI);
    if (random_.percent(85)) return random_.pick(HIGH_UNICODE);
    const bool wide = encoding_ != Encoding::UTF8_BOM && encoding_ != Encoding::UTF8_PLAIN;
    return wide ? random_.pick(HIGH_UTF16_ONLY) : random_.pick(HIGH_UTF8_ONLY);
  }

  // One character above 0x7F or, in UTF-8, now and then an invalid sequence. Never a lone
  // byte in UTF-16: the Windows reader under Wine turns an odd last byte into a character
  // whose other half is whatever its buffer held before ("A", "?", "L" were seen for 0x41).
  Text highText() {
    const bool utf8 = encoding_ == Encoding::UTF8_BOM || encoding_ == Encoding::UTF8_PLAIN;
    if (!utf8 || !random_.percent(15)) return Text(1, highChar());
    Text sequence;
    for (const unsigned char byte : random_.pick(BAD_UTF8)) {
      if (byte == 0) break;
      sequence += static_cast<char32_t>(RAW_BYTE + byte);
    }
    return sequence;
  }

  // `text` with what `draw` gives inserted at a place, which is drawn first.
  Text withInserted(Text text, Text (InfBuilder::*draw)()) {
    const std::size_t at = random_.below(text.size() + 1);
    return text.insert(at, (this->*draw)());
  }

  // A name in another case, or with a byte above 0x7F, a blank or a NUL inside.
  Text mangled(Text name) {
    if (random_.percent(25)) {
      for (char32_t& c : name) c = asciiInCase(c, !random_.percent(50));
    }
    if (rare(12)) name = withInserted(name, &InfBuilder::highText);
    if (rare(4)) name.insert(random_.below(name.size() + 1), 1, U' ');
    if (rare(4)) name = withInserted(name, &InfBuilder::oddBlank);
    if (rare(4)) name.insert(random_.below(name.size() + 1), 1, U'\0');
    if (rare(4)) name += longText(250 + random_.below(60));
    return name;
  }

  Text sectionName() {
    Text name = mangled(Text(random_.pick(SECTION_NAMES)));
    const std::size_t roll = random_.below(100);
    if (roll < 3) return Text();
    if (roll < 6) return name + U"]";
    if (roll < 8) return U"[" + name;
    return name;
  }

  Text keyName() {
    Text name = mangled(Text(random_.pick(KEY_NAMES)));
    const std::size_t roll = random_.below(100);
    if (roll < 4) return Text();
    if (roll < 10) return U";" + name;
    if (roll < 12) return U"[" + name;
    if (roll < 14) return U"#" + name;
    return name;
  }

  // A run of one repeated character, or of varied ones.
  Text longText(std::size_t length) {
    if (random_.percent(50)) return Text(length, random_.percent(50) ? U'x' : highChar());
    Text run;
    for (std::size_t i = 0; i < length; ++i) {
      run += random_.percent(10) ? highChar() : static_cast<char32_t>(U'a' + random_.below(26));
    }
    return run;
  }

  // Values around the 259-byte capacity, quoted or not, and the long tail beyond it.
  Text longValue() {
    constexpr std::size_t LENGTHS[] = {255, 256, 257, 258, 259, 260, 261, 262, 300, 1024, 70000};
    std::size_t length = random_.pick(LENGTHS);
    if (length == 70000 && random_.percent(80)) length = 4000;
    Text inner = longText(length);
    if (random_.percent(30)) inner.back() = U' ';
    if (random_.percent(50)) return inner;
    const char32_t quote = random_.percent(80) ? U'"' : U'\'';
    return quote + inner + quote;
  }

  Text quotedValue() {
    const char32_t quote = random_.percent(75) ? U'"' : U'\'';
    Text inner = join({blanks(), random_.pick(PLAIN_VALUES), blanks()});
    const std::size_t roll = random_.below(10);
    if (roll < 6) return quote + inner + quote;
    if (roll < 8) return quote + inner;
    return inner + quote;
  }

  Text value() {
    std::size_t roll = random_.below(100);
    if (roll >= 68 && roll < 76 && !rare(100)) roll = 0;  // NULs are for hostile files
    Text plain = Text(random_.pick(PLAIN_VALUES));
    if (roll < 35) return plain;
    if (roll < 50) return quotedValue();
    if (roll < 60) return longValue();
    if (roll < 68) return withInserted(plain, &InfBuilder::highText);
    if (roll < 73) return plain.insert(random_.below(plain.size() + 1), 1, U'\0');
    if (roll < 76) return plain + blanks() + U'\0' + plain;
    if (roll < 80) return Text();
    if (roll < 85) return plain + oddBlank();
    if (roll < 90) return join({blanks(), plain, U" ; comment", blanks()});
    return plain + blanks() + plain;
  }

  void header(const Text& name) {
    section_ = name;
    const Text body = join({blanks(), U"[", blanks(), name, blanks(), U"]"});
    constexpr std::u32string_view TAILS[] = {U"",  U"",           U"",  U" ; comment",
                                             U"]", U" ; see [x]", U"x", U"\t"};
    if (careful_) {
      raw(body + (random_.percent(20) ? U" ; comment" : U""));
      return;
    }
    const std::size_t roll = rare(100) ? random_.below(100) : 100;
    if (roll < 4) {
      raw(blanks() + U"[" + name);  // no closing bracket: an ordinary line
    } else if (roll < 6) {
      raw(U'\0' + body);
    } else if (roll < 8) {
      raw(U"x" + body);
    } else {
      raw(body + Text(random_.pick(TAILS)));
    }
  }

  // An entry of any name and value, the name drawn first.
  void anyEntry() {
    const Text key = keyName();
    entry(key, value());
  }

  void entry(const Text& key, const Text& value) {
    const std::size_t roll = careful_ ? 100 : random_.below(100);
    if (roll < 5) {
      raw(join({blanks(), key, blanks()}));  // a name without a value
    } else {
      raw(join({blanks(), key, blanks(), U"=", blanks(), value, blanks()}));
    }
    probeVariants(section_, key);
  }

  void noiseLine() {
    const std::size_t roll = random_.below(100);
    const Text noise = Text(random_.pick(NOISE_LINES));
    if (careful_ && noise.find(U']') != Text::npos) return;
    if (roll < 70) {
      raw(noise);
    } else if (roll < 80) {
      raw(join({blanks(), oddBlank(), blanks()}));
    } else if (roll < 90) {
      raw(join({Text(1, U'\0'), keyName(), U"=", value()}));
    } else {
      raw(longText(300 + random_.below(400)));
    }
    probe(section_, U";Provider");
    probe(section_, U"");
  }

  void raw(const Text& line) { lines_.push_back(line); }
  void probe(const Text& section, const Text& key) {
    probes_.push_back({lookupName(section, encoding_), lookupName(key, encoding_)});
  }

  // The name as written and a few spellings that should (or should not) reach it.
  void probeVariants(const Text& section, const Text& key) {
    probe(section, key);
    if (random_.percent(40)) probe(mangled(section), key);
    if (random_.percent(40)) probe(section, mangled(key));
    if (random_.percent(20)) probe(join({blanks(), section, blanks()}), U"\t" + key + U" ");
    // Joined, not added: GCC 12 at -O3 warns of overlapping copies in key + oddBlank().
    if (random_.percent(10)) probe(section, join({key, oddBlank()}));
    if (random_.percent(10) && !key.empty()) probe(section, key.substr(0, key.size() - 1));
    if (random_.percent(10)) probe(Text(), key);
    if (random_.percent(3)) probe(section, key + U"=");
    for (const Text& spelling : {otherCaseAboveAscii(key), lookalikeSpelling(key)}) {
      if (spelling != key) probe(section, spelling);
    }
    const Text sectionSpelling = otherCaseAboveAscii(section);
    if (sectionSpelling != section) probe(sectionSpelling, key);
  }

  GeneratedFile finish() {
    Text content;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      content += lines_[i];
      if (i + 1 < lines_.size() || random_.percent(85)) content += lineEnd();
    }
    std::string bytes = std::string(byteOrderMark(encoding_)) + encodeText(content, encoding_);
    probe(U"Version", U"Provider");
    probe(U"", U"");
    probe(U"Strings", U"");
    probe(U"No such section", U"k");
    return {std::move(bytes), std::move(probes_)};
  }

  Random& random() { return random_; }
  // A hostile feature: a quarter as likely in the tamer files, which look like real ones.
  bool rare(unsigned chance) { return random_.percent(tame_ ? chance / 4 : chance); }
  // While careful, headers and entries come out as written, and noise starts no section:
  // for the lines a package needs to be found.
  void setCareful(bool careful) { careful_ = careful; }
  bool unicode() const { return encoding_ != Encoding::ANSI; }

 private:
  Text lineEnd() {
    // The file's own line end, or in mixed files any of them and the odd pairs.
    constexpr std::u32string_view ENDS[] = {U"\r\n", U"\n", U"\r", U"\r\r\n", U"\n\r"};
    if (lineEnd_ == LineEnd::MIXED) return Text(random_.pick(ENDS));
    return Text(ENDS[static_cast<std::size_t>(lineEnd_)]);
  }

  Random& random_;
  Encoding encoding_;
  LineEnd lineEnd_;
  bool tame_;
  bool careful_ = false;
  std::vector<Text> lines_;
  Text section_;
  std::vector<LookupProbe> probes_;
};

void hostileSection(InfBuilder& builder) {
  Random& random = builder.random();
  builder.header(builder.sectionName());
  for (std::size_t lines = random.below(9); lines > 0; --lines) {
    if (random.percent(75)) {
      builder.anyEntry();
    } else {
      builder.noiseLine();
    }
  }
}

// Names around the longest the Windows reader takes (32766 bytes), and the lookups of them.
void longestNames(InfBuilder& builder) {
  const Text name(32765 + builder.random().below(4), U'n');
  builder.header(name);
  builder.entry(U"k", U"v");
  builder.entry(name, U"w");
}

void hostileContent(InfBuilder& builder) {
  Random& random = builder.random();
  if (random.percent(2)) longestNames(builder);
  if (random.percent(30)) {
    for (std::size_t lines = 1 + random.below(3); lines > 0; --lines) {
      builder.anyEntry();
    }
  }
  for (std::size_t sections = 1 + random.below(7); sections > 0; --sections) {
    hostileSection(builder);
  }
}

// Noise between the lines a match needs; it never starts a section.
void sprinkle(InfBuilder& builder) {
  if (builder.random().percent(25)) builder.noiseLine();
  const Text key = builder.keyName();
  if (builder.random().percent(10) && key.find(U'[') == Text::npos) {
    builder.entry(key, builder.value());
  }
}

// [Version] and [Manufacturer]; returns the models section's name.
Text matchingHead(InfBuilder& builder) {
  Random& random = builder.random();
  constexpr std::u32string_view PROVIDERS[] = {U"%P%",   U"\"%P%\"", U" %P% ",
                                               U"%P%r%", U"P",       U"%Provider Name%"};
  constexpr std::u32string_view MANUFACTURERS[] = {
      U"Models", U"Models,NTamd64", U"Models ,NTamd64.10.0", U"\"Models\"", U"Models NTx86"};
  builder.header(U"Version");
  builder.entry(U"Signature", U"\"$Windows NT$\"");
  sprinkle(builder);
  builder.entry(U"Provider", Text(random.pick(PROVIDERS)));
  builder.entry(U"DriverVer", random.percent(80) ? U"06/21/2006,6.1.7600.16385" : builder.value());
  sprinkle(builder);
  builder.header(U"Manufacturer");
  builder.entry(U"%MfgName%", Text(random.pick(MANUFACTURERS)));
  sprinkle(builder);
  return random.percent(30) ? U"MODELS" : U"Models";
}

void matchingModels(InfBuilder& builder, const Text& models) {
  Random& random = builder.random();
  const Text id = decodeUtf8(random.pick(DEVICE_IDS));
  const bool flash = random.percent(30);
  builder.header(models);
  if (flash && random.percent(50)) builder.entry(U"%DeviceDesc%", Text());
  if (random.percent(20)) builder.entry(U"%Other%", U"Install, " + id);
  Text line = join({U"Install", builder.blanks(), U",", builder.blanks()});
  if (random.percent(20)) line += U"USB\\VID_1234&PID_0001, ";
  line += id;
  if (random.percent(10)) line += U" ";
  builder.entry(flash ? U"%DeviceDesc.Flash%" : U"%DeviceDesc%", line);
  sprinkle(builder);
}

void matchingStrings(InfBuilder& builder) {
  Random& random = builder.random();
  constexpr std::u32string_view KEYS[] = {U"P", U"Pr", U"Provider Name"};
  builder.header(U"Strings");
  for (const std::u32string_view key : KEYS) {
    const Text name = random.percent(20) ? builder.mangled(Text(key)) : Text(key);
    builder.entry(name, random.percent(50) ? builder.quotedValue() : builder.value());
  }
  sprinkle(builder);
  builder.entry(U"DeviceDesc", random.percent(60) ? builder.quotedValue() : builder.value());
  builder.entry(U"DeviceDesc.Flash", builder.value());
  if (random.percent(30)) builder.entry(U"MfgName", builder.value());
}

void matchingContent(InfBuilder& builder) {
  builder.setCareful(true);
  const Text models = matchingHead(builder);
  matchingModels(builder, models);
  builder.setCareful(false);
  if (builder.random().percent(50)) hostileSection(builder);
  builder.setCareful(true);
  matchingStrings(builder);
  builder.setCareful(false);
  if (builder.random().percent(30)) hostileSection(builder);
}

// The few files whose whole content is special: empty, a mark alone.
bool specialFile(Random& random, GeneratedFile& file) {
  if (!random.percent(4)) return false;
  file.bytes = std::string(random.pick(SPECIAL_FILES));
  file.probes = {{"A", "z"}, {"A", "k"}, {"", ""}};
  return true;
}

}  // namespace

GeneratedFile generateInf(std::uint64_t seed, std::uint64_t index, FileShape shape) {
  Random random(seed * 0x100000001B3ULL + index);
  random.next();
  GeneratedFile file;
  if (shape == FileShape::HOSTILE && specialFile(random, file)) return file;
  InfBuilder builder(random, random.share(ENCODINGS));
  if (shape == FileShape::HOSTILE) {
    hostileContent(builder);
  } else {
    matchingContent(builder);
  }
  return builder.finish();
}

std::string packageText(const Package& package) {
  return "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=" + package.providerEntry +
         "\r\nDriverVer=" + package.version +
         "\r\n[Manufacturer]\r\n%MfgName%=" + package.manufacturer + "\r\n[Models]\r\n" +
         package.models + "\r\n[Models.NTamd64]\r\n%DeviceDesc%=Other, " + SECOND_ID +
         "\r\n[Strings]\r\nProv=" + package.provider +
         "\r\nMfgName=Maker\r\nDeviceDesc=" + package.description +
         "\r\nDeviceDesc.Flash=Flash Mode Device\r\n";
}

}  // namespace support
