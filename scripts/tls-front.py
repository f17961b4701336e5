#!/usr/bin/env python3
"""A TLS front for the https tests and the demo: it ends TLS on 127.0.0.1 and passes the plain
request on to a plain-HTTP server of the caller's, and that server's answer back.

One port per certificate of scripts/tls-certs.sh: good, expired, notyet, wrongname, untrusted, tls13
(the good certificate from a server of TLS 1.3 only), and sni,
which shows the good certificate only to a client that names "localhost" in its handshake (and
the wrong-name one otherwise). The ports are written to PORTS_FILE as "name port" lines.

The plain server is named in the request's path: "GET /@PORT/feed.xml" is passed on to
127.0.0.1:PORT as "GET /feed.xml", every other byte as it came; without "/@PORT" the request
goes to --backend. When that server ends its answer properly, the front closes TLS properly; when
it resets the connection, the front drops the TCP connection without TLS's closing message, as a
cut connection would.

    tls-front.py CERT_DIR PORTS_FILE [--backend PORT]
"""
import argparse
import re
import socket
import os
import ssl
import struct
import sys
import threading

KINDS = ("good", "expired", "notyet", "wrongname", "untrusted", "sni", "tls13")


def context_for(cert_dir, name):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if name == "tls13":
        # The good certificate, from a server that speaks nothing older than TLS 1.3.
        context.minimum_version = ssl.TLSVersion.TLSv1_3
        name = "good"
    context.load_cert_chain(f"{cert_dir}/{name}.crt", f"{cert_dir}/{name}.key")
    return context


def read_request(tls):
    request = b""
    while b"\r\n\r\n" not in request and len(request) < 65536:
        piece = tls.recv(4096)
        if not piece:
            break
        request += piece
    return request


def serve(connection, context, default_backend):
    try:
        tls = context.wrap_socket(connection, server_side=True)
    except (ssl.SSLError, OSError):
        connection.close()
        return
    try:
        request = read_request(tls)
        match = re.match(rb"([A-Z]+ )/@(\d+)(/?)", request)
        if match:
            port = int(match.group(2))
            request = match.group(1) + b"/" + request[match.end():]
        elif default_backend:
            port = default_backend
        else:
            tls.close()
            return
        backend = socket.create_connection(("127.0.0.1", port))
        backend.sendall(request)
        cut = False
        while True:
            try:
                piece = backend.recv(65536)
            except ConnectionResetError:
                cut = True
                break
            if not piece:
                break
            tls.sendall(piece)
        backend.close()
        if cut:
            # Drop the TCP connection without TLS's closing message (closing an SSL socket sends
            # none; unwrap would).
            tls.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            tls.close()
            return
        try:
            tls.unwrap().close()
        except (ssl.SSLError, OSError):
            tls.close()
    except (ssl.SSLError, OSError):
        try:
            tls.close()
        except OSError:
            pass


def listen(kind, cert_dir, default_backend, ports):
    if kind == "sni":
        context = context_for(cert_dir, "wrongname")
        good = context_for(cert_dir, "good")

        def choose(tls, server_name, _context):
            if server_name == "localhost":
                tls.context = good

        context.sni_callback = choose
    else:
        context = context_for(cert_dir, kind)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    ports[kind] = listener.getsockname()[1]

    def accept_loop():
        while True:
            connection, _ = listener.accept()
            threading.Thread(target=serve, args=(connection, context, default_backend),
                             daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cert_dir")
    parser.add_argument("ports_file")
    parser.add_argument("--backend", type=int, default=0)
    arguments = parser.parse_args()
    ports = {}
    for kind in KINDS:
        listen(kind, arguments.cert_dir, arguments.backend, ports)
    with open(arguments.ports_file + ".new", "w") as out:
        for kind in KINDS:
            out.write(f"{kind} {ports[kind]}\n")
    os.replace(arguments.ports_file + ".new", arguments.ports_file)
    threading.Event().wait()


if __name__ == "__main__":
    sys.exit(main())
