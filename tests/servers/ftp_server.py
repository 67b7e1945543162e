#!/usr/bin/python3
"""FTP server for the connection tests, on 127.0.0.1 and a free port.

Modes:
  passive   a plain server; data connections in passive or active mode
  active    refuses PASV and EPSV with 502, so clients must fall back to PORT
  canned    a folder holding a file named ".canned-listing" is listed with that
            file's bytes, sent as they are (listings in any server format)

Writes "PORT=<n>" to --port-file once it listens, logs every command line it
receives to --log, and exits by itself when --die-after-bytes bytes of one
upload have arrived (a server that drops in the middle of a transfer).
Runs until it is killed.
"""
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

CANNED = ".canned-listing"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--user", default="quorvel")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--mode", choices=["passive", "active", "canned"], default="passive")
    parser.add_argument("--log")
    parser.add_argument("--die-after-bytes", type=int, default=0)
    args = parser.parse_args()

    log = open(args.log, "a", buffering=1, encoding="utf-8", errors="backslashreplace") if args.log else None

    class Data(DTPHandler):
        def handle_read(self):
            super().handle_read()
            if args.die_after_bytes and self.receive and self.tot_bytes_received >= args.die_after_bytes:
                if self.file_obj is not None:
                    self.file_obj.flush()
                os._exit(3)

        handle_read_event = handle_read

    class Handler(FTPHandler):
        # Names keep their bytes: what is not UTF-8 goes through unchanged.
        unicode_errors = "surrogateescape"
        dtp_handler = Data
        permit_foreign_addresses = True
        auth_failed_timeout = 0.2

        def pre_process_command(self, line, cmd, arg):
            if log:
                shown = line if cmd != "PASS" else "PASS ****"
                log.write(repr(shown)[1:-1] + "\n")
            return super().pre_process_command(line, cmd, arg)

        def ftp_PASV(self, line):
            if args.mode == "active":
                self.respond("502 Passive mode not allowed here.")
                return
            return super().ftp_PASV(line)

        def ftp_EPSV(self, line):
            if args.mode == "active":
                self.respond("502 Passive mode not allowed here.")
                return
            return super().ftp_EPSV(line)

        def ftp_LIST(self, path):
            canned = os.path.join(path, CANNED)
            if args.mode == "canned" and os.path.isfile(canned):
                with open(canned, "rb") as f:
                    data = f.read()
                self.push_dtp_data(data, cmd="LIST")
                return path
            return super().ftp_LIST(path)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.passive_ports = None
    logging.basicConfig(level=logging.WARNING)

    server = FTPServer(("127.0.0.1", 0), Handler)
    port = server.socket.getsockname()[1]
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("PORT=%d\n" % port)
    os.replace(tmp, args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
