#!/usr/bin/env python3
"""Loopback HTTP server of the updater's tests and benchmark, on 127.0.0.1 only.
  http_server.py start PORT PIDFILE [EXE [KEYDIR [VERSIONS]]]   serves in the background, ends by itself after 15 minutes
  http_server.py stop PIDFILE
Bodies are programs made from EXE. With KEYDIR, PORT + 1 serves the same over TLS with its tls.crt, which no
client trusts, and /signed/KIND/ is signed with its a.pem or b.pem, as is /versions/KIND/, VERSIONS/KIND/vornadel.exe.
/declared/LENGTH/ announces LENGTH and sends a little; /endless/ sends without end and without a length;
/slow/BURST/RATE/SIZE/ sends BURST bytes at once, then RATE bytes a second."""
import contextlib, os, signal, ssl, struct, subprocess, sys, threading, time
from pathlib import Path
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# name: (size, Content-Length sent, bytes sent)
CASES = {"nolength": (3000, False, 3000), "short": (8000, True, 3000), "stall": (500 * 1024, True, 256 * 1024)}
SIGNED = {"valid", "changed", "keyb", "missing", "truncated", "oversized", "servererror"}
SIGNED_SIZE = 150000  # three of the verifier's reads: a change in the last one must show


def program(exe, size):
    """EXE, or below its size its headers alone with one empty section, then filler."""
    base = exe
    if size < len(exe):
        e = struct.unpack_from("<I", exe, 0x3C)[0]
        table = e + 24 + struct.unpack_from("<H", exe, e + 20)[0]
        base = bytearray(exe[:table + 40])
        struct.pack_into("<H", base, e + 6, 1)
        struct.pack_into("<I", base, e + 24 + 60, len(base))  # SizeOfHeaders
        struct.pack_into("<II", base, table + 16, 0, 0)  # no raw data
    return bytes(base[:size]) + (bytes(range(7, 256)) * (size // 249 + 1))[:max(size - len(base), 0)]


def sign(keydir, key, data):
    return subprocess.run(["openssl", "dgst", "-sha256", "-sign", os.path.join(keydir, key)], input=data,
                          stdout=subprocess.PIPE, check=True).stdout


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        parts = self.path.strip("/").split("/")
        size, announced, sent = CASES.get(parts[0], (None, True, None))
        if parts[0] == "bench" and parts[1:] and parts[1].isdigit():
            size = int(parts[1])
        exe, keydir, body = self.exe, self.keydir, None
        if parts[0] in ("declared", "endless", "slow"):
            return self.unusual(parts)
        if parts[:3] == ["soft", "updates", "Vornadel"] and parts[3:] in (["vornadel.exe"], ["vornadel.exe.sig"]):
            body = exe if parts[3] == "vornadel.exe" else sign(keydir, "a.pem", exe)
        elif parts[0] == "versions" and len(parts) == 3 and parts[1].isalpha():
            with contextlib.suppress(OSError):
                body = Path(self.versions, parts[1], "vornadel.exe").read_bytes()
            if body and parts[2].endswith(".sig"):
                body = sign(keydir, "a.pem", body)
        elif parts[0] == "signed" and len(parts) == 3 and parts[1] in SIGNED:
            kind, body = parts[1], program(exe, SIGNED_SIZE)
            if parts[2].endswith(".sig"):
                if kind == "servererror":
                    return self.send_error(500)
                good = sign(keydir, "b.pem" if kind == "keyb" else "a.pem", body)
                body = {"missing": None, "oversized": b"0" * 200, "truncated": good[:-5]}.get(kind, good)
            elif kind == "changed":
                body = body[:-1] + bytes([body[-1] ^ 1])
        elif size:
            body = program(exe, size)
        elif parts[0] == "otherkind":
            e = struct.unpack_from("<I", exe, 0x3C)[0]
            body = exe[:e + 4] + (b"\x4c\x01" if exe[e + 4:e + 6] == b"\x64\x86" else b"\x64\x86") + exe[e + 6:]
        if body is None:
            return self.send_error(404)
        self.send_response(200)
        if announced:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[:sent])
        time.sleep(60 if parts[0] == "stall" else 0)  # a server gone silent, the connection left open


    def unusual(self, parts):
        """Bodies the client is expected to give up on; a client that does just closes the connection."""
        numbers = [int(p) for p in parts[1:-1] if p.isdigit()]
        self.send_response(200)
        if parts[0] != "endless":
            self.send_header("Content-Length", str(numbers[-1]))
        self.end_headers()
        with contextlib.suppress(ConnectionError):
            if parts[0] == "declared":
                return self.wfile.write(self.exe)
            if parts[0] == "endless":
                block = program(self.exe, 1 << 20)
                while True:
                    self.wfile.write(block)
            burst, rate, size = numbers
            body = program(self.exe, size)
            self.wfile.write(body[:burst])
            start, sent = time.monotonic(), burst
            while sent < size:
                time.sleep(0.1)
                due = min(size, burst + int((time.monotonic() - start) * rate))
                self.wfile.write(body[sent:due])
                self.wfile.flush()
                sent = due


def stop(pidfile):
    with contextlib.suppress(OSError, ValueError):
        pid = int(Path(pidfile).read_text())
        os.remove(pidfile)
        if b"http_server.py" in Path(f"/proc/{pid}/cmdline").read_bytes():  # only if it is still ours
            os.kill(pid, signal.SIGTERM)
            while os.listdir(f"/proc/{pid}/fd"):  # until it has let go of the port
                time.sleep(0.05)


def main(command, pidfile_or_port, pidfile=None, exe=None, keydir=None, versions=None):
    if command == "stop":
        return stop(pidfile_or_port)
    stop(pidfile)
    Handler.exe, Handler.keydir, Handler.versions = Path(exe).read_bytes() if exe else b"", keydir, versions
    port = int(pidfile_or_port)
    servers = [ThreadingHTTPServer(("127.0.0.1", port), Handler)]  # bound before the caller goes on
    if keydir:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(keydir, "tls.crt"), os.path.join(keydir, "tls.key"))
        servers.append(ThreadingHTTPServer(("127.0.0.1", port + 1), Handler))
        servers[1].socket = context.wrap_socket(servers[1].socket, server_side=True)
    if child := os.fork():
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
