#!/usr/bin/env python3
"""Loopback HTTP server of the updater's tests and benchmark, on 127.0.0.1 only.
  http_server.py start PORT PIDFILE [EXE]   serves in the background, ends by itself after 15 minutes
  http_server.py stop PIDFILE
Generated bodies repeat a 1021-byte period (not a divisor of the 1024-byte
pieces, so a lost or repeated piece shows) and start with "MZ"."""
import os, signal, sys, threading, time
from pathlib import Path
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PERIOD = bytes((k * 73 + 11) & 0xFF for k in range(1021))
BIG = 5 * 1024 * 1024 + 123
# name: (size, Content-Length sent, bytes sent, pause after each piece: then 100-byte pieces)
CASES = {"normal": (10000, True, 10000, 0), "small": (500, True, 500, 0), "multiple": (4096, True, 4096, 0),
         "nolength": (3000, False, 3000, 0), "short": (8000, True, 3000, 0), "drip": (3000, True, 3000, 0.02),
         "big": (BIG, True, BIG, 0)}


def pattern(start, count):
    first = start % len(PERIOD)
    out = (PERIOD * ((first + count) // len(PERIOD) + 1))[first:first + count]
    return b"MZ"[:count] + out[2:] if start == 0 else out  # pieces start at 0 or well past the "MZ"


class Handler(BaseHTTPRequestHandler):
    def answer(self, code, kind, body, length):
        self.send_response(code)
        self.send_header("Content-Type", kind)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parts = self.path.strip("/").split("/")
        case = CASES.get(parts[0])
        if parts[0] == "bench" and parts[1:] and parts[1].isdigit():
            case = (int(parts[1]), True, int(parts[1]), 0)
        if parts == ["soft", "updates", "Vornadel", "vornadel.exe"] and self.server.exe:
            data = Path(self.server.exe).read_bytes()
            self.answer(200, "application/octet-stream", data, len(data))
        elif case:
            size, announced, sent, pause = case
            piece = 100 if pause else 65536
            self.answer(200, "application/octet-stream", b"", size if announced else None)
            for at in range(0, sent, piece):
                self.wfile.write(pattern(at, min(piece, sent - at)))
                self.wfile.flush()
                time.sleep(pause)
        else:
            notexe = parts[0] == "notexe"
            page = b"<html><body>%s</body></html>" % (b"not a program " * 140 if notexe else b"404 Not Found")
            self.answer(200 if notexe else 404, "text/html", page, len(page))


def stop(pidfile):
    try:
        pid = int(Path(pidfile).read_text())
        os.remove(pidfile)
        if b"http_server.py" in Path(f"/proc/{pid}/cmdline").read_bytes():  # only if it is still ours
            os.kill(pid, signal.SIGTERM)
    except (OSError, ValueError):
        pass


def main(command, pidfile_or_port, *args):
    if command == "stop":
        return stop(pidfile_or_port)
    port, pidfile = int(pidfile_or_port), args[0]
    stop(pidfile)
    server = ThreadingHTTPServer(("127.0.0.1", port), Handler)  # bound before the caller goes on
    server.daemon_threads, server.exe = True, (args[1:] or [None])[0]
    child = os.fork()
    if child:
        Path(pidfile).write_text(str(child))
        return print(f"serving on 127.0.0.1:{port}")
    os.setsid()
    for fd in (0, 1, 2):  # lets go of the caller's output, which ctest waits on
        os.dup2(os.open(os.devnull, os.O_RDWR), fd)
    threading.Timer(900, lambda: os._exit(0)).start()  # never outlives a lost stop
    server.serve_forever()


if __name__ == "__main__":
    main(*sys.argv[1:])
