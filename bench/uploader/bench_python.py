#!/usr/bin/python3
"""The same four addPhoto calls with xmlrpc.client: sign in, then time the upload.
Usage: bench_python.py ENDPOINT FILE"""
import base64
import hashlib
import random
import resource
import sys
import time
import xmlrpc.client


def renewed(value, digest, key):
    return value[:48] + hashlib.md5((value + digest + key).encode()).hexdigest()


def main():
    endpoint, path = sys.argv[1], sys.argv[2]
    server = xmlrpc.client.ServerProxy(endpoint)
    digest, key = hashlib.md5(b"secret").hexdigest(), "demo-key"
    value = renewed(server.getHash("demo")["output"][0]["sessionId"], digest, key)
    assert server.login(value)["status"] == "200"
    value = renewed(value, digest, key)
    server.getRestrictions(value)
    value = renewed(value, digest, key)
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    start = time.perf_counter()
    with open(path, "rb") as f:
        text = base64.b64encode(f.read()).decode("ascii")
    length = len(text)
    cuts = [0, length // 4, length // 2, 3 * length // 4, length]
    uniq = hashlib.md5(value.encode()).hexdigest() + str(random.randint(0, 2**31 - 1))
    for n in range(4):
        part = {"data": text[cuts[n]:cuts[n + 1]], "ext": ".bin", "part": n, "last": int(n == 3), "uniq": uniq}
        if n == 3:
            part.update(title="", desc="", keywords=[])
        answer = server.addPhoto(value, part)
        assert answer["status"] == "200", answer
        value = renewed(value, digest, key)
    seconds = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print("python %.3f s  peak %d MiB (before the upload %d MiB)" % (seconds, peak // 1024, before // 1024))


if __name__ == "__main__":
    main()
