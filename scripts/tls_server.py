#!/usr/bin/env python3
"""HTTPS on loopback for the update check's tests.

Makes two test CAs with openssl (one that the test's Wine prefix is told to
trust, one it is not) and serves DIR/www twice on 127.0.0.1: with a
certificate from the trusted CA on --port, and from the other CA on a free
port. Writes DIR/ready (the two ports) once both listen. Loopback only;
stops by itself after --lifetime seconds.

Usage: tls_server.py DIR [--port N] [--lifetime SECONDS]
Files: DIR/tls/trusted-ca.der is the CA to trust; DIR/www is served. While
DIR/www/downloads/stall exists, every answer waits 60 s first (a network
that has gone silent), and stall.held says that a request is held.
"""
import argparse
import http.server
import os
import ssl
import subprocess
import sys
import threading
import time


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_ca(tls, name):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-subj", f"/CN=Tidewell test CA {name}",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", f"{name}-ca.key", "-out", f"{name}-ca.pem", cwd=tls)
    openssl("x509", "-in", f"{name}-ca.pem", "-outform", "DER",
            "-out", f"{name}-ca.der", cwd=tls)


def make_server_cert(tls, ca):
    ext = os.path.join(tls, f"{ca}-server.ext")
    with open(ext, "w") as f:
        f.write("subjectAltName=IP:127.0.0.1,DNS:127.0.0.1\n"
                "extendedKeyUsage=serverAuth\n"
                "basicConstraints=CA:FALSE\n")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
            "-keyout", f"{ca}-server.key", "-out", f"{ca}-server.csr", cwd=tls)
    openssl("x509", "-req", "-in", f"{ca}-server.csr", "-CA", f"{ca}-ca.pem",
            "-CAkey", f"{ca}-ca.key", "-CAcreateserial", "-days", "2",
            "-extfile", ext, "-out", f"{ca}-server.pem", cwd=tls)


STALL_SECONDS = 60


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        stall = os.path.join(self.directory, "downloads", "stall")
        if os.path.exists(stall):
            open(stall + ".held", "w").close()  # the test may act now
            time.sleep(STALL_SECONDS)
        super().do_GET()

    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        super().end_headers()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that went away, a handshake refused: the test's business


def serve(directory, port, cert, key):
    handler = lambda *a, **k: Quiet(*a, directory=directory, **k)
    httpd = Server(("127.0.0.1", port), handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    httpd.socket = context.wrap_socket(httpd.socket, server_side=True)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    return httpd.server_address[1]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dir")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--lifetime", type=float, default=600)
    a = ap.parse_args()
    tls = os.path.join(a.dir, "tls")
    www = os.path.join(a.dir, "www")
    os.makedirs(tls, exist_ok=True)
    os.makedirs(os.path.join(www, "downloads"), exist_ok=True)
    for ca in ("trusted", "untrusted"):
        if not os.path.exists(os.path.join(tls, f"{ca}-server.pem")):
            make_ca(tls, ca)
            make_server_cert(tls, ca)
    ports = [serve(www, a.port, os.path.join(tls, "trusted-server.pem"),
                   os.path.join(tls, "trusted-server.key")),
             serve(www, 0, os.path.join(tls, "untrusted-server.pem"),
                   os.path.join(tls, "untrusted-server.key"))]
    with open(os.path.join(a.dir, "ready.tmp"), "w") as f:
        f.write(f"{ports[0]} {ports[1]}\n")
    os.replace(os.path.join(a.dir, "ready.tmp"), os.path.join(a.dir, "ready"))
    threading.Event().wait(a.lifetime)
    return 0


if __name__ == "__main__":
    sys.exit(main())
