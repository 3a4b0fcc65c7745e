#!/usr/bin/python3
# The servers the alert action tests send to, on loopback. Each writes what it
# receives into OUTDIR, one file per message (written to a temporary name and
# renamed), and prints its port on the first line of standard output.
#
#   alert_servers.py smtp OUTDIR [--tls CERT KEY] [--auth USER PASS]
#   alert_servers.py http OUTDIR       paths: /ok 200, /fail 500, /slow waits 3 s
#   alert_servers.py syslog-udp OUTDIR | syslog-tcp OUTDIR
import os
import socket
import sys
import threading
import time

outdir = sys.argv[2]
counter = [0]
lock = threading.Lock()


def save(data: bytes):
    with lock:
        counter[0] += 1
        n = counter[0]
    tmp = os.path.join(outdir, ".tmp%d" % n)
    with open(tmp, "wb") as f:
        f.write(data)
    os.rename(tmp, os.path.join(outdir, "msg%03d" % n))


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def announce(port):
    print(port, flush=True)


def smtp(args):
    import ssl
    from aiosmtpd.controller import Controller
    from aiosmtpd.smtp import AuthResult

    class Handler:
        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if address.startswith("nobody@"):
                return "550 5.1.1 no such mailbox here"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            head = ("MAIL FROM:%s\nRCPT TO:%s\nTLS:%s\nAUTH:%s\n\n" % (
                envelope.mail_from, ",".join(envelope.rcpt_tos),
                "yes" if session.ssl else "no",
                session.auth_data.login.decode() if session.auth_data else "")).encode()
            import email
            from email import policy
            msg = email.message_from_bytes(envelope.original_content, policy=policy.default)
            decoded = ("\n--DECODED--\n" + str(msg["subject"]) + "\n" +
                       msg.get_content().replace("\r\n", "\n")).encode("utf-8", "surrogateescape")
            save(head + envelope.original_content + decoded)
            return "250 OK"

    kwargs = {}
    if "--tls" in args:
        i = args.index("--tls")
        ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        ctx.load_cert_chain(args[i + 1], args[i + 2])
        kwargs["tls_context"] = ctx
        kwargs["require_starttls"] = True
    if "--auth" in args:
        i = args.index("--auth")
        user, password = args[i + 1].encode(), args[i + 2].encode()

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = auth_data.login == user and auth_data.password == password
            return AuthResult(success=ok, auth_data=auth_data)

        kwargs["authenticator"] = authenticator
        kwargs["auth_required"] = True
        kwargs["auth_require_tls"] = "--tls" in args
    port = free_port()
    controller = Controller(Handler(), hostname="127.0.0.1", port=port, **kwargs)
    controller.start()
    announce(port)
    sys.stdin.read()
    controller.stop()


def http():
    from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

    class Handler(BaseHTTPRequestHandler):
        def log_message(self, *a):
            pass

        def handle_any(self):
            length = int(self.headers.get("Content-Length", "0"))
            body = self.rfile.read(length)
            head = "%s %s\n" % (self.command, self.path)
            for k, v in self.headers.items():
                head += "%s: %s\n" % (k, v)
            parsed = b""
            if "json" in self.headers.get("Content-Type", ""):
                import json
                obj = json.loads(body)
                text = obj.get("EVENT_TEXT", obj.get("text", ""))
                if "attachments" in obj:
                    text = obj["attachments"][0]["content"]["body"][1]["text"]
                parsed = b"\n--PARSED--\n" + text.encode("utf-8", "surrogatepass")
            save(head.encode() + b"\n" + body + parsed)
            if self.path == "/slow":
                time.sleep(3)
            code = 500 if self.path == "/fail" else 200
            reply = b"busy, try later" if code == 500 else b"ok"
            try:
                self.send_response(code)
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)
            except OSError:
                pass

        do_POST = handle_any
        do_PUT = handle_any

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    announce(server.server_address[1])
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()


def parse5424(data: bytes) -> bytes:
    # HEADER SP STRUCTURED-DATA [SP MSG]; fields one per line, MSG last.
    import re
    m = re.match(rb'<(\d{1,3})>1 (\S+) (\S+) (\S+) (\S+) (\S+) '
                 rb'(-|(?:\[[^ \]]+(?: [^ =\]"]+="(?:[^"\\\]]|\\.)*")*\])+)(?: (.*))?$',
                 data, re.S)
    if not m:
        return b"UNPARSED\n" + data
    names = [b"PRI", b"TIMESTAMP", b"HOSTNAME", b"APP", b"PROCID", b"MSGID", b"SD", b"MSG"]
    return b"".join(n + b"=" + (v or b"") + b"\n" for n, v in zip(names, m.groups()))[:-1]


def syslog(tcp):
    if not tcp:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind(("127.0.0.1", 0))
        announce(s.getsockname()[1])
        while True:
            data, _ = s.recvfrom(65536)
            save(parse5424(data))
    srv = socket.socket()
    srv.bind(("127.0.0.1", 0))
    srv.listen(8)
    announce(srv.getsockname()[1])
    while True:
        conn, _ = srv.accept()
        buf = b""
        while True:
            chunk = conn.recv(65536)
            if not chunk:
                break
            buf += chunk
            # Octet counting: "LEN SP MSG".
            while b" " in buf:
                length, rest = buf.split(b" ", 1)
                if len(rest) < int(length):
                    break
                save(parse5424(rest[:int(length)]))
                buf = rest[int(length):]
        conn.close()


def main():
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    mode = sys.argv[1]
    if mode == "smtp":
        smtp(sys.argv[3:])
    elif mode == "http":
        http()
    else:
        syslog(mode == "syslog-tcp")


main()
