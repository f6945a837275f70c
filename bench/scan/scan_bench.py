#!/usr/bin/env python3
"""Times the detector's scan of a synthetic Windows INF directory against the cost of
simply reading the same bytes (cat), with grep and the Windows build under Wine beside it,
and counts the detector's heap allocations and peak memory as the directory grows.

    bench/scan/scan_bench.py --build BUILD [--windows-exe EXE] [--files 2000] [--runs 7]

The tools come from BUILD unless named (--help); bench/README.md tells the rest. The
output is Markdown tables, ready for that file.
"""

import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SECOND_ID = "USB\\VID_0FCE&PID_ADDE"
ARGUMENT_BYTES_PER_PROCESS = 512 * 1024  # well under any system's limit on argv
GNU_TIME = "/usr/bin/time"


def run_once(argv_list, env=None, cwd=None):
    """Runs the commands of one measurement one after another, stdin and stdout on
    /dev/null; returns (wall seconds, CPU seconds, largest ru_maxrss in KiB). A child of
    this script inherits the script's own high-water mark, so that last figure is only an
    upper bound; peak_rss() gives the true one."""
    wall = cpu = 0.0
    peak = 0
    for argv in argv_list:
        started = time.perf_counter()
        with open(os.devnull, "rb") as stdin, open(os.devnull, "wb") as sink:
            process = subprocess.Popen(argv, stdin=stdin, stdout=sink, stderr=sink,
                                       env=env, cwd=cwd)
            _, status, usage = os.wait4(process.pid, 0)
            process.returncode = os.waitstatus_to_exitcode(status)  # reaped here, not by Popen
        wall += time.perf_counter() - started
        cpu += usage.ru_utime + usage.ru_stime
        peak = max(peak, usage.ru_maxrss)
    return wall, cpu, peak


def peak_rss(argv_list, env=None, cwd=None):
    """The largest peak resident set (KiB) of the commands, measured by /usr/bin/time,
    whose own small process is the parent; None without it."""
    if not os.access(GNU_TIME, os.X_OK):
        return None
    peak = 0
    with tempfile.TemporaryDirectory() as scratch:
        report = Path(scratch) / "peak"
        for argv in argv_list:
            run_once([[GNU_TIME, "-f", "%M", "-o", str(report)] + argv], env, cwd)
            peak = max(peak, int(report.read_text().split()[-1]))
    return peak


class Measurement:
    def __init__(self, name, argv_list, env=None, cwd=None):
        self.name, self.argv_list, self.env, self.cwd = name, argv_list, env, cwd
        self.walls, self.cpus = [], []
        self.upper_bound_peak, self.peak = 0, None

    def run(self):
        wall, cpu, peak = run_once(self.argv_list, self.env, self.cwd)
        self.walls.append(wall)
        self.cpus.append(cpu)
        self.upper_bound_peak = max(self.upper_bound_peak, peak)

    def measure_peak(self):
        self.peak = peak_rss(self.argv_list, self.env, self.cwd)
        if self.peak is None:
            self.peak = f"<= {self.upper_bound_peak}"

    @property
    def wall(self):
        return statistics.median(self.walls)

    @property
    def cpu(self):
        return statistics.median(self.cpus)


def measure_round_robin(measurements, runs):
    """One untimed run of each to warm the cache, then `runs` rounds taking turns, so a
    drift in the machine's speed falls on every command alike."""
    for measurement in measurements:
        run_once(measurement.argv_list, measurement.env, measurement.cwd)
    for _ in range(runs):
        for measurement in measurements:
            measurement.run()
    for measurement in measurements:
        measurement.measure_peak()


def chunked(command, names):
    """`command` over `names`, split into several processes when the list is long."""
    chunks, current, size = [], [], 0
    for name in names:
        if current and size + len(name) + 1 > ARGUMENT_BYTES_PER_PROCESS:
            chunks.append(command + ["--"] + current)
            current, size = [], 0
        current.append(name)
        size += len(name) + 1
    chunks.append(command + ["--"] + current)
    return chunks


def inf_directory(prefix):
    return Path(prefix) / "drive_c" / "windows" / "inf"


def read_summary(prefix):
    path = Path(prefix) / "generator-summary.txt"
    if not path.exists():
        return None
    summary = {"record": [], "large": []}
    for line in path.read_text().splitlines():
        key, _, value = line.partition(" ")
        if key in ("record", "large"):
            summary[key].append(value)
        else:
            summary[key] = value
    return summary


def generate(generator, prefix, files, seed, file_size=None, encoding=None):
    """Generates the directory unless one made with the same arguments is there."""
    summary = read_summary(prefix)
    wanted = {"files": str(files), "seed": str(seed),
              "file-size": str(parse_size(file_size)) if file_size else None,
              "encoding": encoding}
    if summary and all(summary.get(k) == v for k, v in wanted.items()):
        return summary
    if Path(prefix).exists():
        shutil.rmtree(prefix)
    argv = [str(generator), "--out", str(prefix), "--files", str(files), "--seed", str(seed)]
    if file_size:
        argv += ["--file-size", file_size]
    if encoding:
        argv += ["--encoding", encoding]
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
    return read_summary(prefix)


def parse_size(text):
    """Bytes in a size written as the generator takes it: a number, then K or M."""
    units = {"K": 1024, "M": 1024 * 1024}
    suffix = text[-1:].upper()
    return int(text[:-1]) * units[suffix] if suffix in units else int(text)


def inf_names(directory):
    """The names the detector enumerates: regular files matching *.inf in any case."""
    return sorted(entry.name for entry in os.scandir(directory)
                  if entry.is_file() and entry.name.lower().endswith(".inf"))


def directory_bytes(directory):
    return sum(os.path.getsize(Path(directory) / name) for name in inf_names(directory))


def detector_environment(prefix, **extra):
    return dict(os.environ, WINEPREFIX=str(prefix), **extra)


def detector_run(found, name, prefix):
    """The detector run with `prefix` as its Wine prefix."""
    return Measurement(name, [[str(found["detector"])]], detector_environment(prefix))


def count_records(argv, env):
    """The count the tool prints on its "found N drivers" line, or None."""
    # A file, not a pipe: Wine's service processes inherit the output and outlive the run.
    with tempfile.TemporaryFile() as output:
        subprocess.run(argv, env=env, stdin=subprocess.DEVNULL, stdout=output,
                       stderr=subprocess.DEVNULL, check=False)
        output.seek(0)
        text = output.read()
    for line in text.split(b"\r\n"):
        if line.startswith(b"found ") and line.endswith(b" drivers"):
            return int(line.split()[1])
    return None


def check_records(label, found, summary):
    expected = len(summary["record"])
    if found != expected:
        print(f"WARNING: {label} reports {found} drivers; the directory holds {expected} "
              f"driver packages", file=sys.stderr)


def count_allocations(detector, shim, prefix):
    with tempfile.TemporaryDirectory() as scratch:
        output = Path(scratch) / "counts"
        env = detector_environment(prefix, LD_PRELOAD=str(shim),
                                   COUNT_ALLOCATIONS_OUTPUT=str(output))
        subprocess.run([str(detector)], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, check=False)
        if not output.exists():
            return None
        return {name: int(value) for name, value in map(str.split, output.read_text().splitlines())}


def prepare_wine_prefix(wine_env, prefix, names, source):
    """A private prefix whose INF folder holds exactly the benchmark's files; returns the
    start of every command run in it."""
    in_prefix = [str(wine_env), str(prefix)]
    if not (Path(prefix) / "system.reg").exists():
        print(f"making the Wine prefix {prefix} (wineboot -i)", file=sys.stderr)
        subprocess.run(in_prefix + ["wineboot", "-i"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(in_prefix + ["wineserver", "-w"], check=False)
    target = inf_directory(prefix)
    if target.exists():
        shutil.rmtree(target)
    target.mkdir(parents=True)
    for name in names:
        shutil.copyfile(Path(source) / name, target / name)
    return in_prefix


def less_start_up(full, empty):
    """A row for the Windows build's scan alone: each run less the median start-up."""
    net = Measurement("Windows build under Wine, less Wine's start-up", [])
    net.walls = [wall - empty.wall for wall in full.walls]
    net.cpus = [cpu - empty.cpu for cpu in full.cpus]
    net.peak = "-"
    return net


def measure_wine(wine_env, windows_exe, prefix, names, source, runs):
    in_prefix = prepare_wine_prefix(wine_env, prefix, names, source)
    subprocess.run(in_prefix + ["wineserver", "-p"], check=True)  # not timed: stays up
    try:
        argv = [in_prefix + ["wine", str(windows_exe)]]
        found = count_records(argv[0], None)
        full = Measurement("Windows build under Wine", argv)
        measure_round_robin([full], runs)
        target = inf_directory(prefix)
        parked = target.with_name("inf.scan-bench")
        target.rename(parked)
        target.mkdir()
        try:
            empty = Measurement("the same on an empty INF folder (Wine's start-up)", argv)
            measure_round_robin([empty], runs)
        finally:
            target.rmdir()
            parked.rename(target)
        return full, empty, found
    finally:
        subprocess.run(in_prefix + ["wineserver", "-k"], check=False)


def first_line(argv):
    try:
        result = subprocess.run(argv, capture_output=True, text=True, check=False)
        return (result.stdout or result.stderr).splitlines()[0].strip()
    except (OSError, IndexError):
        return "unknown"


def cache_value(build, key):
    cache = Path(build) / "CMakeCache.txt"
    if not cache.exists():
        return ""
    for line in cache.read_text().splitlines():
        if line.startswith(key + ":"):
            return line.partition("=")[2]
    return ""


def cpu_model():
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.partition(":")[2].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def print_machine(args):
    compiler = cache_value(args.build, "CMAKE_CXX_COMPILER") or "c++"
    print("| | |\n|---|---|")
    print(f"| CPU | {cpu_model()}, nproc {os.cpu_count()} |")
    print(f"| kernel | {platform.system()} {platform.release()} |")
    print(f"| compiler | {first_line([compiler, '--version'])}, "
          f"{cache_value(args.build, 'CMAKE_BUILD_TYPE') or 'build type unknown'} |")
    load = ", ".join(f"{value:.2f}" for value in os.getloadavg())
    print(f"| load average at the start | {load} |")
    print(f"| tools | {first_line(['cat', '--version'])}; {first_line(['grep', '--version'])}"
          + (f"; {first_line(['wine', '--version'])}" if args.windows_exe else "") + " |")
    print()


def milliseconds(seconds):
    return f"{seconds * 1000:.1f}"


def print_timings(measurements, floor, total_bytes):
    print("| command | median wall ms | ratio to cat | min wall ms | ratio of mins "
          "| median CPU ms | peak RSS KiB |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for m in measurements:
        ratio = m.wall / floor.wall
        ratio_of_mins = min(m.walls) / min(floor.walls)
        print(f"| {m.name} | {milliseconds(m.wall)} | {ratio:.2f} | {milliseconds(min(m.walls))} "
              f"| {ratio_of_mins:.2f} | {milliseconds(m.cpu)} | {m.peak} |")
    print(f"\ncat reads {total_bytes / floor.wall / 1e6:.0f} MB/s; each figure is the median "
          f"of {len(floor.walls)} runs after one warm-up run.\n")


def print_scaling(rows):
    print("| directory | files | bytes | allocations (malloc / calloc / realloc / new) "
          "| peak RSS KiB | detector ms | cat ms | ratio |")
    print("|---|---:|---:|---|---:|---:|---:|---:|")
    for row in rows:
        counts = row["counts"]
        allocations = "shim not built" if counts is None else (
            f"{counts['total']} ({counts['malloc']} / {counts['calloc']} / "
            f"{counts['realloc']} / {counts['new']})")
        cat = milliseconds(row["cat"]) if row["files"] else "-"
        ratio = f"{row['detector'] / row['cat']:.2f}" if row["files"] else "-"
        print(f"| {row['label']} | {row['files']} | {row['bytes']:,} | {allocations} "
              f"| {row['peak']} | {milliseconds(row['detector'])} | {cat} | {ratio} |")
    print()


def tools(args):
    build = Path(args.build)
    candidates = {
        "detector": [args.detector, build / "detector" / "usb-flash-detect"],
        "generator": [args.generator, build / "bench" / "scan" / "generate_windows_dir",
                      build / "generate_windows_dir"],
        "shim": [args.shim, build / "bench" / "scan" / "libcount_allocations.so",
                 build / "libcount_allocations.so"],
        "wine_env": [args.wine_env, build / "tests" / "support" / "wine_env",
                     build / "bench" / "scan" / "support" / "wine_env",
                     args.generator and Path(args.generator).parent / "support" / "wine_env"],
    }
    found = {}
    for tool, paths in candidates.items():
        found[tool] = next((Path(p) for p in paths if p and Path(p).exists()), None)
    if found["detector"] is None or found["generator"] is None:
        sys.exit(f"detector or generator not found under {build}; see --help")
    return found


def scan_timings(found, prefix, runs, empty_prefix):
    directory = inf_directory(prefix)
    names = inf_names(directory)
    detector = detector_run(found, "detector (`usb-flash-detect`)", prefix)
    cat = Measurement("`cat` of the same files (the floor)", chunked(["cat"], names),
                      cwd=directory)
    grep = Measurement(f"`grep -l -F '{SECOND_ID}'`",
                       chunked(["grep", "-l", "-F", SECOND_ID], names), cwd=directory)
    startup = detector_run(found, "detector on an empty INF folder (start-up)", empty_prefix)
    mounted = detector_run(found, "detector on the same files as `Windows/INF` (a mounted "
                           "installation)", make_mounted_prefix(prefix))
    measurements = [detector, cat, grep, startup, mounted]
    measure_round_robin(measurements, runs)
    return measurements, cat, names


def scaling_row(found, label, prefix, runs):
    directory = inf_directory(prefix)
    names = inf_names(directory)
    detector = detector_run(found, "detector", prefix)
    cat = Measurement("cat", chunked(["cat"], names) if names else [["true"]], cwd=directory)
    measure_round_robin([detector, cat], runs)
    counts = count_allocations(found["detector"], found["shim"], prefix) if found["shim"] else None
    return {"label": label, "files": len(names), "bytes": directory_bytes(directory),
            "counts": counts, "peak": detector.peak, "detector": detector.wall, "cat": cat.wall}


def make_mounted_prefix(prefix):
    """A prefix whose INF folder is spelled as on a Windows disk, Windows/INF, among 100 other
    folders: every path the detector opens then misses as written."""
    mounted = prefix.parent / f"{prefix.name}-mounted"
    windows = mounted / "drive_c" / "Windows"
    windows.mkdir(parents=True, exist_ok=True)
    for index in range(100):
        (windows / f"Folder{index:03}").mkdir(exist_ok=True)
    link = windows / "INF"
    if not link.is_symlink():
        link.symlink_to(inf_directory(prefix).resolve())
    return mounted


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the project's build tree")
    parser.add_argument("--detector", help="usb-flash-detect (default: under --build)")
    parser.add_argument("--generator", help="generate_windows_dir (default: under --build)")
    parser.add_argument("--shim", help="libcount_allocations.so (default: under --build)")
    parser.add_argument("--wine-env", help="wine_env (default: under --build or beside "
                                           "--generator)")
    parser.add_argument("--windows-exe", help="usb-flash-detect.exe; Wine is timed with it")
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--small-files", type=int, default=200,
                        help="the smaller directory of the allocation comparison")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--work", default="/tmp/scan-bench")
    args = parser.parse_args()

    found = tools(args)
    work = Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    prefix = work / f"files-{args.files}-seed-{args.seed}"
    summary = generate(found["generator"], prefix, args.files, args.seed)
    empty = work / "empty"
    inf_directory(empty).mkdir(parents=True, exist_ok=True)
    check_records("the detector", count_records([str(found["detector"])],
                                                detector_environment(prefix)), summary)

    print("### Machine\n")
    print_machine(args)
    print(f"### Scan of {args.files} INF files (seed {args.seed})\n")
    measurements, cat, names = scan_timings(found, prefix, args.runs, empty)
    total_bytes = directory_bytes(inf_directory(prefix))
    if args.windows_exe and shutil.which("wine") and found["wine_env"]:
        full, wine_empty, wine_found = measure_wine(found["wine_env"], args.windows_exe,
                                                    work / "wine-prefix", names,
                                                    inf_directory(prefix), args.runs)
        check_records("the Windows build under Wine", wine_found, summary)
        measurements += [full, wine_empty, less_start_up(full, wine_empty)]
    print(f"{len(names)} files, {total_bytes:,} bytes, "
          f"{len(summary['record'])} driver packages for the two devices.\n")
    print_timings(measurements, cat, total_bytes)

    print("### Memory and allocations as the directory grows\n")
    rows = [scaling_row(found, "empty INF folder", empty, args.runs)]
    small = work / f"files-{args.small_files}-seed-{args.seed}"
    generate(found["generator"], small, args.small_files, args.seed)
    rows.append(scaling_row(found, f"{args.small_files} files", small, args.runs))
    rows.append(scaling_row(found, f"{args.files} files", prefix, args.runs))
    # Names of one length: the POSIX layer's allocations depend on WINEPREFIX's length.
    for size, encoding in (("5M", "utf-16le-bom"), ("50M", "utf-16le-bom"), ("50M", "ascii")):
        one = work / f"one-{size:0>3}-{encoding[:5]}"
        generate(found["generator"], one, 1, args.seed, size, encoding)
        rows.append(scaling_row(found, f"one {size[:-1]} MiB {encoding} file (a driver package)",
                                one, args.runs))
    print_scaling(rows)


if __name__ == "__main__":
    main()
