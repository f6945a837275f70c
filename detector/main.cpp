#include "detector/detector.h"

int main() {
  runDetector();
  return 0;
}
