#!/usr/bin/python3
"""Serves one large XML-RPC response over loopback HTTP for bench_xmlrpc_memory.

Usage: serve_response.py SIZE_MIB
Builds a methodResponse holding an array of photo-record structs of about
SIZE_MIB, prints "PORT BYTES RECORDS" on one line, then answers POST /big with
that document and POST /small with a tiny one, and exits after the big one
has been sent or after 300 s.
"""
import http.server
import os
import sys
import threading

RECORD = ("<value><struct>"
          "<member><name>id</name><value><int>{i}</int></value></member>"
          "<member><name>title</name><value><string>Sunset over the harbour, frame {i}</string></value></member>"
          "<member><name>keywords</name><value><string>sea, boat, evening, orange sky, photo {i}</string></value></member>"
          "<member><name>price</name><value><double>{p}</double></value></member>"
          "<member><name>approved</name><value><boolean>{b}</boolean></value></member>"
          "<member><name>tags</name><value><array><data>"
          "<value><string>harbour</string></value><value>sunset</value></data></array></value></member>"
          "</struct></value>\n")
HEAD = '<?xml version="1.0" encoding="UTF-8"?>\n<methodResponse><params><param><value><array><data>\n'
TAIL = "</data></array></value></param></params></methodResponse>\n"
SMALL = (b'<?xml version="1.0"?><methodResponse><params><param><value><string>ok</string>'
         b'</value></param></params></methodResponse>')


def build(size):
    parts = [HEAD]
    total = len(HEAD) + len(TAIL)
    i = 0
    while total < size:
        record = RECORD.format(i=i, p=i * 0.25, b=i % 2)
        parts.append(record)
        total += len(record)
        i += 1
    parts.append(TAIL)
    return "".join(parts).encode("utf-8"), i


def main():
    size = int(float(sys.argv[1]) * 1024 * 1024)
    big, records = build(size)

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_POST(self):
            self.rfile.read(int(self.headers.get("Content-Length", "0")))
            body = big if self.path == "/big" else SMALL
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", str(len(body)))
            if self.path == "/big":
                self.send_header("Connection", "close")
                self.close_connection = True
            self.end_headers()
            view = memoryview(body)
            for start in range(0, len(body), 1 << 20):
                self.wfile.write(view[start:start + (1 << 20)])
            self.wfile.flush()
            if self.path == "/big":
                threading.Thread(target=self.server.shutdown).start()

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    threading.Timer(300, server.shutdown).start()
    print(server.server_address[1], len(big), records, flush=True)
    server.serve_forever()
    # The 300 s timer would otherwise keep the process alive.
    os._exit(0)


if __name__ == "__main__":
    main()
