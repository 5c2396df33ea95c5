#!/usr/bin/env python3
"""Starts the GUI serial terminals a user might pick instead of drel, on a given port.

The display-throughput benchmark floods a pseudo-terminal and measures how fast the
terminal program on the other side drains it. This module runs the peers (gtkterm and
cutecom, from Debian) on such a port under a private Xvfb, each with its own settings in a
work folder so the user's own settings stay untouched, and reads their CPU time and peak
memory from /proc.

A pseudo-terminal has no modem lines: reading them (TIOCMGET) fails with ENOTTY, where a
real UART answers. Both peers give up on the port when that happens (cutecom reports an
error when it sets DTR/RTS after opening; gtkterm polls the lines and closes the port), so
each peer runs with a small preloaded library that answers the modem-line requests for a
terminal that has none, as a real UART with DTR, RTS, CTS, DSR and CD up would. Nothing
else in the peer changes. Neither peer keeps a pseudo-terminal open from its command line
alone, so the peer's own "open port" key is pressed with xdotool, as a user would: Alt+O
("Open") in cutecom, F5 ("Control signals" > "Open Port") in gtkterm.

Run `python3 bench/peers.py PEER` to flood one peer and print its drain rate.
Needs the Debian packages of `scripts/install-deps --bench` and a C compiler.
"""

import argparse
import errno
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import termios
import time

PEERS = ("gtkterm", "cutecom")

SCREEN = "1280x1024x24"
START_DEADLINE_S = 20.0
STOP_DEADLINE_S = 5.0
# The port must stay open and configured this long before a peer counts as started: gtkterm
# opens and closes the port once while starting, and polls the modem lines every few
# hundred milliseconds.
SETTLE_S = 1.0
POLL_S = 0.05
RETRY_KEY_S = 2.0
CUTECOM_SESSION = "bench"
LOCK_DIR = "/run/lock"
LINE_LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQ"
LINES_PER_BLOCK = 800

MODEM_SHIM_SOURCE = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>

/* Modem lines for terminals without any (pseudo-terminals): DTR and RTS as last set,
 * the inputs CTS, DSR and CD up. */
enum { OUTPUTS = TIOCM_DTR | TIOCM_RTS };
static _Atomic int lines = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;

static int is_modem_request(unsigned long request)
{
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS
           || request == TIOCMBIC;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real_ioctl)(int, unsigned long, ...);
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);
    if (!real_ioctl)
        real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");

    int rc = real_ioctl(fd, request, arg);
    if (rc == 0 || errno != ENOTTY || !is_modem_request(request) || !arg)
        return rc;
    struct termios probe;
    if (real_ioctl(fd, TCGETS, &probe) != 0) {
        errno = ENOTTY;
        return rc;
    }
    int *bits = arg;
    if (request == TIOCMGET)
        *bits = lines;
    else if (request == TIOCMSET)
        lines = (lines & ~OUTPUTS) | (*bits & OUTPUTS);
    else if (request == TIOCMBIS)
        lines |= *bits & OUTPUTS;
    else
        lines &= ~(*bits & OUTPUTS);
    return 0;
}
"""

# What gtkterm writes on its first start, saved beforehand so that it does not stop at a
# dialog announcing the new file. The command line sets the port and its parameters.
GTKTERM_RC = """[default]
port\t= {port}
speed\t= 115200
bits\t= 8
stopbits\t= 1
parity\t= none
flow\t= none
wait_delay\t= 0
wait_char\t= -1
rs485_rts_time_before_tx\t= 30
rs485_rts_time_after_tx\t= 30
echo\t= False
crlfauto\t= False
timestamp\t= False
font\t= "Monospace 12"
term_block_cursor\t= True
term_rows\t= 80
term_columns\t= 25
term_scrollback\t= 10000
term_visual_bell\t= True
term_foreground_red\t= 0.660000
term_foreground_blue\t= 0.660000
term_foreground_green\t= 0.660000
term_foreground_alpha\t= 1.000000
term_background_red\t= 0.000000
term_background_blue\t= 0.000000
term_background_green\t= 0.000000
term_background_alpha\t= 1.000000
"""

# One cutecom session as cutecom itself stores it: 115200 8N1, no flow control, read and
# write, plain text display (no hex, no timestamps, no control characters).
CUTECOM_CONF = """[CuteCom]
session={session}

[sessions]
1\\BaudRate=115200
1\\DataBits=8
1\\Device={port}
1\\FlowControl=0
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\autoReconnect=true
1\\name={session}
1\\showCtrlCharacters=false
1\\showTimestamp=false
size=1
"""


def start_xvfb():
    """Starts Xvfb on a free display and returns (process, ":N") once it accepts clients.

    Raises RuntimeError when Xvfb is missing or does not come up within the deadline.
    """
    if shutil.which("Xvfb") is None:
        raise RuntimeError("Xvfb not found: run scripts/install-deps --bench")
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN,
         "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_end,), stdin=subprocess.DEVNULL,
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        number = _read_display_number(read_end, proc)
    finally:
        os.close(read_end)
    display = ":%d" % number
    if not _wait_until(lambda: _x_accepts_clients(number), START_DEADLINE_S):
        _terminate(proc)
        raise RuntimeError("Xvfb %s does not accept clients" % display)
    return proc, display


def start_peer(name, port_path, display, workdir):
    """Starts peer `name` on `port_path` at 115200 8N1 on `display`, settings in `workdir`.

    Returns the running process once it holds the port open and configured (raw, 115200).
    Raises ValueError for an unknown peer and RuntimeError when a tool is missing or the peer
    has not opened the port within the deadline (the peer is stopped then).
    """
    if name not in PEERS:
        raise ValueError("unknown peer %r, expected one of %s" % (name, ", ".join(PEERS)))
    for tool in (name, "xdotool"):
        if shutil.which(tool) is None:
            raise RuntimeError("%s not found: run scripts/install-deps --bench" % tool)
    workdir = os.path.abspath(workdir)
    env = _peer_environment(display, workdir)
    if name == "gtkterm":
        _write_file(os.path.join(env["XDG_CONFIG_HOME"], ".gtktermrc"),
                    GTKTERM_RC.format(port=port_path))
        command = ["gtkterm", "--port", port_path, "--speed", "115200", "--bits", "8",
                   "--stopbits", "1"]
        window, open_key = "^GTKTerm", "F5"
    else:
        _write_file(os.path.join(env["XDG_CONFIG_HOME"], "CuteCom", "CuteCom5.conf"),
                    CUTECOM_CONF.format(port=port_path, session=CUTECOM_SESSION))
        command = ["cutecom", "--session", CUTECOM_SESSION]
        window, open_key = "^CuteCom - ", "alt+o"
    log_path = os.path.join(workdir, name + ".log")
    with open(log_path, "wb") as log:
        proc = subprocess.Popen(command, env=env, cwd=workdir, stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT,
                                start_new_session=True)
    try:
        _open_port_by_key(proc, port_path, display, window, open_key)
    except RuntimeError as error:
        stop_peer(proc)
        raise RuntimeError("%s; its output ends with:\n%s" % (error, _tail(log_path))) from None
    return proc


def stop_peer(proc):
    """Stops a process started here: SIGTERM, then SIGKILL after a deadline. Never hangs.

    Also removes the port lock files the stopped peer leaves behind (cutecom does on SIGTERM).
    """
    _terminate(proc)
    _remove_lock_files(proc.pid)


def cpu_seconds(pid):
    """Returns the user plus system CPU seconds process `pid` has used (all its threads).

    Raises OSError when the process is gone.
    """
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_rss_kib(pid):
    """Returns the peak resident memory (VmHWM) of process `pid` in KiB.

    Raises OSError when the process is gone and ValueError when the kernel does not report it.
    """
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise ValueError("no VmHWM for process %d" % pid)


def _read_display_number(read_end, proc):
    """Reads the display number Xvfb writes once it is ready; raises RuntimeError if none."""
    deadline = time.monotonic() + START_DEADLINE_S
    text = b""
    while not text.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([read_end], [], [], left)[0]:
            _terminate(proc)
            raise RuntimeError("Xvfb did not report its display in time")
        chunk = os.read(read_end, 64)
        if not chunk:
            _terminate(proc)
            raise RuntimeError("Xvfb exited with code %s before it was ready" % proc.poll())
        text += chunk
    return int(text)


def _x_accepts_clients(number):
    """Tells whether the X server of display `number` accepts a connection on its socket."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
        try:
            client.connect("/tmp/.X11-unix/X%d" % number)
        except OSError:
            return False
    return True


def _peer_environment(display, workdir):
    """Builds the peer's environment: the given display, private home, settings and buses."""
    home = os.path.join(workdir, "home")
    runtime = os.path.join(workdir, "runtime")
    os.makedirs(os.path.join(home, ".config"), exist_ok=True)
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = {key: value for key, value in os.environ.items()
           if key not in ("WAYLAND_DISPLAY", "SESSION_MANAGER", "XAUTHORITY")}
    env.update({
        "DISPLAY": display,
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_RUNTIME_DIR": runtime,
        # Keeps the peer off the user's session bus and accessibility bus.
        "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(runtime, "no-bus"),
        "NO_AT_BRIDGE": "1",
        "GDK_BACKEND": "x11",
        "QT_QPA_PLATFORM": "xcb",
        "LD_PRELOAD": _build_modem_shim(workdir),
    })
    return env


def _build_modem_shim(workdir):
    """Compiles the modem-line library into `workdir` and returns its path.

    Raises RuntimeError when no C compiler is found or the build fails.
    """
    compiler = shutil.which("cc") or shutil.which("gcc")
    if compiler is None:
        raise RuntimeError("no C compiler found: run scripts/install-deps")
    source = os.path.join(workdir, "modem-lines.c")
    library = os.path.join(workdir, "modem-lines.so")
    _write_file(source, MODEM_SHIM_SOURCE)
    build = subprocess.run([compiler, "-O2", "-shared", "-fPIC", "-o", library, source, "-ldl"],
                           stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if build.returncode != 0:
        raise RuntimeError("building %s failed:\n%s" % (library, build.stderr))
    return library


def _open_port_by_key(proc, port_path, display, window, key):
    """Presses the peer's "open port" key until it holds the port configured for SETTLE_S.

    Both peers need it for a pseudo-terminal: cutecom opens no port by itself, and gtkterm
    closes the port of its command line again at start when the device manager does not know
    it (pseudo-terminals are unknown to it), until "Open Port" is chosen.
    Raises RuntimeError when the peer exits or the deadline passes.
    """
    deadline = time.monotonic() + START_DEADLINE_S
    open_since = None
    next_key = time.monotonic()
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            raise RuntimeError("%s exited with code %d before it opened %s"
                               % (proc.args[0], proc.returncode, port_path))
        now = time.monotonic()
        if _holds_port(proc.pid, port_path) and _port_is_configured(port_path):
            open_since = open_since or now
            if now - open_since >= SETTLE_S:
                return
        else:
            open_since = None
            if now >= next_key and _press_key(display, window, key):
                next_key = now + RETRY_KEY_S
        time.sleep(POLL_S)
    raise RuntimeError("%s did not open %s at 115200 within %.0f s"
                       % (proc.args[0], port_path, START_DEADLINE_S))


def _press_key(display, window, key):
    """Focuses the first visible window whose name matches `window` and presses `key`.

    Returns False when there is no such window yet or xdotool fails.
    """
    env = dict(os.environ, DISPLAY=display)
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", window],
                           env=env, capture_output=True, text=True, timeout=10)
    ids = found.stdout.split()
    if not ids:
        return False
    pressed = subprocess.run(["xdotool", "windowfocus", "--sync", ids[0], "key", key],
                             env=env, capture_output=True, timeout=10)
    return pressed.returncode == 0


def _holds_port(pid, port_path):
    """Tells whether process `pid` has `port_path` open."""
    fd_dir = "/proc/%d/fd" % pid
    try:
        names = os.listdir(fd_dir)
    except OSError:
        return False
    for name in names:
        try:
            if os.readlink(os.path.join(fd_dir, name)) == port_path:
                return True
        except OSError:
            continue
    return False


def _port_is_configured(port_path):
    """Tells whether the port is raw (no canonical mode, no echo) at 115200 baud.

    A peer that locks the port exclusively is taken as configured when the lock keeps this
    (unprivileged) process out: it sets the lock right before it configures the port.
    """
    try:
        fd = os.open(port_path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
    except OSError as error:
        return error.errno == errno.EBUSY
    try:
        attrs = termios.tcgetattr(fd)
    except termios.error:
        return False
    finally:
        os.close(fd)
    lflag, ispeed = attrs[3], attrs[4]
    return not lflag & (termios.ICANON | termios.ECHO) and ispeed == termios.B115200


def _remove_lock_files(pid):
    """Removes the UUCP-style port locks in LOCK_DIR that name process `pid` as their owner."""
    try:
        names = [name for name in os.listdir(LOCK_DIR) if name.startswith("LCK..")]
    except OSError:
        return
    for name in names:
        path = os.path.join(LOCK_DIR, name)
        try:
            with open(path) as lock:
                owner = lock.readline().strip()
            if owner == str(pid):
                os.remove(path)
        except OSError:
            continue


def _tail(path, lines=8):
    """Returns the last `lines` lines of the text file at `path`, or a note when unreadable."""
    try:
        with open(path, errors="replace") as text:
            return "".join(text.readlines()[-lines:]) or "(nothing)"
    except OSError as error:
        return "(cannot read %s: %s)" % (path, error.strerror)


def _write_file(path, text):
    """Writes `text` to `path`, creating its folder."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        out.write(text)


def _wait_until(condition, timeout_s):
    """Polls `condition` until it holds (True) or `timeout_s` passes (False)."""
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(POLL_S)
    return condition()


def _terminate(proc):
    """SIGTERM to the process (and its session), SIGKILL after the deadline, then reaps it."""
    if proc.poll() is not None:
        return
    _signal_group(proc, signal.SIGTERM)
    try:
        proc.wait(timeout=STOP_DEADLINE_S)
    except subprocess.TimeoutExpired:
        _signal_group(proc, signal.SIGKILL)
        proc.wait(timeout=STOP_DEADLINE_S)


def _signal_group(proc, signum):
    """Sends `signum` to the process group the process leads, or to the process alone."""
    try:
        if os.getpgid(proc.pid) == proc.pid:
            os.killpg(proc.pid, signum)
        else:
            proc.send_signal(signum)
    except ProcessLookupError:
        pass


class _LineFlood:
    """Writes numbered printable lines to a non-blocking pty master as fast as it takes them.

    Numbering and a partly written block carry over from one run to the next, so the lines
    stay whole and in order across runs.
    """

    def __init__(self, master):
        """Floods `master`, which must be non-blocking."""
        self._master = master
        self._poller = select.poll()
        self._poller.register(master, select.POLLOUT)
        self._next_line = 0
        self._pending = memoryview(b"")

    def run(self, seconds):
        """Writes for `seconds` and returns the number of bytes the master took."""
        written = 0
        end = time.monotonic() + seconds
        while True:
            left = end - time.monotonic()
            if left <= 0:
                return written
            if not self._pending:
                self._pending = memoryview(self._block())
            if not self._poller.poll(min(left, 0.1) * 1000):
                continue
            try:
                count = os.write(self._master, self._pending)
            except BlockingIOError:
                continue
            written += count
            self._pending = self._pending[count:]

    def _block(self):
        """Returns the next LINES_PER_BLOCK lines ("%010d " + letters + CR LF) as bytes."""
        first = self._next_line
        self._next_line += LINES_PER_BLOCK
        return "".join("%010d %s\r\n" % (n, LINE_LETTERS)
                       for n in range(first, first + LINES_PER_BLOCK)).encode("ascii")


def _take_screenshot(display, path):
    """Starts `import` to save the whole screen of `display` to `path`; returns the process."""
    return subprocess.Popen(["import", "-display", display, "-window", "root", path],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def _measure(name, seconds, screenshot, workdir):
    """Starts Xvfb and the peer on a new pty, floods it and prints what the peer drained."""
    xvfb, display = start_xvfb()
    master, slave = os.openpty()
    port_path = os.ttyname(slave)
    peer = None
    try:
        os.set_blocking(master, False)
        peer = start_peer(name, port_path, display, workdir)
        # Only the peer reads the port from here on.
        os.close(slave)
        slave = None
        peer_cpu, x_cpu = cpu_seconds(peer.pid), cpu_seconds(xvfb.pid)
        flood = _LineFlood(master)
        started = time.monotonic()
        written = flood.run(seconds)
        elapsed = time.monotonic() - started
        peer_cpu, x_cpu = cpu_seconds(peer.pid) - peer_cpu, cpu_seconds(xvfb.pid) - x_cpu
        if peer.poll() is not None or not _holds_port(peer.pid, port_path):
            raise RuntimeError("%s closed the port during the flood" % name)
        if screenshot:
            shot = _take_screenshot(display, screenshot)
            while shot.poll() is None:
                flood.run(0.1)
        megabytes = written / 1e6
        print("%s: drained %d bytes in %.1f s = %.0f bytes/s (%.2f MB/s)"
              % (name, written, elapsed, written / elapsed, megabytes / elapsed))
        print("%s: CPU %.2f s = %.3f s/MB; Xvfb CPU %.2f s = %.3f s/MB; peak RSS %.1f MiB"
              % (name, peer_cpu, peer_cpu / max(megabytes, 1e-9), x_cpu,
                 x_cpu / max(megabytes, 1e-9), peak_rss_kib(peer.pid) / 1024))
    finally:
        if peer is not None:
            stop_peer(peer)
        if slave is not None:
            os.close(slave)
        os.close(master)
        _terminate(xvfb)


def main():
    """Parses the command line and measures one peer; returns the exit code."""
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("peer", choices=PEERS)
    parser.add_argument("--seconds", type=float, default=20.0, help="flood length (20)")
    parser.add_argument("--screenshot", help="PNG of the screen taken right after the flood, "
                        "while lines still arrive")
    parser.add_argument("--workdir", help="folder for the peer's settings and log "
                        "(default: a new temporary folder, removed afterwards)")
    args = parser.parse_args()
    if args.workdir:
        os.makedirs(args.workdir, exist_ok=True)
        _measure(args.peer, args.seconds, args.screenshot, args.workdir)
        return 0
    with tempfile.TemporaryDirectory(prefix="drel-peer-") as workdir:
        _measure(args.peer, args.seconds, args.screenshot, workdir)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except RuntimeError as failure:
        print("error: %s" % failure, file=sys.stderr)
        sys.exit(1)
