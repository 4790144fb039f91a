#!/usr/bin/env python3
"""Loopback HTTP server of the updater's tests and benchmark, on 127.0.0.1 only.
  http_server.py start PORT PIDFILE [EXE [KEYDIR]]   serves in the background, ends by itself after 15 minutes
  http_server.py stop PIDFILE
Bodies are programs made from EXE; with KEYDIR each generated one is also left there
as served-SIZE.bin, /signed/KIND/ is signed with its a.pem or b.pem, and PORT + 1
serves the same over TLS with its self-signed tls.crt, which no client trusts."""
import os, signal, ssl, struct, subprocess, sys, threading, time
from pathlib import Path
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# A 1021-byte period, not a divisor of the 1024-byte pieces, so a lost or repeated piece shows.
PERIOD = bytes((k * 73 + 11) & 0xFF for k in range(1021))
BIG = 5 * 1024 * 1024 + 123
# name: (size, Content-Length sent, bytes sent, pause after each piece: then 100-byte pieces; None: then silence)
# (no size: a body made by special_body, all sent)
CASES = {"normal": (10000, True, 10000, 0), "small": (500, True, 500, 0), "multiple": (4096, True, 4096, 0),
         "nolength": (3000, False, 3000, 0), "short": (8000, True, 3000, 0), "drip": (3000, True, 3000, 0.02),
         "big": (BIG, True, BIG, 0), "stall": (500 * 1024, True, 256 * 1024, None),
         "cutexe": (None, False, None, 0), "otherkind": (None, True, None, 0), "mzjunk": (None, False, None, 0)}
SIGNED = {"valid", "changed", "keyb", "missing", "empty", "truncated", "garbage", "trailing", "oversized"}


def pattern(start, count):
    return (PERIOD * ((start % 1021 + count) // 1021 + 1))[start % 1021:start % 1021 + count]


def program(server, size):
    """EXE, or below its size its headers alone with one empty section, then the pattern."""
    exe = base = Path(server.exe).read_bytes()
    if size < len(exe):
        e = struct.unpack_from("<I", exe, 0x3C)[0]
        table = e + 24 + struct.unpack_from("<H", exe, e + 20)[0]
        base = bytearray(exe[:table + 40])
        struct.pack_into("<H", base, e + 6, 1)
        struct.pack_into("<I", base, e + 24 + 60, len(base))  # SizeOfHeaders
        struct.pack_into("<II", base, table + 16, 0, 0)  # no raw data
    body = bytes(base[:size]) + pattern(len(base), size - len(base))
    if server.keydir:
        Path(server.keydir, f"served-{size}.bin").write_bytes(body)
    return body


def special_body(exe, kind):
    e = struct.unpack_from("<I", exe, 0x3C)[0]
    machine = 0x14C if struct.unpack_from("<H", exe, e + 4)[0] == 0x8664 else 0x8664  # the other kind of PC
    return {"cutexe": exe[:len(exe) * 2 // 3], "otherkind": exe[:e + 4] + struct.pack("<H", machine) + exe[e + 6:],
            "mzjunk": b"MZ" + pattern(2, 20000)}[kind]


def sign(keydir, key, data):
    return subprocess.run(["openssl", "dgst", "-sha256", "-sign", os.path.join(keydir, key)], input=data,
                          stdout=subprocess.PIPE, check=True).stdout


def signed(server, kind, sig):
    body = program(server, 20000)
    if not sig:
        return body[:-1] + bytes([body[-1] ^ 1]) if kind == "changed" else body
    if kind in ("missing", "empty", "garbage", "oversized"):
        return {"missing": None, "empty": b"", "garbage": pattern(0, 70), "oversized": b"0" * 200}[kind]
    good = sign(server.keydir, "b.pem" if kind == "keyb" else "a.pem", body)
    return good[:-5] if kind == "truncated" else good + b"\0" if kind == "trailing" else good


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
        size, announced, sent, pause = CASES.get(parts[0], (None, True, None, 0))
        if parts[0] == "bench" and parts[1:] and parts[1].isdigit():
            size = int(parts[1])
        exe = Path(self.server.exe).read_bytes() if self.server.exe else b""
        files, body = ("vornadel.exe", "vornadel.exe.sig"), None
        if parts[:3] == ["soft", "updates", "Vornadel"] and len(parts) == 4 and parts[3] in files:
            body = exe if parts[3] == "vornadel.exe" else sign(self.server.keydir, "a.pem", exe)
        elif parts[0] == "signed" and len(parts) == 3 and parts[1] in SIGNED and parts[2] in files:
            body = signed(self.server, parts[1], parts[2].endswith(".sig"))
        elif size:
            body = program(self.server, size)
        elif parts[0] in CASES:
            body = special_body(exe, parts[0])
        if body is None:
            notexe = parts[0] == "notexe"
            page = b"<html><body>%s</body></html>" % (b"not a program " * 140 if notexe else b"404 Not Found")
            return self.answer(200 if notexe else 404, "text/html", page, len(page))
        piece, sent = 100 if pause else 65536, sent or len(body)
        self.answer(200, "application/octet-stream", b"", len(body) if announced else None)
        for at in range(0, sent, piece):
            self.wfile.write(body[at:at + min(piece, sent - at)])
            self.wfile.flush()
            time.sleep(pause or 0)
        time.sleep(60 if pause is None else 0)  # a server gone silent, the connection left open


def stop(pidfile):
    try:
        pid = int(Path(pidfile).read_text())
        os.remove(pidfile)
        if b"http_server.py" in Path(f"/proc/{pid}/cmdline").read_bytes():  # only if it is still ours
            os.kill(pid, signal.SIGTERM)
    except (OSError, ValueError):
        pass


def bind(port):
    for _ in range(100):  # waits for a stopped predecessor to let go of the port
        try:
            return ThreadingHTTPServer(("127.0.0.1", port), Handler)
        except OSError:
            time.sleep(0.05)
    return ThreadingHTTPServer(("127.0.0.1", port), Handler)


def main(command, pidfile_or_port, pidfile=None, exe=None, keydir=None):
    if command == "stop":
        return stop(pidfile_or_port)
    stop(pidfile)
    port = int(pidfile_or_port)
    servers = [bind(port)]  # bound before the caller goes on
    if keydir:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(keydir, "tls.crt"), os.path.join(keydir, "tls.key"))
        servers.append(bind(port + 1))
        servers[1].socket = context.wrap_socket(servers[1].socket, server_side=True)
    for server in servers:
        server.daemon_threads, server.exe, server.keydir = True, exe, keydir
    child = os.fork()
    if child:
        Path(pidfile).write_text(str(child))
        return print(f"serving on 127.0.0.1:{port}")
    os.setsid()
    for fd in (0, 1, 2):  # lets go of the caller's output, which ctest waits on
        os.dup2(os.open(os.devnull, os.O_RDWR), fd)
    threading.Timer(900, lambda: os._exit(0)).start()  # never outlives a lost stop
    for server in servers[1:]:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    servers[0].serve_forever()


if __name__ == "__main__":
    main(*sys.argv[1:])
