#include <cstring>

#include "detector/detector.h"
#include "platform/platform.h"
#include "windows_text/bounded_text.h"

namespace {

// Every lookup goes to the platform's profile reader with the full path and an empty
// default, so it always overwrites its destination.
void lookUp(const char* section, const char* key, char* destination, const char* path) {
  platform::readProfileString(section, key, destination, TEXT_CAPACITY, path);
}

}  // namespace

void stripPercent(char* text) {
  char* kept = text;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c != '%') *kept++ = *c;
  }
  *kept = '\0';
}

void cutAtSeparator(char* text) {
  text[std::strcspn(text, " ,")] = '\0';
}

void readDriverEntry(const char* path) {
  lookUp("Version", "DriverVer", driverVersion, path);
  lookUp("Version", "Provider", provider, path);
  stripPercent(provider);
  lookUp("Strings", provider, provider, path);  // the key is taken in full before the write
  lookUp("Manufacturer", "%MfgName%", modelsSection, path);
  cutAtSeparator(modelsSection);
  copyText(deviceKey, TEXT_CAPACITY, "%DeviceDesc%");
  lookUp(modelsSection, deviceKey, deviceText, path);
  if (deviceText[0] == '\0') {
    copyText(deviceKey, TEXT_CAPACITY, "%DeviceDesc.Flash%");
    lookUp(modelsSection, deviceKey, deviceText, path);
  }
}

void resolveDeviceDescription(const char* path) {
  stripPercent(deviceKey);
  lookUp("Strings", deviceKey, deviceText, path);
}
