// Exits 0 only when the installed matcher matches and captures as documented.
#include <cstring>

#include "usb_flash_detect/match.h"

int main() {
  namespace match = usb_flash_detect::match;
  char section[32] = {};
  int major = 0;
  char letter = '#';
  const int matched =
      match::matchPattern("*%s,*v?%d, ?%c", "Install,NTamd64 v3, x", section, &major, letter);
  const bool stored = std::strcmp(section, "Install") == 0 && major == 3 && letter == 'x';
  return matched == 1 && stored ? 0 : 1;
}
