#!/usr/bin/env python3
"""Loopback HTTP server of the updater's tests and benchmark, on 127.0.0.1 only.
  http_server.py start PORT PIDFILE [EXE]   serves in the background, ends by itself after 15 minutes
  http_server.py stop PIDFILE
Generated bodies repeat a 1021-byte period (not a divisor of the 1024-byte
pieces, so a lost or repeated piece shows) and start with "MZ"."""
import os, signal, socket, subprocess, sys, threading, time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PERIOD = bytes((k * 73 + 11) & 0xFF for k in range(1021))
# name: (size, Content-Length sent, bytes sent, piece, pause after each piece)
CASES = {"normal": (10000, True, 10000, 65536, 0), "small": (500, True, 500, 65536, 0),
         "multiple": (4096, True, 4096, 65536, 0), "nolength": (3000, False, 3000, 65536, 0),
         "short": (8000, True, 3000, 65536, 0), "drip": (3000, True, 3000, 100, 0.02),
         "big": (5 * 1024 * 1024 + 123, True, 5 * 1024 * 1024 + 123, 65536, 0)}


def pattern(start, count):
    first = start % len(PERIOD)
    out = bytearray((PERIOD * ((first + count) // len(PERIOD) + 1))[first:first + count])
    for i in range(start, min(2, start + count)):
        out[i - start] = b"MZ"[i]
    return bytes(out)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def answer(self, code, kind, body, length=None):
        self.send_response(code)
        self.send_header("Content-Type", kind)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parts = [p for p in self.path.split("/") if p]
        case = CASES.get(parts[0] if parts else "")
        if parts[1:2] and parts[0] == "bench" and parts[1].isdigit():
            case = (int(parts[1]), True, int(parts[1]), 65536, 0)
        try:
            if parts == ["soft", "updates", "Vornadel", "vornadel.exe"] and self.server.exe:
                with open(self.server.exe, "rb") as f:
                    data = f.read()
                self.answer(200, "application/octet-stream", data, len(data))
            elif case:
                size, announced, sent, piece, pause = case
                self.answer(200, "application/octet-stream", b"", size if announced else None)
                for at in range(0, sent, piece):
                    self.wfile.write(pattern(at, min(piece, sent - at)))
                    self.wfile.flush()
                    time.sleep(pause)
            elif parts[:1] == ["hold"]:
                time.sleep(20)  # never answers: the client's states stay put
            elif parts[:1] == ["notexe"]:
                page = ("<html><body>" + "not a program " * 140 + "</body></html>").encode()
                self.answer(200, "text/html", page, len(page))
            else:
                page = b"<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>"
                self.answer(404, "text/html", page, len(page))
        except OSError:
            pass


def ours(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return b"http_server.py" in f.read()
    except OSError:
        return False


def stop(pidfile):
    try:
        with open(pidfile) as f:
            pid = int(f.read())
        os.remove(pidfile)
    except (OSError, ValueError):
        return
    if ours(pid):
        os.kill(pid, signal.SIGTERM)


def main(command, *args):
    if command == "serve":
        server = ThreadingHTTPServer(("127.0.0.1", int(args[0])), Handler)
        server.daemon_threads, server.exe = True, (args[1:] or [None])[0]
        threading.Timer(900, lambda: os._exit(0)).start()  # never outlives a lost stop
        signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
        server.serve_forever()
    if command == "stop":
        return stop(args[0])
    port, pidfile = int(args[0]), args[1]
    stop(pidfile)
    child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", *args[:1], *args[2:]],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)
    with open(pidfile, "w") as f:
        f.write(str(child.pid))
    for _ in range(200):
        if child.poll() is not None:
            sys.exit(f"server could not start on 127.0.0.1:{port}")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return print(f"serving on 127.0.0.1:{port}")
        except OSError:
            time.sleep(0.05)
    stop(pidfile)
    sys.exit("server did not come up")


if __name__ == "__main__":
    main(*sys.argv[1:])
