"""What the benchmark commands in bench/ share: building, the simulated devices, drel under
measurement, the reference programs, and the tables they print.

Every benchmark runs the real program (drel-bench-run: drel's windows on Qt's offscreen
platform, meters in front of its views) against drel-devsim over pseudo-terminals, in a
private settings folder, and prints one table: the figure, the limit measured in the same run
and their ratio.
"""

import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
# The build folder the benchmarks build and run: build/, or the one DREL_BENCH_BUILD names.
BUILD = Path(os.environ.get("DREL_BENCH_BUILD", ROOT / "build")).absolute()
BIN = BUILD / "bin"
PATIENCE_S = 20.0


BENCH_TARGETS = ["drel-bench-run", "drel-bench-minihost", "drel-bench-pty", "drel-bench-fnvsum",
                 "drel-devsim", "drel-mkimage", "drel-load", "drel-bench-linepace"]


def build():
    """Installs what the benchmarks need and builds their programs (Release) into BUILD."""
    subprocess.run([ROOT / "scripts" / "install-deps", "--bench"], check=True)
    build_dir = BUILD
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


def load_images(ws, host, images, device_options=(), drel_options=(), timeout_s=300,
                via_ser2net=False):
    """Loads the two `images` into a new device, by drel's "Auto Down load" (`host` "drel"),
    by drel-load (`host` "drel-load", with the same line options) or by the minimal C host
    (`host` "minimal host"), and returns each load as (payload bytes, seconds, [turnaround
    microseconds]) as the device timed it. With `via_ser2net` (True, or a dict of ser2net
    connection options) drel or drel-load open the device's line through ser2net (Telnet with
    the COM-PORT option) instead of the pseudo-terminal. Raises when a load failed."""
    device = Device(ws, None if host == "minimal host" else "LOAD", *device_options)
    options = via_ser2net if isinstance(via_ser2net, dict) else None
    server = Ser2net(ws, device.path, options=options) if via_ser2net else None
    port = server.name if server else "LOAD"
    try:
        if host == "drel":
            drel = Drel(ws, [port], *drel_options, "--auto-download", *map(str, images))
            results = device.results(2, timeout_s)
            drel.stop()
        elif host == "drel-load":
            loader = subprocess.run([BIN / "drel-load", "--quiet", *drel_options, port,
                                     *map(str, images)], env=ws.env, stdin=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE, text=True, timeout=timeout_s)
            if loader.returncode != 0:
                raise RuntimeError(f"drel-load {port} failed: {loader.stderr.strip()}")
            results = device.results(2, timeout_s=PATIENCE_S)
        else:
            minihost(device.path, *images)
            results = device.results(2, timeout_s=PATIENCE_S)
    finally:
        if server:
            server.stop()
        device.stop()
    loads = []
    for result, (seconds, turnarounds) in zip(results, device.timings()):
        if not result.startswith("load ok: "):
            raise RuntimeError(f"a load by {host} failed: {result}")
        loads.append((int(result.split()[4]), seconds, turnarounds))
    return loads


def ser2net_program():
    """The ser2net executable (scripts/install-deps installs it): PATH's, else /usr/sbin's."""
    found = shutil.which("ser2net") or shutil.which("ser2net", path="/usr/sbin")
    if not found:
        raise RuntimeError("ser2net is not installed: scripts/install-deps installs it")
    return found


def free_local_port():
    """A TCP port of 127.0.0.1 that nothing listens on now."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def listening_on(port):
    """Whether a socket listens on 127.0.0.1:`port` (from /proc/net/tcp, without connecting:
    a connection would make ser2net open the device's line)."""
    local = f"0100007F:{port:04X}"
    with open("/proc/net/tcp") as table:
        return any(words[1] == local and words[3] == "0A"
                   for words in (line.split() for line in table.readlines()[1:]))


class Ser2net:
    """ser2net serving the terminal device `device_path` (a pseudo-terminal slave in raw mode)
    on a free port of 127.0.0.1: by Telnet with the COM-PORT option (`mode` "rfc2217") or as
    raw TCP (`mode` "tcp"). `name` is the port name drel opens it by. `options` are added to
    the connection's options (e.g. {"dev-to-net-bufsize": 4096})."""

    def __init__(self, ws, device_path, mode="rfc2217", options=None):
        self.port = free_local_port()
        self.name = f"{mode}://127.0.0.1:{self.port}"
        accepter = "telnet(rfc2217),tcp" if mode == "rfc2217" else "tcp"
        config = ws.file(f"ser2net-{self.port}.yaml")
        lines = ["connection: &bench",
                 f"  accepter: {accepter},127.0.0.1,{self.port}",
                 f"  connector: serialdev(nouucplock=true),{device_path},115200n81,local"]
        if options:
            lines += ["  options:"] + [f"    {key}: {value}" for key, value in options.items()]
        config.write_text("\n".join(lines) + "\n")
        self.output = config.with_suffix(".out")
        with open(self.output, "w") as out:
            self.proc = subprocess.Popen([ser2net_program(), "-n", "-d", "-c", config],
                                         stdin=subprocess.DEVNULL, stdout=out,
                                         stderr=subprocess.STDOUT)
        ws.processes.append(self.proc)
        deadline = time.monotonic() + PATIENCE_S
        while not listening_on(self.port):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError(f"ser2net did not serve {self.name}; it said:\n"
                                   + self.output.read_text())
            time.sleep(0.02)

    def stop(self):
        """Ends ser2net (SIGTERM) and reaps it; its connections close."""
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait(timeout=PATIENCE_S)


def ser2net_options(words):
    """ser2net connection options from KEY=VALUE words (e.g. "chardelay=false"), as a dict."""
    options = {}
    for word in words:
        key, sep, value = word.partition("=")
        if not sep or not key:
            raise SystemExit(f"not a ser2net option KEY=VALUE: {word!r}")
        options[key] = value
    return options


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
