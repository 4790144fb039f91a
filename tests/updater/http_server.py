#!/usr/bin/env python3
"""Loopback HTTP server for the updater's tests and benchmark.

  http_server.py start --port P --pidfile F [--exe FILE] [--lifetime S]
  http_server.py stop --pidfile F

"start" runs the server in the background (bound to 127.0.0.1 only) and
returns once it accepts connections; the server stops by itself after
--lifetime seconds at the latest. "stop" ends it through its pid file.

Every generated body is the same byte pattern, so a test can check any file
it receives: a period of 1021 bytes (not a divisor of the 1024-byte pieces,
so a lost or repeated piece shows), starting with "MZ".
"""
import argparse
import os
import signal
import socket
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PERIOD = 1021
PATTERN = bytes((k * 73 + 11) & 0xFF for k in range(PERIOD))
BLOCK = PATTERN * 64  # a whole number of periods


def body_bytes(start, count):
    """count bytes of the pattern from offset start."""
    out = bytearray()
    offset = start % PERIOD
    while len(out) < count:
        out += PATTERN[offset:]
        offset = 0
    out = out[:count]
    for i, ch in ((0, ord("M")), (1, ord("Z"))):
        if start <= i < start + count:
            out[i - start] = ch
    return bytes(out)


# Sizes of the generated cases, mirrored in the tests.
SIZES = {
    "normal": 10000,
    "small": 500,
    "multiple": 4096,
    "nolength": 3000,
    "short": 8000,
    "drip": 3000,
    "big": 5 * 1024 * 1024 + 123,
}
SHORT_SENT = 3000


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "VornadelTest/1.0"

    def log_message(self, fmt, *args):  # keep the test output clean
        pass

    def send_body(self, total, announced=True, stop_after=None, piece=64 * 1024, delay=0.0):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if announced:
            self.send_header("Content-Length", str(total))
        self.end_headers()
        limit = total if stop_after is None else stop_after
        sent = 0
        while sent < limit:
            n = min(piece, limit - sent)
            if sent >= 2 and piece == len(BLOCK) and n == len(BLOCK) and sent % PERIOD == 0:
                chunk = BLOCK
            else:
                chunk = body_bytes(sent, n)
            self.wfile.write(chunk)
            self.wfile.flush()
            sent += n
            if delay:
                time.sleep(delay)

    def do_GET(self):
        parts = [p for p in self.path.split("?")[0].split("/") if p]
        try:
            self.route(parts)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def route(self, parts):
        case = parts[0] if parts else ""
        if parts == ["soft", "updates", "Vornadel", "vornadel.exe"] and self.server.exe:
            with open(self.server.exe, "rb") as f:
                data = f.read()
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
        elif case in ("normal", "small", "multiple", "big"):
            self.send_body(SIZES[case])
        elif case == "nolength":
            self.send_body(SIZES[case], announced=False)
        elif case == "short":
            self.send_body(SIZES[case], stop_after=SHORT_SENT)
        elif case == "drip":
            self.send_body(SIZES[case], piece=100, delay=0.02)
        elif case == "notexe":
            page = ("<html><body>" + "not a program " * 140 + "</body></html>").encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)
        elif case == "bench" and len(parts) >= 2 and parts[1].isdigit():
            self.send_body(int(parts[1]), piece=len(BLOCK))
        elif case == "hold":
            # Accepts and never answers, until the client gives up.
            time.sleep(20)
        else:
            page = b"<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>"
            self.send_response(404)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)


def serve(args):
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.exe = args.exe
    # Never outlives its time, whatever happens to the tests.
    threading.Timer(args.lifetime, lambda: os._exit(0)).start()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    server.serve_forever()


def is_our_server(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return b"http_server.py" in f.read()
    except OSError:
        return False


def stop(pidfile):
    try:
        with open(pidfile) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return
    if is_our_server(pid):
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            if not is_our_server(pid):
                break
            time.sleep(0.05)
    try:
        os.remove(pidfile)
    except OSError:
        pass


def start(args):
    stop(args.pidfile)
    cmd = [sys.executable, os.path.abspath(__file__), "serve", "--port", str(args.port),
           "--lifetime", str(args.lifetime)]
    if args.exe:
        cmd += ["--exe", args.exe]
    child = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, start_new_session=True)
    with open(args.pidfile, "w") as f:
        f.write(str(child.pid))
    for _ in range(200):
        if child.poll() is not None:
            print(f"server could not start on 127.0.0.1:{args.port} (port in use?)", file=sys.stderr)
            return 1
        try:
            with socket.create_connection(("127.0.0.1", args.port), timeout=0.2):
                print(f"serving on 127.0.0.1:{args.port}, pid {child.pid}")
                return 0
        except OSError:
            time.sleep(0.05)
    stop(args.pidfile)
    print("server did not come up", file=sys.stderr)
    return 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--pidfile")
    parser.add_argument("--exe")
    parser.add_argument("--lifetime", type=float, default=900)
    args = parser.parse_args()
    if args.command == "serve":
        serve(args)
        return 0
    if not args.pidfile:
        parser.error("--pidfile is required")
    if args.command == "stop":
        stop(args.pidfile)
        return 0
    return start(args)


if __name__ == "__main__":
    sys.exit(main())
