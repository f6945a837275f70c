// The upper case of UTF-16 code units as the Windows kernel takes it when it compares file
// names without regard to case (the table was measured from it). One unit maps to one
// unit; letters without a single-unit capital, such as U+00DF, stay as they are.
#pragma once

namespace upper_case {

// The upper case of one UTF-16 code unit, or the unit itself.
char16_t upperCase(char16_t unit);

}  // namespace upper_case
