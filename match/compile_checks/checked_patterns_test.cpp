// Calls of matchPattern that must compile (SHAPE 0), and one call per other SHAPE that the
// compiler must refuse. Compiled, syntax only, by the tests in CMakeLists.txt; never run.
#include <span>
#include <string>
#include <vector>

#include "usb_flash_detect/match.h"

namespace match = usb_flash_detect::match;

int matchShape(const char* text, const char* userPattern) {
  int number = 0;
  unsigned positive = 0;
  char letter = 0;
  char word[8] = {};
  std::string container;
  std::vector<char> bytes(8);
  match::StoredOutputs stored;
#ifndef SHAPE
#define SHAPE 0
#endif
#if SHAPE == 0
  return match::matchPattern("*%x,?%c", text, &positive, letter) +
         match::matchPattern(match::runtimePattern(userPattern), text, &number, word) +
         match::matchPattern(stored, "*%s", text, std::span<char>(bytes)) + stored.count();
#elif SHAPE == 1
  return match::matchPattern("*%x", text, &number);  // an int takes no %x
#elif SHAPE == 2
  return match::matchPattern("*%d,*%d", text, &number);  // a directive without an output
#elif SHAPE == 3
  return match::matchPattern("*%s", text, word, &number);  // an output without a directive
#elif SHAPE == 4
  return match::matchPattern("*%", text);  // nothing after the last "%"
#elif SHAPE == 5
  return match::matchPattern(userPattern, text);  // known only at run time, not wrapped
#elif SHAPE == 6
  return match::matchPattern("*%s", text, container);  // its size is no capacity
#elif SHAPE == 7
  return match::matchPattern("*%s", text, bytes);
#elif SHAPE == 8
  return match::matchPattern(match::runtimePattern(userPattern), text, container);
#endif
}
