#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/inf_generator.h"

namespace support {

namespace {

// Lines of one part of a file (a run of sections), already encoded.
class EncodedText {
 public:
  EncodedText(Encoding encoding, LineEnd lineEnd)
      : encoding_(encoding), lineEnd_(lineEnd == LineEnd::CRLF ? U"\r\n" : U"\n") {}

  // Appends one line, given as UTF-8, and its line end.
  void line(std::string_view utf8) { bytes_ += encodeText(decodeUtf8(utf8) + lineEnd_, encoding_); }
  void blankLine() { line({}); }
  // Appends lines in order; an empty one is a blank line.
  void lines(std::initializer_list<std::string> utf8Lines) {
    for (const std::string& text : utf8Lines) line(text);
  }
  void append(const EncodedText& other) { bytes_ += other.bytes_; }
  // Drops the last line end, for files whose last line has none.
  void dropLastLineEnd() {
    const std::size_t length = encodeText(lineEnd_, encoding_).size();
    if (bytes_.size() >= length) bytes_.erase(bytes_.size() - length);
  }
  std::size_t size() const { return bytes_.size(); }
  // The whole text, its byte-order mark first.
  std::string withMark() const { return std::string(byteOrderMark(encoding_)) + bytes_; }

 private:
  Encoding encoding_;
  std::u32string lineEnd_;
  std::string bytes_;
};

constexpr std::array<std::string_view, 10> VENDORS = {
    "Arvenco",     "Kestrel Devices", "Norrin Labs", "Tavora",  "Quillon Systems",
    "Brightwater", "Osterfeld",       "Lumatek",     "Corvane", "Halvik Electronics"};
constexpr std::array<std::string_view, 16> WORDS = {
    "Serial", "Bus",    "Adapter", "Controller", "Storage", "Audio", "Port",   "Bridge",
    "Input",  "Sensor", "Network", "Display",    "Camera",  "Hub",   "Reader", "Interface"};
constexpr std::array<std::string_view, 8> LOCALES = {"0407", "040c", "0c0a", "0419",
                                                     "0410", "0415", "0405", "041d"};

// A word of a translated description: as written, folded to ASCII, and whether the
// written form fits code page 1252.
struct LocalWord {
  std::string_view text;
  std::string_view ascii;
  bool inWindows1252;
};
constexpr std::array<LocalWord, 10> LOCAL_WORDS = {{
    {"Gerät", "Geraet", true},
    {"Périphérique", "Peripherique", true},
    {"Contrôleur", "Controleur", true},
    {"Conexión", "Conexion", true},
    {"Speichergerät", "Speichergeraet", true},
    {"Mémoire", "Memoire", true},
    {"Schnittstelle", "Schnittstelle", true},
    {"Устройство", "Ustroistvo", false},
    {"Контроллер", "Kontroller", false},
    {"Enhet för lagring", "Enhet for lagring", true},
}};

// The two IDs the detector looks for, and the lines that must not be taken for them.
constexpr std::array<std::string_view, 2> MATCHING_IDS = {FIRST_ID, SECOND_ID};
constexpr std::array<std::string_view, 4> NEAR_MISS_LINES = {
    "Install, USB\\VID_0FCE&PID_ADDE, USB\\Class_08&SubClass_06",
    "Install, usb\\vid_0bdb&pid_100e",
    "Install, USB\\VID_0FCE&PID_ADDF",
    "Install, USB\\VID_0BDB&PID_100E ; flash mode",
};

constexpr std::size_t DEVICES_PER_INSTALL_SECTION = 16;
constexpr std::size_t VALUES_PER_REGISTRY_SECTION = 24;
constexpr std::size_t LONG_VALUE_LENGTH = 320;
constexpr std::size_t TINY_FILE_WITHOUT_HEADER = 300;

std::string hex(std::uint64_t value, int digits) {
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) {
    text[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[value & 0xF];
  }
  return text;
}

// Writes the parts of one file in the order they will be joined, tracking the total size.
class InfWriter {
 public:
  explicit InfWriter(const FilePlan& plan)
      : plan_(plan),
        random_(plan.seed),
        head_(plan.encoding, plan.lineEnd),
        models_(plan.encoding, plan.lineEnd),
        body_(plan.encoding, plan.lineEnd),
        strings_(plan.encoding, plan.lineEnd) {
    vendor_ = random_.pick(VENDORS);
    for (unsigned i = 0; i < plan.localeCount; ++i) {
      locales_.emplace_back(plan.encoding, plan.lineEnd);
      locales_.back().blankLine();
      locales_.back().line("[Strings." + std::string(LOCALES[i % LOCALES.size()]) + "]");
    }
  }

  std::string finish() {
    writeLeadingLines();
    if (plan_.hasVersion) writeVersion();
    if (plan_.kind == Kind::DEVICE) writeDeviceFrame();
    writeStringsHeader();
    writeManufacturer();
    if (plan_.longValue) addLongValue();
    while (size() < plan_.size) {
      if (plan_.kind == Kind::TINY) addTinyValue();
      if (plan_.kind == Kind::REGISTRY) addRegistryValue();
      if (plan_.kind == Kind::DEVICE) addDevice();
    }
    if (plan_.duplicateSection) body_.line(units_ > 0 ? "[Install0.NT]" : "[Version]");
    if (models_.size() > 0) models_.blankLine();
    EncodedText whole(plan_.encoding, plan_.lineEnd);
    for (const EncodedText* part : {&head_, &models_, &body_, &strings_}) whole.append(*part);
    for (const EncodedText& locale : locales_) whole.append(locale);
    if (!plan_.lastLineEnded) whole.dropLastLineEnd();
    return whole.withMark();
  }

 private:
  void writeLeadingLines() {
    if (plan_.size < TINY_FILE_WITHOUT_HEADER) return;
    const bool eightBit = plan_.encoding != Encoding::ASCII;
    head_.lines(
        {"; " + plan_.name,
         "; Installation file for " + vendor_ + " " + std::string(random_.pick(WORDS)) + " devices",
         eightBit ? "; Copyright © " + vendor_ : "; Copyright (c) " + vendor_, ""});
    if (plan_.strayLineBeforeFirstSection) head_.line("LayoutVersion=2");
  }

  void writeVersion() {
    head_.lines({"[Version]", "Signature=\"$Windows NT$\""});
    if (plan_.kind == Kind::DEVICE) {
      head_.line("Class=" + std::string(random_.pick(WORDS)));
      head_.line(join({"ClassGuid={", hex(random_.next(), 8), "-", hex(random_.next(), 4), "-",
                       hex(random_.next(), 4), "-", hex(random_.next(), 4), "-",
                       hex(random_.next(), 12), "}"}));
    }
    if (plan_.provider == Provider::TOKEN) head_.line("Provider=%ProviderName%");
    if (plan_.provider == Provider::PLAIN_WORDS) head_.line("Provider=" + vendor_);
    writeDriverVersion();
    if (plan_.kind == Kind::DEVICE)
      head_.line("CatalogFile=" + std::to_string(random_.next() % 9999) + ".cat");
    head_.blankLine();
  }

  void writeDriverVersion() {
    const std::string date = join({"0", std::to_string(random_.between(1, 9)), "/",
                                   std::to_string(random_.between(10, 28)), "/",
                                   std::to_string(random_.between(2006, 2023))});
    const std::string version =
        join({std::to_string(random_.between(1, 30)), ".", std::to_string(random_.below(10)), ".",
              std::to_string(random_.below(9999)), ".", std::to_string(random_.below(99))});
    if (plan_.driverVersion == DriverVersion::PLAIN) {
      head_.line("DriverVer=" + date + "," + version);
    } else if (plan_.driverVersion == DriverVersion::UNUSUAL) {
      const std::array<std::string, 3> unusual = {date, date + "," + version + " ; release build",
                                                  " ; set by the build"};
      head_.line("DriverVer   =" + unusual[random_.below(unusual.size())]);
    }
  }

  void writeDeviceFrame() {
    head_.lines({"[SourceDisksNames]", "1 = %DiskName%,,,", "", "[SourceDisksFiles]",
                 "driver" + std::to_string(random_.below(1000)) + ".sys = 1", "",
                 "[DestinationDirs]", "DefaultDestDir = 12", ""});
  }

  void writeManufacturer() {
    if (plan_.models == Models::NONE) {
      // A device list that no [Manufacturer] names, so the filler has a section to go in.
      if (plan_.kind == Kind::DEVICE) models_.line("[Devices]");
      return;
    }
    if (plan_.models == Models::MATCH || plan_.models == Models::MATCH_FLASH ||
        plan_.models == Models::NEAR_MISS) {
      writeMatchingModels();
      return;
    }
    const bool mfgName =
        plan_.models == Models::MFG_NAME_UNDECORATED || plan_.models == Models::MFG_NAME_DECORATED;
    head_.lines(
        {"[Manufacturer]",
         mfgName ? "%MfgName%=DeviceList, NTx86, NTamd64" : "%ManufacturerName%=Standard,NTamd64",
         ""});
    if (plan_.models == Models::MFG_NAME_UNDECORATED) {
      models_.line("[DeviceList]");
    } else {
      models_.line(mfgName ? "[DeviceList.NTamd64]" : "[Standard.NTamd64]");
    }
    if (plan_.models == Models::DEVICE_DESC_DECORATED) {
      models_.line("%DeviceDesc%=Install0, " + usbId());
    }
  }

  void writeMatchingModels() {
    const std::string key =
        plan_.models == Models::MATCH_FLASH ? "%DeviceDesc.Flash%" : "%DeviceDesc%";
    const std::string line =
        plan_.models == Models::NEAR_MISS
            ? key + "=" + std::string(NEAR_MISS_LINES[plan_.idVariant % NEAR_MISS_LINES.size()])
            : key + "=Install, " + std::string(MATCHING_IDS[plan_.idVariant % MATCHING_IDS.size()]);
    head_.lines({"[Manufacturer]", "%MfgName%=Models,NTamd64", "", "[Models]", line, "",
                 "[Models.NTamd64]", line, "", "[Install]", "CopyFiles=Install_Files",
                 "AddReg=Install_AddReg", ""});
    addString(plan_.models == Models::MATCH_FLASH ? "DeviceDesc.Flash" : "DeviceDesc",
              vendor_ + " Flash Device");
    models_.line("[Models.NTx86]");  // the package's other devices, for the filler
  }

  void writeStringsHeader() {
    strings_.lines({"", "[Strings]"});
    if (plan_.provider != Provider::ABSENT) addString("ProviderName", vendor_);
    if (plan_.kind != Kind::DEVICE) return;
    addString("ManufacturerName", vendor_);
    addString("MfgName", vendor_ + " Inc.");
    addString("DiskName", vendor_ + " Installation Disk");
  }

  void addDevice() {
    const std::size_t number = units_++;
    const std::string key = "Dev" + std::to_string(number) + ".DeviceDesc";
    const std::size_t install = number / DEVICES_PER_INSTALL_SECTION;
    models_.line("%" + key + "%=Install" + std::to_string(install) + ", " + deviceId());
    if (number % DEVICES_PER_INSTALL_SECTION == 0) addInstallSection(install);
    addDescriptions(key);
  }

  void addInstallSection(std::size_t number) {
    const std::string name = "Install" + std::to_string(number);
    body_.lines({"[" + name + ".NT]", "CopyFiles=" + name + "_Files", "AddReg=" + name + "_AddReg",
                 "", "[" + name + "_AddReg]"});
    const std::uint64_t values = random_.between(3, 9);
    for (std::uint64_t i = 0; i < values; ++i) {
      body_.line(join({"HKR,Parameters,", random_.pick(WORDS), std::to_string(i), ",0x00010001,",
                       std::to_string(random_.below(65536))}));
    }
    if (plan_.continuationLines) addBinaryValue(body_, "HKR,Parameters,Table");
    body_.blankLine();
  }

  void addRegistryValue() {
    const std::size_t number = units_++;
    if (number % VALUES_PER_REGISTRY_SECTION == 0) {
      body_.blankLine();
      body_.line("[" + std::string(random_.pick(WORDS)) + std::to_string(number) + ".AddReg]");
    }
    const std::string path = "\"SOFTWARE\\" + vendor_ + "\\" + std::string(random_.pick(WORDS)) +
                             "\\" + std::to_string(number % 97) + "\"";
    const std::string name = std::string(random_.pick(WORDS)) + std::to_string(number);
    if (plan_.continuationLines && number % 7 == 3) {
      addBinaryValue(body_, "HKLM," + path + ",\"" + name + "\"");
      return;
    }
    body_.line("HKLM," + path + ",\"" + name + "\",0x00000000,\"%" + name + "%\"");
    addDescriptions(name);
  }

  void addBinaryValue(EncodedText& part, std::string_view key) {
    part.line(std::string(key) + ",0x00000001,\\");
    const std::uint64_t rows = random_.between(2, 6);
    for (std::uint64_t row = 0; row < rows; ++row) {
      std::string bytes = "  ";
      for (int i = 0; i < 16; ++i) bytes += hex(random_.below(256), 2) + ",";
      part.line(row + 1 == rows ? bytes + "00" : bytes + "\\");
    }
  }

  void addTinyValue() {
    const std::size_t number = units_++;
    if (number == 0) body_.line("[DefaultInstall]");
    body_.line(join(
        {random_.pick(WORDS), std::to_string(number), "=", std::to_string(random_.below(100000))}));
  }

  void addLongValue() {
    std::string text;
    while (text.size() < LONG_VALUE_LENGTH) text += std::string(random_.pick(WORDS)) + " ";
    addString("LongText", text);
  }

  void addString(const std::string& key, const std::string& text) {
    strings_.line(key + " = \"" + text + "\"");
  }

  // The string in [Strings], then its translation in every localised section.
  void addDescriptions(const std::string& key) {
    addString(key, description());
    for (EncodedText& locale : locales_) locale.line(key + " = \"" + localDescription() + "\"");
  }

  std::string deviceId() {
    const std::uint64_t bus = random_.below(4);
    if (bus == 0) return usbId();
    if (bus == 1)
      return join({"HID\\VID_", hex(random_.below(0x10000), 4), "&PID_", hex(random_.next(), 4)});
    if (bus == 2) return "ACPI\\QVN" + hex(random_.below(0x10000), 4);
    return join({"PCI\\VEN_", hex(random_.below(0x10000), 4), "&DEV_",
                 hex(random_.below(0x10000), 4), "&SUBSYS_", hex(random_.next(), 8)});
  }

  // A USB ID, never one of the two the detector looks for.
  std::string usbId() {
    return join({"USB\\VID_", hex(random_.between(0x1000, 0x7FFF), 4), "&PID_",
                 hex(random_.below(0x10000), 4)});
  }

  std::string description() {
    return join({vendor_, " ", random_.pick(WORDS), " ", random_.pick(WORDS), " ",
                 std::to_string(random_.below(10000))});
  }

  std::string localDescription() {
    const LocalWord& word = random_.pick(LOCAL_WORDS);
    const bool asWritten = plan_.encoding != Encoding::ASCII &&
                           (plan_.encoding != Encoding::ANSI || word.inWindows1252);
    return std::string(asWritten ? word.text : word.ascii) + " " + vendor_ + " " +
           std::to_string(random_.below(10000));
  }

  std::size_t size() const {
    std::size_t total = head_.size() + models_.size() + body_.size() + strings_.size();
    for (const EncodedText& locale : locales_) total += locale.size();
    return total;
  }

  const FilePlan& plan_;
  Random random_;
  std::string vendor_;
  EncodedText head_, models_, body_, strings_;
  std::vector<EncodedText> locales_;
  std::size_t units_ = 0;
};

}  // namespace

std::string buildInfFile(const FilePlan& plan) {
  return InfWriter(plan).finish();
}

}  // namespace support
