#include "detector/detector.h"
#include "platform/platform.h"

int main() {
  platform::prepareProcess();
  return runDetector();
}
