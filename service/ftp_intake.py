#!/usr/bin/python3
"""The service's FTP intake (pyftpdlib): store-only, fixed names, complete files handed over to "received"."""

import argparse
import logging
import os
import re
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

NAME = re.compile(r"clip[0-9]{1,7}\.uploaded2")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--root", required=True, help="folder holding incoming/ and received/")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--passive-ports", default="", help="FIRST-LAST")
    parser.add_argument("--max-size", type=int, default=1 << 31)
    # Faults for tests.
    parser.add_argument("--throttle", type=int, default=0, help="bytes per second in each direction")
    parser.add_argument("--refuse-login", action="store_true")
    parser.add_argument("--refuse-store", action="store_true", help="552 on every STOR")
    args = parser.parse_args()

    incoming = os.path.realpath(os.path.join(args.root, "incoming"))
    received = os.path.realpath(os.path.join(args.root, "received"))
    os.makedirs(incoming, exist_ok=True)
    os.makedirs(received, exist_ok=True)

    authorizer = DummyAuthorizer()
    if not args.refuse_login:
        # e: change folder, w: store. No listing, reading, deleting, renaming or appending.
        authorizer.add_user(args.user, args.password, os.path.realpath(args.root), perm="ew")

    base_dtp = ThrottledDTPHandler if args.throttle > 0 else DTPHandler

    class CappedDTPHandler(base_dtp):
        read_limit = args.throttle
        write_limit = args.throttle

        def handle_read(self):
            super().handle_read()
            if self.tot_bytes_received > args.max_size:
                self.close()

    class IntakeHandler(FTPHandler):
        dtp_handler = CappedDTPHandler
        banner = "Pixhoard intake ready."

        def ftp_REST(self, line):
            self.respond("502 Resuming is not allowed here.")

        def ftp_STOR(self, file, mode="w"):
            if args.refuse_store:
                self.respond("552 Storage refused.")
                return
            folder, name = os.path.split(file)
            if os.path.realpath(folder) != incoming or not NAME.fullmatch(name):
                self.respond("553 Only /incoming/clipN.uploaded2 names are accepted.")
                return
            # One client must never overwrite another's file, whether it is still arriving or waits for its claim.
            if os.path.lexists(file) or os.path.lexists(os.path.join(received, name)):
                self.respond("550 This name is taken.")
                return
            return FTPHandler.ftp_STOR(self, file, "w")

        def on_file_received(self, file):
            try:
                os.rename(file, os.path.join(received, os.path.basename(file)))
            except OSError:
                logging.exception("cannot hand over %s", file)

        def on_incomplete_file_received(self, file):
            try:
                os.remove(file)
            except OSError:
                pass

    IntakeHandler.authorizer = authorizer
    if args.passive_ports:
        first, last = (int(p) for p in args.passive_ports.split("-"))
        IntakeHandler.passive_ports = range(first, last + 1)

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    server = FTPServer((args.host, args.port), IntakeHandler)
    server.max_cons = 256
    print("ready", server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
