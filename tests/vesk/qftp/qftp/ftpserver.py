"""Local FTP server for the engine's end-to-end test.

Usage: ftpserver.py HOST HOMEDIR
Serves HOMEDIR to user "user" / password "pass" with full rights on a free
port of HOST, prints "PORT <n>" once listening and runs until stdin closes
or the process is killed.
"""
import logging
import sys
import threading

try:
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
except ImportError as exc:
    print("ERROR pyftpdlib missing: %s" % exc, flush=True)
    sys.exit(2)


def main():
    host, home = sys.argv[1], sys.argv[2]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user("user", "pass", home, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    server = FTPServer((host, 0), handler)
    print("PORT %d" % server.address[1], flush=True)

    def watch_stdin():
        sys.stdin.read()
        server.close_all()

    threading.Thread(target=watch_stdin, daemon=True).start()
    try:
        server.serve_forever(timeout=0.5, handle_exit=True)
    except Exception:
        pass


if __name__ == "__main__":
    main()
