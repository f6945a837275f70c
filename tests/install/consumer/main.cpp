// Exits 0 only when the installed matcher matches and captures as documented.
#include <cstring>

#include "match/match.h"

int main() {
  namespace match = usb_flash_detect::match;
  char section[32] = {};
  int major = 0;
  const int matched = match::matchPattern("*%s,*v?%d", "Install,NTamd64 v3", section, &major);
  return matched == 1 && std::strcmp(section, "Install") == 0 && major == 3 ? 0 : 1;
}
