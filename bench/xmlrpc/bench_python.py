#!/usr/bin/python3
"""Times xmlrpc.client.dumps and loads on the documents the C++ side wrote.

Usage: bench_python.py REPEAT NAME CALL.xml RESPONSE.xml [NAME CALL.xml RESPONSE.xml ...]
The data is read from the documents themselves, so both sides work on the
same values. Prints one line per case: NAME marshal_ms parse_ms (best of REPEAT).
"""
import sys
import time
import xmlrpc.client


def best(repeat, work):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times) * 1000.0


def main():
    repeat = int(sys.argv[1])
    args = sys.argv[2:]
    for i in range(0, len(args), 3):
        name, call_path, response_path = args[i:i + 3]
        with open(call_path, "rb") as f:
            params, method = xmlrpc.client.loads(f.read(), use_builtin_types=True)
        with open(response_path, "rb") as f:
            response = f.read()
        marshal = best(repeat, lambda: xmlrpc.client.dumps(params, method).encode("utf-8"))
        parse = best(repeat, lambda: xmlrpc.client.loads(response, use_builtin_types=True))
        print(name, "%.2f" % marshal, "%.2f" % parse, flush=True)


if __name__ == "__main__":
    main()
