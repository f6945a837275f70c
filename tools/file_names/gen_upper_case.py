#!/usr/bin/env python3
"""Writes the upper-case table into windows_text/upper_case.cpp.

Input: the output of measure_file_names.exe upcase (run under Wine or Windows), whose
"upcase XXXX YYYY" lines list every UTF-16 unit that upper-cases to another.

Usage: gen_upper_case.py MEASURED.txt [path/to/upper_case.cpp]
"""
import pathlib
import sys

BEGIN = "// BEGIN GENERATED\n"
END = "// END GENERATED\n"


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
    row = []
    for first, last, step, delta in runs(pairs):
        row.append("{0x%04X, 0x%04X, %d, 0x%04X}," % (first, last, step, delta & 0xFFFF))
        if len(row) == 3:
            lines.append("    " + " ".join(row) + "\n")
            row = []
    if row:
        lines.append("    " + " ".join(row) + "\n")
    lines.append("};\n")
    return "".join(lines)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    default_target = pathlib.Path(__file__).resolve().parents[2] / "windows_text/upper_case.cpp"
    target = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else default_target
    source = target.read_text()
    head, rest = source.split(BEGIN, 1)
    _, tail = rest.split(END, 1)
    target.write_text(head + BEGIN + table_text(read_measurements(sys.argv[1])) + END + tail)


if __name__ == "__main__":
    main()
