#!/usr/bin/env python3
"""Writes the code page 1252 tables into windows_text/code_page_1252.cpp.

Input: the output of measure_code_page.exe (run under Wine or Windows), whose
"bestfit U+XXXX HH" lines list every BMP code unit that converts neither to itself nor
to the default "?", and whose "tounicode HH U+XXXX" lines give each byte's code unit.

Usage: gen_code_page_1252.py MEASURED.txt [path/to/code_page_1252.cpp]
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
from generated_table import rows, write_generated  # noqa: E402


def read_measurements(path):
    best_fit, to_utf16 = [], {}
    for line in pathlib.Path(path).read_text().splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[0] == "bestfit" and fields[1].startswith("U+"):
            best_fit.append((int(fields[1][2:], 16), int(fields[2], 16)))
        elif len(fields) == 3 and fields[0] == "tounicode":
            to_utf16[int(fields[1], 16)] = int(fields[2][2:], 16)
    if len(to_utf16) != 256 or not best_fit:
        sys.exit("incomplete measurements in " + str(path))
    for byte, unit in to_utf16.items():
        if (byte < 0x80 or byte >= 0xA0) and unit != byte:
            sys.exit("byte %02X does not map to itself; the code assumes it does" % byte)
    for unit, byte in best_fit:
        if unit < 0x80 or 0xA0 <= unit <= 0xFF:
            sys.exit("U+%04X does not map to itself; the code assumes it does" % unit)
    return sorted(best_fit), to_utf16


def table_text(best_fit, to_utf16):
    lines = ["// Every code unit whose byte is neither its own value nor '?', in order.\n",
             "constexpr BestFit BEST_FIT[] = {\n"]
    lines += rows(["{0x%04X, 0x%02X}," % (unit, byte) for unit, byte in best_fit], 6)
    lines.append("};\n\n")
    lines.append("// The code units of the bytes 0x80 to 0x9F.\n")
    lines.append("constexpr char16_t HIGH_CONTROLS_TO_UTF16[32] = {\n")
    lines += rows(["0x%04X," % to_utf16[byte] for byte in range(0x80, 0xA0)], 11)
    lines.append("};\n")
    return "".join(lines)


def main():
    default_target = pathlib.Path(__file__).resolve().parents[2] / "windows_text/code_page_1252.cpp"
    write_generated(__doc__, default_target,
                    lambda measured: table_text(*read_measurements(measured)))


if __name__ == "__main__":
    main()
