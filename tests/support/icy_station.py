#!/usr/bin/python3
"""A small web-radio station on 127.0.0.1 for tests: mp3 frames with ICY metadata.

Command line:
  icy_station.py [--name NAME] [--title TITLE] [--metaint BYTES] [--hang] [--max-seconds S]

Prints "ready PORT" once it listens, then serves every client the same endless stream: mp3
frames made with ffmpeg (a tone, 128 kbit/s), sent at the rate they play after a short burst.
A client that asks for metadata ("Icy-MetaData: 1") gets an "icy-metaint" header and, every
BYTES bytes of audio, a block with StreamTitle='TITLE';. Each line on standard input
"title TEXT" changes the title from the next block on; TEXT takes Python escapes (\\r, \\n,
\\xff), so a test can send any bytes, and a title past the 4080 bytes a block can hold is cut.
With --hang the station accepts connections and never answers. Standard input closing, or
--max-seconds passing, stops it.
"""
import argparse
import codecs
import os
import selectors
import socket
import subprocess
import sys
import tempfile
import threading
import time

RATE = 128000 // 8  # bytes of audio per second
BURST = RATE        # sent at once, as stations fill a new listener's buffer


def make_frames():
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "tone.mp3")
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=10", "-b:a", "128k", "-id3v2_version", "0",
                        "-write_xing", "0", "-map_metadata", "-1", path],
                       check=True, stdin=subprocess.DEVNULL, timeout=120)
        with open(path, "rb") as f:
            return f.read()


class Station:
    def __init__(self, name, title, metaint, hang):
        self.name = name
        self.title = title
        self.metaint = metaint
        self.hang = hang
        self.lock = threading.Lock()
        self.frames = b"" if hang else make_frames()
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.held = []  # connections left unanswered

    def set_title(self, title):
        with self.lock:
            self.title = title

    def block(self):
        with self.lock:
            text = b"StreamTitle='" + self.title + b"';"
        text = text[:255 * 16]
        size = (len(text) + 15) // 16
        return bytes([size]) + text.ljust(size * 16, b"\0")

    def accept_forever(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            if self.hang:
                self.held.append(client)
                continue
            threading.Thread(target=self.serve, args=(client,), daemon=True).start()

    def serve(self, client):
        try:
            client.settimeout(10)
            request = b""
            while b"\r\n\r\n" not in request and len(request) < 65536:
                data = client.recv(4096)
                if not data:
                    return
                request += data
            wants_meta = b"icy-metadata: 1" in request.lower()
            head = ("HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n"
                    "icy-name: %s\r\nicy-br: 128\r\n" % self.name)
            if wants_meta:
                head += "icy-metaint: %d\r\n" % self.metaint
            client.sendall(head.encode() + b"\r\n")
            start = time.monotonic()
            sent = 0      # audio bytes
            offset = 0    # into the frames, which repeat
            to_block = self.metaint
            while True:
                due = BURST + int((time.monotonic() - start) * RATE) - sent
                while due > 0:
                    n = min(due, len(self.frames) - offset, to_block if wants_meta else due)
                    client.sendall(self.frames[offset:offset + n])
                    sent += n
                    due -= n
                    offset = (offset + n) % len(self.frames)
                    to_block -= n
                    if wants_meta and to_block == 0:
                        client.sendall(self.block())
                        to_block = self.metaint
                time.sleep(0.02)  # pacing the stream to the rate it plays at
        except OSError:
            pass
        finally:
            client.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--name", default="Tunelark FM")
    parser.add_argument("--title", default="")
    parser.add_argument("--metaint", type=int, default=8192)
    parser.add_argument("--hang", action="store_true")
    parser.add_argument("--max-seconds", type=float, default=600)
    args = parser.parse_args()

    station = Station(args.name, codecs.escape_decode(args.title.encode())[0], args.metaint,
                      args.hang)
    threading.Thread(target=station.accept_forever, daemon=True).start()
    print("ready %d" % station.port, flush=True)

    end = time.monotonic() + args.max_seconds
    pending = b""
    with selectors.DefaultSelector() as sel:
        sel.register(sys.stdin, selectors.EVENT_READ)
        while time.monotonic() < end:
            if not sel.select(timeout=1):
                continue
            data = os.read(sys.stdin.fileno(), 65536)
            if not data:
                break
            pending += data
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                if line.startswith(b"title "):
                    station.set_title(codecs.escape_decode(line[6:])[0])
    station.listener.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
