#!/usr/bin/python3
"""An independent XML-RPC peer built on Python's standard library.

serve          run xmlrpc.server on 127.0.0.1 on a free port, print the port,
               serve until standard input closes
endless        answer every request on 127.0.0.1 (free port, printed) with an
               endless body, and print how many bytes of it each connection
               took before it was closed; serve until standard input closes
relay IN OUT   read the response document IN with xmlrpc.client.loads, write
               what it held back to OUT with xmlrpc.client.dumps, and print
               the Python type it was read as ("fault" for a fault)
"""
import socket
import sys
import threading
import xmlrpc.client
import xmlrpc.server


class Wide(int):
    """An integer the standard marshaller would refuse past 32 bits, sent as <i8>."""


def _dump_wide(marshaller, value, write):
    write("<value><i8>%d</i8></value>\n" % int(value))


xmlrpc.client.Marshaller.dispatch[Wide] = _dump_wide


def serve():
    server = xmlrpc.server.SimpleXMLRPCServer(
        ("127.0.0.1", 0), logRequests=False, allow_none=True, use_builtin_types=True)

    def echo(value):
        return value

    def describe(value):
        return type(value).__name__

    def fail(code, text):
        raise xmlrpc.client.Fault(code, text)

    def nothing():
        return None

    def wide(text):
        return [Wide(int(text)), {"n": Wide(int(text))}]

    for function in (echo, describe, fail, nothing, wide):
        server.register_function(function)
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    server.shutdown()


def endless():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(5)
    print(listener.getsockname()[1], flush=True)
    chunk = b"<a>" + b"x" * (1 << 20)

    def answer(connection):
        sent = 0
        try:
            connection.recv(65536)
            connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n")
            for _ in range(4096):  # bounded: 4 GiB at most
                connection.sendall(chunk)
                sent += len(chunk)
        except OSError:
            pass
        connection.close()
        print(sent, flush=True)

    def accept():
        while True:
            connection, _ = listener.accept()
            threading.Thread(target=answer, args=(connection,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    sys.stdin.read()


def relay(source, target):
    with open(source, encoding="utf-8") as f:
        document = f.read()
    try:
        params, _ = xmlrpc.client.loads(document, use_builtin_types=True)
        kind = type(params[0]).__name__
        out = xmlrpc.client.dumps((params[0],), methodresponse=True, allow_none=True)
    except xmlrpc.client.Fault as fault:
        kind = "fault"
        out = xmlrpc.client.dumps(fault, methodresponse=True)
    with open(target, "w", encoding="utf-8") as f:
        f.write(out)
    print(kind)


if __name__ == "__main__":
    if sys.argv[1:2] == ["serve"]:
        serve()
    elif sys.argv[1:2] == ["endless"]:
        endless()
    elif sys.argv[1:2] == ["relay"] and len(sys.argv) == 4:
        relay(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
