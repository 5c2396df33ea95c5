"""What the benchmark commands in bench/ share: building, the simulated devices, drel under
measurement, the reference programs, and the tables they print.

Every benchmark runs the real program (drel-bench-run: drel's windows on Qt's offscreen
platform, meters in front of its views) against drel-devsim over pseudo-terminals, in a
private settings folder, and prints one table: the figure, the limit measured in the same run
and their ratio.
"""

import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BIN = ROOT / "build" / "bin"
PATIENCE_S = 20.0


BENCH_TARGETS = ["drel-bench-run", "drel-bench-minihost", "drel-bench-pty", "drel-bench-fnvsum",
                 "drel-devsim", "drel-mkimage", "drel-load"]


def build():
    """Installs what the benchmarks need and builds their programs (Release) into build/."""
    subprocess.run([ROOT / "scripts" / "install-deps", "--bench"], check=True)
    build_dir = ROOT / "build"
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DDREL_WARNINGS_AS_ERRORS=ON"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "--target", *BENCH_TARGETS], check=True,
                   stdout=subprocess.DEVNULL)


def wait_until(condition, timeout_s, what):
    """Polls `condition` until it holds; raises RuntimeError naming `what` after the timeout."""
    deadline = time.monotonic() + timeout_s
    while not condition():
        if time.monotonic() > deadline:
            raise RuntimeError(f"timed out waiting for {what}")
        time.sleep(0.02)


class Workspace:
    """A private settings folder (port links, drel's settings) and scratch files for one run."""

    def __init__(self):
        self._dir = tempfile.TemporaryDirectory(prefix="drel-bench-")
        self.path = Path(self._dir.name)
        self.env = dict(os.environ, XDG_CONFIG_HOME=str(self.path), QT_QPA_PLATFORM="offscreen")
        self.env.setdefault("XDG_RUNTIME_DIR", str(self.path))
        self.processes = []

    def file(self, name):
        """A path in the workspace."""
        return self.path / name

    def close(self):
        """Stops every process still running and removes the folder."""
        for proc in self.processes:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self._dir.cleanup()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def make_image(ws, name, records, size, seed=1):
    """Writes a BIN image of `records` records of `size` bytes with drel-mkimage; its path."""
    path = ws.file(name)
    subprocess.run([BIN / "drel-mkimage", path, "--records", str(records), "--size", str(size),
                    "--seed", str(seed)], check=True, stdout=subprocess.DEVNULL)
    return path


class Device:
    """One drel-devsim, published as port `name` (or only by path when `name` is None)."""

    def __init__(self, ws, name, *options):
        self.log = ws.file(f"{name or 'device'}-{len(ws.processes)}.log")
        self.timing = self.log.with_suffix(".timing")
        args = [BIN / "drel-devsim", "--log", self.log, "--timing", self.timing, *options]
        if name:
            args += ["--as", name]
        self.proc = subprocess.Popen(args, env=ws.env, stdout=subprocess.PIPE, text=True)
        ws.processes.append(self.proc)
        announcement = self.proc.stdout.readline().strip()
        if not announcement.startswith("drel-devsim: "):
            raise RuntimeError(f"drel-devsim did not start: {announcement!r}")
        self.path = announcement.split()[-1]

    def lines(self):
        """The lines the device has logged: load results and flood summaries."""
        return self.log.read_text().splitlines() if self.log.exists() else []

    def results(self, count, timeout_s):
        """Waits for `count` load results; they, in order."""
        wait_until(lambda: len(self.lines()) >= count, timeout_s, f"{count} load results")
        return self.lines()[:count]

    def timings(self):
        """Each timed load as (seconds, [turnaround microseconds])."""
        loads = []
        for line in self.timing.read_text().splitlines():
            head, _, samples = line.partition("; turnaround us:")
            loads.append((float(head.split()[2]), [float(x) for x in samples.split()]))
        return loads

    def start_flood(self):
        """Starts the flood (the device must run with --flood)."""
        self.proc.send_signal(signal.SIGUSR1)

    def flood_summary(self, timeout_s):
        """Waits for the flood's summary: (bytes, seconds, hash)."""
        wait_until(lambda: any(l.startswith("flood: ") for l in self.lines()), timeout_s,
                   "the flood's end")
        words = next(l for l in self.lines() if l.startswith("flood: ")).split()
        return int(words[1]), float(words[4]), words[-1]

    def stop(self):
        """Ends the device."""
        self.proc.terminate()
        self.proc.wait(timeout=PATIENCE_S)


class Drel:
    """drel under measurement: drel-bench-run with one terminal per port."""

    def __init__(self, ws, ports, *options, env=None):
        args = [BIN / "drel-bench-run", *options]
        for port in ports:
            args += ["--port", port]
        self.output = ws.file(f"drel-{len(ws.processes)}.out")
        with open(self.output, "w") as out:
            self.proc = subprocess.Popen(args, env=env or ws.env, stdout=out,
                                         stderr=subprocess.STDOUT)
        ws.processes.append(self.proc)
        wait_until(lambda: "ready" in self._lines() or self.proc.poll() is not None,
                   PATIENCE_S * (1 + len(ports) / 4), "drel to open its terminals")
        if "ready" not in self._lines():
            raise RuntimeError("drel-bench-run failed:\n" + self.output.read_text())

    def _lines(self):
        return self.output.read_text().splitlines()

    def stop(self):
        """Ends the run; its figures: {"ports": {name: (bytes, hash)}, "rss": [(s, KiB)], ...}."""
        self.proc.send_signal(signal.SIGTERM)
        if self.proc.wait(timeout=60) != 0:
            raise RuntimeError("drel-bench-run failed:\n" + self.output.read_text())
        figures = {"ports": {}, "rss": [], "boxes": []}
        for line in self._lines():
            words = line.split()
            if not words:
                continue
            if words[0] == "port":
                figures["ports"][words[1]] = (int(words[3]), words[5], len(words) == 6)
            elif words[0] == "rss":
                figures["rss"].append((float(words[1]), int(words[2])))
            elif words[0] == "message_box":
                figures["boxes"].append(line)
            elif words[0] == "log":
                figures["log"] = {"held_back": int(words[2]), "failed": words[4] != "0"}
            elif words[0] == "ui_lateness_ms":
                figures["lateness"] = (float(words[2]), float(words[4]), float(words[6]))
            elif len(words) == 2 and words[0] in ("seconds", "cpu_seconds", "peak_rss_kib"):
                figures[words[0]] = float(words[1])
        return figures


def file_hash(path):
    """The count and FNV-1a hash of a file, and of it without its NUL bytes (what a terminal
    view is handed of it): {"bytes": int, "fnv1a64": str, "without_nul_bytes": int,
    "without_nul_fnv1a64": str}."""
    words = subprocess.run([BIN / "drel-bench-fnvsum", path], check=True, capture_output=True,
                           text=True).stdout.split()
    fields = dict(zip(words[::2], words[1::2]))
    for key in ("bytes", "without_nul_bytes"):
        fields[key] = int(fields[key])
    return fields


def load_images(ws, host, images, device_options=(), drel_options=(), timeout_s=300):
    """Loads the two `images` into a new device, by drel's "Auto Down load" (`host` "drel"),
    by drel-load (`host` "drel-load", with the same line options) or by the minimal C host
    (`host` "minimal host"), and returns each load as (payload bytes, seconds, [turnaround
    microseconds]) as the device timed it. Raises when a load failed."""
    device = Device(ws, None if host == "minimal host" else "LOAD", *device_options)
    if host == "drel":
        drel = Drel(ws, ["LOAD"], *drel_options, "--auto-download", *map(str, images))
        results = device.results(2, timeout_s)
        drel.stop()
    elif host == "drel-load":
        subprocess.run([BIN / "drel-load", "--quiet", *drel_options, "LOAD", *map(str, images)],
                       env=ws.env, check=True, stdin=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=timeout_s)
        results = device.results(2, timeout_s=PATIENCE_S)
    else:
        minihost(device.path, *images)
        results = device.results(2, timeout_s=PATIENCE_S)
    device.stop()
    loads = []
    for result, (seconds, turnarounds) in zip(results, device.timings()):
        if not result.startswith("load ok: "):
            raise RuntimeError(f"a load by {host} failed: {result}")
        loads.append((int(result.split()[4]), seconds, turnarounds))
    return loads


def minihost(port_path, *images):
    """Loads `images` with the minimal C host; raises when a load fails."""
    subprocess.run([BIN / "drel-bench-minihost", port_path, *images], check=True,
                   stdout=subprocess.DEVNULL)


def pty_roundtrip(count=20000):
    """The raw pseudo-terminal round trip: (p50, p99) in microseconds."""
    out = subprocess.run([BIN / "drel-bench-pty", "roundtrip", str(count)], check=True,
                         capture_output=True, text=True).stdout
    fields = dict(word.split("=") for word in out.split()[1:])
    return float(fields["p50"]), float(fields["p99"])


def pty_copy_rate(size=256 << 20):
    """The raw pseudo-terminal copy rate in bytes per second."""
    out = subprocess.run([BIN / "drel-bench-pty", "copy", str(size)], check=True,
                         capture_output=True, text=True).stdout
    return float(out.split()[0].split("=")[1])


def percentile(samples, share):
    """The sample at `share` (0..1) of the sorted samples."""
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(share * (len(ordered) - 1) + 0.5))]


def median(samples):
    """The median of the samples."""
    return statistics.median(samples)


def machine():
    """One line about the machine: processor, cores, kernel."""
    model = "unknown processor"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{model}, {os.cpu_count()} cores, Linux {os.uname().release}"


def print_table(title, header, rows):
    """Prints a titled table with aligned columns."""
    cells = [header] + [[str(cell) for cell in row] for row in rows]
    widths = [max(len(row[i]) for row in cells) for i in range(len(header))]
    print(f"\n{title}\n")
    for n, row in enumerate(cells):
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())
        if n == 0:
            print("  ".join("-" * width for width in widths))
    sys.stdout.flush()


def rate(bytes_per_s):
    """A byte rate for a table: 1.23 MB/s or 11.5 kB/s."""
    if bytes_per_s >= 1e6:
        return f"{bytes_per_s / 1e6:.2f} MB/s"
    return f"{bytes_per_s / 1e3:.1f} kB/s"


def share(value):
    """A ratio as a percentage."""
    return f"{100 * value:.1f} %"


def header_line(name):
    """The first line every benchmark prints: what, when, where."""
    print(f"{name}: {time.strftime('%Y-%m-%d %H:%M')} on {machine()}")
