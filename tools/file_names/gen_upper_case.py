#!/usr/bin/env python3
"""Writes the upper-case table into windows_text/upper_case.cpp.

Input: the output of measure_file_names.exe upcase (run under Wine or Windows), whose
"upcase XXXX YYYY" lines list every UTF-16 unit that upper-cases to another.

Usage: gen_upper_case.py MEASURED.txt [path/to/upper_case.cpp]
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1]))
from generated_table import rows, write_generated  # noqa: E402


def read_measurements(path):
    pairs = []
    for line in pathlib.Path(path).read_text().splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[0] == "upcase":
            pairs.append((int(fields[1], 16), int(fields[2], 16)))
    if not pairs:
        sys.exit("no upcase lines in " + str(path))
    for unit, upper in pairs:
        if 0x61 <= unit <= 0x7A and upper != unit - 0x20:
            sys.exit("%04X is not upper-cased as ASCII; the code assumes it is" % unit)
    return sorted(pairs)


def runs(pairs):
    """Groups the pairs into runs of units one or two apart with the same offset."""
    grouped = []
    for unit, upper in pairs:
        delta = upper - unit
        if grouped:
            first, last, step, run_delta = grouped[-1]
            gap = unit - last
            if run_delta == delta and (gap == step or (first == last and gap in (1, 2))):
                grouped[-1] = (first, unit, gap, delta)
                continue
        grouped.append((unit, unit, 1, delta))
    return grouped


def table_text(pairs):
    lines = ["// Runs of code units, every unit or every second one from first to last, whose\n",
             "// upper case lies `offset` units away (modulo 65536).\n",
             "constexpr UpperCaseRun UPPER_CASE_RUNS[] = {\n"]
    lines += rows(["{0x%04X, 0x%04X, %d, 0x%04X}," % (first, last, step, delta & 0xFFFF)
                   for first, last, step, delta in runs(pairs)], 3)
    lines.append("};\n")
    return "".join(lines)


def main():
    default_target = pathlib.Path(__file__).resolve().parents[2] / "windows_text/upper_case.cpp"
    write_generated(__doc__, default_target,
                    lambda measured: table_text(read_measurements(measured)))


if __name__ == "__main__":
    main()
