#!/usr/bin/env python3
"""Serves the files of DIR/www over HTTPS on 127.0.0.1:PORT with DIR/cert.pem and DIR/key.pem,
for the scripts that need a real server in a process of its own (the update e2e, benchmarks).
    serve_https.py DIR PORT"""
import functools
import http.server
import ssl
import sys

folder, port = sys.argv[1], int(sys.argv[2])
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(folder + "/cert.pem", folder + "/key.pem")
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=folder + "/www")
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()
