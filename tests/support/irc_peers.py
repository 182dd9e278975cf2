#!/usr/bin/python3
"""Real IRC peers on 127.0.0.1 for tests: ngircd, an observer in #np, and a headless WeeChat.

The observer is a socket client joined to #np that logs every line it receives (raw bytes, one per
line). WeeChat joins #np as "player"; its fifo is in the folder printed as fifo_dir, so a test
points WEECHAT_HOME there and writes to it through the player's link.

Command line:
  irc_peers.py serve --dir DIR    start everything, print "ready FIFO_DIR OBSERVER_LOG PORT",
                                  stop everything when standard input closes or on SIGTERM
  irc_peers.py start --dir DIR    the same in the background, for shell scripts; prints the
                                  ready line and returns
  irc_peers.py stop --dir DIR     stop what "start" started
  irc_peers.py run --dir DIR -- COMMAND...
                                  start everything, run COMMAND with WEECHAT_HOME,
                                  IRC_OBSERVER_LOG and IRC_PORT set, stop, exit with its status
Every wait is bounded, and a serving process stops by itself after --max-seconds.

As a module: with Peers(workdir) as peers: peers.wait_for(b"PRIVMSG #np :hi", 30)
"""
import argparse
import ctypes
import os
import signal
import socket
import subprocess
import sys
import threading
import time

CHANNEL = "#np"
PLAYER = "player"
OBSERVER = "observer"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def die_with_parent():
    """Runs in the child before exec: take the child down if the harness itself is killed."""
    try:
        ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except OSError:
        pass


def wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.05)
    raise TimeoutError("timed out after %ss waiting for %s" % (timeout, what))


def stop_process(process, grace=5):
    if process is None or process.poll() is not None:
        return
    if process.stdin is not None:
        process.stdin.close()  # a guard stops its child on this
        try:
            process.wait(grace)
            return
        except subprocess.TimeoutExpired:
            pass
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(grace)


class Observer(threading.Thread):
    """An IRC client in #np that logs every line it receives."""

    def __init__(self, port, log_path):
        super().__init__(daemon=True)
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.sock.settimeout(0.5)
        self.log = open(log_path, "ab")
        self.lines = []
        self.lock = threading.Lock()
        self.stopping = threading.Event()
        self.send("NICK %s" % OBSERVER)
        self.send("USER %s 0 * :%s" % (OBSERVER, OBSERVER))

    def send(self, line):
        self.sock.sendall(line.encode() + b"\r\n")

    def run(self):
        buffer = b""
        while not self.stopping.is_set():
            try:
                data = self.sock.recv(4096)
            except socket.timeout:
                continue
            except OSError:
                break
            if not data:
                break
            buffer += data
            while b"\r\n" in buffer:
                line, buffer = buffer.split(b"\r\n", 1)
                self.received(line)

    def received(self, line):
        self.log.write(line + b"\n")
        self.log.flush()
        with self.lock:
            self.lines.append(line)
        words = line.split(b" ")
        if words[0] == b"PING":
            self.send("PONG " + line[5:].decode("utf-8", "replace"))
        elif len(words) > 1 and words[1] == b"001":
            self.send("JOIN %s" % CHANNEL)

    def seen(self, *needles):
        """True once one received line holds every needle."""
        with self.lock:
            return any(all(n in line for n in needles) for line in self.lines)

    def close(self):
        self.stopping.set()
        try:
            self.send("QUIT")
        except OSError:
            pass
        self.join(5)
        self.sock.close()
        self.log.close()


class Peers:
    def __init__(self, workdir):
        self.workdir = os.path.abspath(workdir)
        self.fifo_dir = os.path.join(self.workdir, "weechat")
        self.observer_log = os.path.join(self.workdir, "observer.log")
        self.port = None
        self.ngircd = None
        self.weechat = None
        self.observer = None

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self, timeout=90):
        deadline = time.monotonic() + timeout
        left = lambda: max(1.0, deadline - time.monotonic())  # noqa: E731
        self._start_ngircd(left)
        self.observer = Observer(self.port, self.observer_log)
        self.observer.start()
        wait_until(lambda: self.observer.seen(b" 366 " + OBSERVER.encode()), left(),
                   "the observer to join " + CHANNEL)
        self._start_weechat()
        fifo = os.path.join(self.fifo_dir, "weechat_fifo_%d" % self.weechat.pid)
        wait_until(lambda: self.weechat.poll() is not None
                   or (os.path.exists(fifo)
                       and self.observer.seen(b":%s!" % PLAYER.encode(), b" JOIN ")),
                   left(), "WeeChat to join " + CHANNEL)
        if self.weechat.poll() is not None:
            raise RuntimeError("weechat-headless exited with %s" % self.weechat.returncode)
        return self

    def _start_ngircd(self, left):
        folder = os.path.join(self.workdir, "ngircd")
        include = os.path.join(folder, "conf.d")
        os.makedirs(include, exist_ok=True)
        for attempt in range(5):
            self.port = free_port()
            config = os.path.join(folder, "ngircd.conf")
            with open(config, "w") as f:
                f.write("[Global]\nName = irc.test.local\nInfo = test\nAdminInfo1 = t\n"
                        "AdminInfo2 = t\nAdminEMail = t@localhost\nListen = 127.0.0.1\n"
                        "Ports = %d\nMotdPhrase = test\n[Options]\nPAM = no\nIdent = no\n"
                        "DNS = no\nIncludeDir = %s\n" % (self.port, include))
            out = open(os.path.join(folder, "ngircd.out"), "ab")
            # Started as root, ngircd switches to "nobody", which drops the parent-death signal,
            # so a guard stands between us and it.
            self.ngircd = subprocess.Popen([sys.executable, os.path.abspath(__file__), "guard",
                                            "--", "ngircd", "-n", "-f", config],
                                           stdin=subprocess.PIPE, stdout=out,
                                           stderr=subprocess.STDOUT)
            out.close()

            def listening():
                try:
                    socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                    return True
                except OSError:
                    return self.ngircd.poll() is not None

            wait_until(listening, min(20.0, left()), "ngircd to listen")
            if self.ngircd.poll() is None:
                return
        raise RuntimeError("ngircd did not start; see %s" % folder)

    def _start_weechat(self):
        os.makedirs(self.fifo_dir, exist_ok=True)
        out = open(os.path.join(self.workdir, "weechat.out"), "ab")
        commands = ("/server add t 127.0.0.1/%d -notls -nicks=%s -autojoin=%s; /connect t"
                    % (self.port, PLAYER, CHANNEL))
        # Not --daemon: the fifo's name carries the pid.
        self.weechat = subprocess.Popen(["weechat-headless", "-d", self.fifo_dir, "-r", commands],
                                        stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=subprocess.STDOUT, preexec_fn=die_with_parent)
        out.close()

    def wait_for(self, needle, timeout):
        wait_until(lambda: self.observer.seen(needle), timeout, repr(needle))

    def stop(self):
        stop_process(self.weechat)
        if self.observer is not None:
            self.observer.close()
            self.observer = None
        stop_process(self.ngircd)


def guard(command):
    """Runs command until our standard input closes or we are told to stop, then stops it."""
    child = subprocess.Popen(command, stdin=subprocess.DEVNULL)

    def follow_child():
        os._exit(child.wait())

    threading.Thread(target=follow_child, daemon=True).start()
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    try:
        while os.read(sys.stdin.fileno(), 4096):
            pass
    finally:
        stop_process(child)
    return 0


def serve(args, on_ready):
    def stop_on_signal(signum, frame):
        raise SystemExit(128 + signum)

    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, stop_on_signal)
    os.makedirs(args.dir, exist_ok=True)
    with Peers(args.dir) as peers:
        on_ready(peers)
        return 0


def ready_line(peers):
    return "ready %s %s %d" % (peers.fifo_dir, peers.observer_log, peers.port)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("action", choices=["serve", "start", "stop", "run", "guard"])
    parser.add_argument("--dir")
    parser.add_argument("--max-seconds", type=float, default=900)
    parser.add_argument("--detached", action="store_true", help=argparse.SUPPRESS)
    argv = sys.argv[1:]
    command = argv[argv.index("--") + 1:] if "--" in argv else []
    args = parser.parse_args(argv[:argv.index("--")] if "--" in argv else argv)
    if args.action == "guard":
        return guard(command)
    if not args.dir:
        parser.error("--dir is needed")
    pid_file = os.path.join(os.path.abspath(args.dir), "peers.pid")

    if args.action == "serve":
        def wait_for_end(peers):
            print(ready_line(peers), flush=True)
            end = time.monotonic() + args.max_seconds
            if args.detached:
                while time.monotonic() < end:
                    time.sleep(0.5)
                return
            # Standard input closing means whoever started us is gone.
            import selectors
            with selectors.DefaultSelector() as sel:
                sel.register(sys.stdin, selectors.EVENT_READ)
                while time.monotonic() < end:
                    if sel.select(timeout=1) and not os.read(sys.stdin.fileno(), 4096):
                        return

        return serve(args, wait_for_end)

    if args.action == "start":
        os.makedirs(args.dir, exist_ok=True)
        child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--dir",
                                  args.dir, "--max-seconds", str(args.max_seconds), "--detached"],
                                 stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=open(os.path.join(args.dir, "peers.err"), "ab"),
                                 start_new_session=True)
        line = child.stdout.readline().decode().strip()
        if not line.startswith("ready"):
            stop_process(child)
            print("irc peers did not start", file=sys.stderr)
            return 1
        with open(pid_file, "w") as f:
            f.write("%d\n" % child.pid)
        print(line, flush=True)
        return 0

    if args.action == "stop":
        try:
            with open(pid_file) as f:
                pid = int(f.read())
        except (OSError, ValueError):
            return 0
        try:
            os.kill(pid, signal.SIGTERM)
            wait_until(lambda: not os.path.exists("/proc/%d" % pid)
                       or open("/proc/%d/stat" % pid).read().split()[2] == "Z", 20,
                       "the peers to stop")
        except ProcessLookupError:
            pass
        os.remove(pid_file)
        return 0

    # run
    if not command:
        parser.error("run needs a command after --")
    status = [1]

    def run_command(peers):
        env = dict(os.environ, WEECHAT_HOME=peers.fifo_dir, IRC_OBSERVER_LOG=peers.observer_log,
                   IRC_PORT=str(peers.port))
        status[0] = subprocess.call(command, env=env)

    serve(args, run_command)
    return status[0]


if __name__ == "__main__":
    sys.exit(main())
