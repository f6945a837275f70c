#include "detector/detector.h"
#include "platform/platform.h"

int main() {
  platform::prepareProcess();
  runDetector();
  return 0;
}
