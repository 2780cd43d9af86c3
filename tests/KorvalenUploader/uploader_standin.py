#!/usr/bin/python3
"""A stand-in for the stock-photo service, for tests, the demo and the benchmark.

uploader_standin.py CONFIG.json

Serves XML-RPC on 127.0.0.1 on a free port, prints the port, and serves until
standard input closes. Every call is written to standard output as one JSON
line. CONFIG (all keys optional):
  accounts        {client_id: [client_key, password]}
  out             folder that receives each reassembled upload as UNIQ + ext
  restrictions    the list "getRestrictions" answers with
  earnings        the struct "getEarnings" answers with
  refuse          {"method": m, "part": n, "status": s, "message": text}
  fault           {"method": m, "part": n, "code": c, "text": text}
  stall           {"method": m, "part": n, "seconds": s}
  html            a method name answered with an HTML page
  malformed       {method: answer}: answer returned as is (e.g. [] or {})
"""
import base64
import hashlib
import io
import json
import os
import random
import socketserver
import sys
import threading
import time
import xmlrpc.client
import xmlrpc.server


def md5(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def renewed(value, password_digest, key):
    return value[:48] + md5(value + password_digest + key)


class Service:
    def __init__(self, config):
        self.config = config
        self.accounts = config.get("accounts", {"demo": ["demo-key", "secret"]})
        self.sessions = {}  # value the next call must carry -> client id
        self.uploads = {}  # uniq -> {part: data}
        self.lock = threading.Lock()

    def log(self, **entry):
        print(json.dumps(entry), flush=True)

    def credentials(self, client):
        key, password = self.accounts[client]
        return hashlib.md5(password.encode("latin-1")).hexdigest(), key

    def advance(self, method, value, renew=True):
        """Checks the session value; returns the client id or raises a fault."""
        with self.lock:
            client = self.sessions.pop(value, None)
            if client is None:
                self.log(checked=method, chain="broken")
                raise xmlrpc.client.Fault(401, "session value not recognised")
            digest, key = self.credentials(client)
            self.sessions[renewed(value, digest, key) if renew else value] = client
            self.log(checked=method, chain="ok", client=client)
            return client

    def rollback(self, method, value):
        # A fault is no answer: the value stays as it was.
        with self.lock:
            for v, c in list(self.sessions.items()):
                digest, key = self.credentials(c)
                if v == renewed(value, digest, key):
                    del self.sessions[v]
                    self.sessions[value] = c
                    return

    def behaviour(self, name, method, part=None):
        b = self.config.get(name)
        if b and b.get("method") == method and b.get("part", part) == part:
            return b
        return None

    def misbehave(self, method, value, part=None):
        stall = self.behaviour("stall", method, part)
        if stall:
            time.sleep(stall.get("seconds", 5))
        fault = self.behaviour("fault", method, part)
        if fault:
            self.rollback(method, value)
            raise xmlrpc.client.Fault(fault.get("code", 500), fault.get("text", "fault"))
        malformed = self.config.get("malformed", {})
        if method in malformed:
            return True, malformed[method]
        return False, None

    # -- sign-in
    def getHash(self, client):
        value = "".join(random.choice("0123456789abcdef") for _ in range(80))
        self.log(method="getHash", client=client)
        if client in self.accounts:
            digest, key = self.credentials(client)
            with self.lock:
                self.sessions[renewed(value, digest, key)] = client
        return {"status": "200", "output": [{"sessionId": value}]}

    def login(self, value):
        with self.lock:
            known = value in self.sessions
        if not known:
            self.log(method="login", chain="wrong password")
            return {"status": "401", "statusMessage": "Wrong client id, key or password"}
        self.advance("login", value)
        return {"status": "200", "statusMessage": "OK"}

    def getRestrictions(self, value):
        self.advance("getRestrictions", value)
        done, answer = self.misbehave("getRestrictions", value)
        if done:
            return answer
        default = [{"exts": "jpg", "max_size": 16777216, "max_mpx": 24, "min_mpx": 4, "min_w": 1024,
                    "min_h": 1024, "max_r": 4, "q": 90},
                   {"exts": "pdf,jpg,png", "max_size": 8388608}]
        return {"status": "200", "output": self.config.get("restrictions", default)}

    # -- uploads
    def add(self, method, value, part):
        client = self.advance(method, value)
        number = part.get("part")
        done, answer = self.misbehave(method, value, number)
        if done:
            return answer
        refuse = self.behaviour("refuse", method, number)
        self.log(method=method, client=client, part=number, last=part.get("last"), uniq=part.get("uniq"),
                 size=len(part.get("data", "")))
        if refuse:
            return {"status": str(refuse.get("status", "400")), "statusMessage": refuse.get("message", "refused")}
        pieces = self.uploads.setdefault(part["uniq"], {})
        pieces[number] = part["data"]
        if part.get("last"):
            data = "".join(pieces[i] for i in range(4) if i in pieces)
            meta = {k: v for k, v in part.items() if k not in ("data",)}
            out = self.config.get("out")
            path = None
            if out:
                path = os.path.join(out, part["uniq"] + part.get("ext", ""))
                with open(path, "wb") as f:
                    f.write(base64.b64decode(data))
            del self.uploads[part["uniq"]]
            self.log(event="assembled", method=method, parts=sorted(pieces), file=path, meta=meta)
            return {"status": "200", "output": [{"response": "accepted '%s' #%d" % (part["uniq"][-6:], 7)}]}
        return {"status": "200", "statusMessage": "part %d received" % number}

    def addPhoto(self, value, part):
        return self.add("addPhoto", value, part)

    def addRelease(self, value, part):
        return self.add("addRelease", value, part)

    def checkReleases(self, value, releases):
        self.advance("checkReleases", value)
        done, answer = self.misbehave("checkReleases", value)
        if done:
            return answer
        return {"status": "200",
                "output": [{"id": r, "status": "approved" if r.startswith("r") else "unknown"}
                           for r in releases.split(",") if r]}

    def attachReleases(self, value, id_photo, releases):
        self.advance("attachReleases", value)
        done, answer = self.misbehave("attachReleases", value)
        if done:
            return answer
        return {"status": "200", "output": [{"photo": id_photo, "attached": len(releases.split(","))}]}

    def getEarnings(self, value, date_from, date_to):
        self.advance("getEarnings", value, renew=False)
        done, answer = self.misbehave("getEarnings", value)
        if done:
            return answer
        default = {"today": "2024-05-02", "currency": "EUR", "value": 1234.5, "rate": 0.5,
                   "data": "2024-05-01:12.5:3"}
        return {"status": "200", "output": [self.config.get("earnings", default)]}


class Handler(xmlrpc.server.SimpleXMLRPCRequestHandler):
    def do_POST(self):
        html = self.server.config.get("html")
        if html:
            length = int(self.headers.get("content-length", 0))
            body = self.rfile.read(length)
            if ("<methodName>%s</methodName>" % html).encode() in body:
                page = b"<html><body>Service unavailable</body></html>"
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(page)))
                self.end_headers()
                self.wfile.write(page)
                return
            self.rfile = io.BytesIO(body)
        super().do_POST()

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, xmlrpc.server.SimpleXMLRPCServer):
    daemon_threads = True


def main():
    config = json.load(open(sys.argv[1])) if len(sys.argv) > 1 else {}
    server = Server(("127.0.0.1", 0), requestHandler=Handler, logRequests=False, allow_none=True)
    server.config = config
    server.register_instance(Service(config))
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    server.shutdown()


if __name__ == "__main__":
    main()
