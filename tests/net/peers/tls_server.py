#!/usr/bin/python3
"""An HTTPS peer with a given certificate: answers every POST with an upload reply naming a link on itself."""

import http.server
import ssl
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        self.rfile.read(length)
        body = ("<xml><url>https://127.0.0.1:%d/f/1</url><folders></folders></xml>" % self.server.server_port).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    cert, key = sys.argv[1], sys.argv[2]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print("ready", server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
