"""An RFC 3161 time-stamp server on 127.0.0.1 for the release test, answering through `openssl ts -reply`
with KEYS_DIR/tsa.crt and tsa.key. Prints its port, then serves until it is ended.
   timestamp_server.py KEYS_DIR"""
import http.server
import os
import subprocess
import sys

keys = os.path.abspath(sys.argv[1])
config = os.path.join(keys, "tsa.cnf")
with open(config, "w") as f:
    f.write(f"[tsa]\ndefault_tsa = this\n[this]\nserial = {keys}/tsa.serial\nsigner_cert = {keys}/tsa.crt\n"
            f"signer_key = {keys}/tsa.key\nsigner_digest = sha256\ndefault_policy = 1.2.3.4.1\ndigests = sha256\n")
with open(os.path.join(keys, "tsa.serial"), "w") as f:
    f.write("01\n")


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", "/dev/stdin",
                                "-out", "/dev/stdout"], input=query, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
