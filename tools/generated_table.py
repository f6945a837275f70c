"""What the table generators share: C++ initialisers laid out in rows, and the generated
part of a source file (between the BEGIN and END lines) replaced."""
import pathlib
import sys

BEGIN = "// BEGIN GENERATED\n"
END = "// END GENERATED\n"


def rows(items, per_row):
    """The items, `per_row` to a line, each line indented by four blanks."""
    return ["    " + " ".join(items[start:start + per_row]) + "\n"
            for start in range(0, len(items), per_row)]


def write_generated(usage, default_target, make_text):
    """Runs a generator: argv[1] is the measurements, argv[2] the optional target file;
    make_text(measurements path) gives the text between BEGIN and END."""
    if len(sys.argv) < 2:
        sys.exit(usage)
    target = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else default_target
    source = target.read_text()
    head, rest = source.split(BEGIN, 1)
    _, tail = rest.split(END, 1)
    target.write_text(head + BEGIN + make_text(sys.argv[1]) + END + tail)
