#!/usr/bin/env python3
"""Shrinks an INF file on which the two profile readers disagree about one lookup.

    minimize_case.py --wine WINE --wine-env WINE_ENV --prefix PREFIX --windows-lookup EXE
                     --native-lookup PROGRAM FILE SECTION KEY

WINE_ENV is the build's tests/support/wine_env, which runs Wine in the tests' environment.

SECTION and KEY may hold \\xHH escapes. The file is cut down, whole lines first and then
(in files of at most 4 KB) byte pairs and single bytes, as long as the Windows reader
under Wine and the POSIX reader still give different answers. Every round of candidates
goes to one Wine process. Prints the smallest file found and both answers, escaped.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

LARGEST_BYTE_BY_BYTE = 4096


def unescape(text):
    return text.encode("latin-1").decode("unicode_escape").encode("latin-1")


def escape(data):
    """The bytes as printable ASCII: \\r \\n \\t \\\\ and \\xHH for the rest."""
    return data.decode("latin-1").encode("unicode_escape").decode("ascii")


class Readers:
    def __init__(self, options, work):
        self.options = options
        self.work = work

    def _answers(self, command, requests, name):
        request_path = os.path.join(self.work, name + ".req")
        answer_path = os.path.join(self.work, name + ".ans")
        with open(request_path, "w") as handle:
            handle.write(requests)
        subprocess.run(command + [request_path, answer_path], check=True)
        with open(answer_path) as handle:
            return handle.read().splitlines()

    def answer(self, candidates, section, key):
        """(Windows answer, native answer) for each candidate's bytes."""
        requests = ""
        for index, data in enumerate(candidates):
            path = os.path.join(self.work, "candidate-%d.inf" % index)
            with open(path, "wb") as handle:
                handle.write(data)
            requests += "Q\t%s\t%s\t%s\n" % (path.encode().hex(), section.hex(), key.hex())
        windows = self._answers([self.options.wine_env, self.options.prefix, self.options.wine,
                                 self.options.windows_lookup], requests, "windows")
        native = self._answers([self.options.native_lookup], requests, "native")
        return list(zip(windows, native))


def first_still_disagreeing(readers, candidates, section, key):
    if not candidates:
        return None
    for data, (windows, native) in zip(candidates, readers.answer(candidates, section, key)):
        if windows != native:
            return data
    return None


def split_lines(data):
    """The lines of data, each with its end: LF, CR LF or a CR alone."""
    return re.findall(rb"[^\r\n]*(?:\r\n|\r|\n)|[^\r\n]+", data)


def shrink(readers, data, section, key, pieces):
    """Drops one of the pieces of data (pieces(data) cuts it up) as long as the readers
    still disagree."""
    while True:
        parts = pieces(data)
        candidates = [b"".join(parts[:i] + parts[i + 1:]) for i in range(len(parts))]
        smaller = first_still_disagreeing(readers, candidates, section, key)
        if smaller is None:
            return data
        data = smaller


def byte_runs(width):
    return lambda data: [data[i:i + width] for i in range(0, len(data), width)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--wine", "--wine-env", "--prefix", "--windows-lookup", "--native-lookup"):
        parser.add_argument(name, required=True)
    parser.add_argument("file")
    parser.add_argument("section")
    parser.add_argument("key")
    options = parser.parse_args()
    # Wine wants an absolute prefix, and the programs run from another directory.
    for name in ("wine_env", "prefix", "windows_lookup", "native_lookup"):
        setattr(options, name, os.path.abspath(getattr(options, name)))
    section, key = unescape(options.section), unescape(options.key)
    with open(options.file, "rb") as handle:
        data = handle.read()
    with tempfile.TemporaryDirectory() as work:
        readers = Readers(options, work)
        if first_still_disagreeing(readers, [data], section, key) is None:
            sys.exit("the readers agree on this lookup")
        data = shrink(readers, data, section, key, split_lines)
        # One candidate per byte: beyond a few kilobytes a round would write too much.
        if len(data) <= LARGEST_BYTE_BY_BYTE:
            data = shrink(readers, data, section, key, byte_runs(2))
            data = shrink(readers, data, section, key, byte_runs(1))
        windows, native = readers.answer([data], section, key)[0]
    print("file    %s" % escape(data))
    print("lookup  [%s] %s" % (escape(section), escape(key)))
    print("Windows %s" % windows)
    print("reader  %s" % native)


if __name__ == "__main__":
    main()
