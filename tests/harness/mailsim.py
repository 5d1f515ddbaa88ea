#!/usr/bin/python3
"""A scripted SMTP and POP3 server on 127.0.0.1 for the mail client's tests.

    mailsim.py --dir STATE [--tls-dir CERTIFICATES]

Writes the port numbers to STATE/ports ("smtp pop3 smtps": the last speaks
TLS from the first byte) and then creates STATE/ready. Each new connection
reads STATE/script, lines of:

    mode normal | silent | drop     silent: accept and never answer;
                                    drop: accept and close at once
    drop_at STEP                    close the connection instead of that reply
    delay_ms N                      wait before every reply
    split_ms N                      send every reply in two pieces, N ms apart
    trickle_ms N                    send every reply one byte at a time, N ms apart
    reply STEP TEXT                 the reply of a step (\\r and \\n as escapes,
                                    CR LF added at its end)
    cert NAME                       the certificate of TLS sessions (NAME.pem and
                                    NAME.key of the certificate folder; "good")

A positive reply to STARTTLS (SMTP) or STLS (POP3) starts TLS with that
certificate; the recording then gets the mark "<TLS>", and what follows it
is what came through TLS, decrypted.

SMTP steps: greeting EHLO HELO STARTTLS AUTH AUTH_USER AUTH_PASS MAIL RCPT
DATA END BARE_LF QUIT OTHER; POP3 steps: pop_greeting STLS USER PASS pop_QUIT
pop_OTHER. AUTH PLAIN with its credentials on the command line is answered
at once with AUTH_PASS.

Like Postfix with "smtpd_forbid_bare_newline = reject", mail whose data holds
a line feed not preceded by a carriage return is refused: at the end of the
data the server answers with the BARE_LF reply instead of END.

Every byte received goes to STATE/smtp-N.bin or STATE/pop3-N.bin (N counts
connections of both kinds from 1), and STATE/sessions.log gets the lines
"KIND N open SECONDS" and "KIND N close SECONDS" (monotonic clock).
"""
import argparse
import os
import re
import socket
import socketserver
import ssl
import threading
import time

DEFAULT_REPLIES = {
    "greeting": "220 mailsim ready",
    "EHLO": "250-mailsim greets you\r\n250-8BITMIME\r\n250 AUTH LOGIN",
    "HELO": "250 mailsim",
    "STARTTLS": "220 2.0.0 Ready to start TLS",
    "AUTH": "334 VXNlcm5hbWU6",
    "AUTH_USER": "334 UGFzc3dvcmQ6",
    "AUTH_PASS": "235 2.7.0 Authentication successful",
    "MAIL": "250 2.1.0 Ok",
    "RCPT": "250 2.1.5 Ok",
    "DATA": "354 End data with <CR><LF>.<CR><LF>",
    "END": "250 2.0.0 Ok: queued",
    "BARE_LF": "550 5.5.2 Error: bare <LF> received",
    "QUIT": "221 2.0.0 Bye",
    "OTHER": "502 5.5.2 Command not recognized",
    "pop_greeting": "+OK mailsim POP3 ready",
    "STLS": "+OK begin TLS",
    "USER": "+OK",
    "PASS": "+OK logged in",
    "pop_QUIT": "+OK bye",
    "pop_OTHER": "-ERR unknown command",
}

BARE_LINE_FEED = re.compile(rb"(?<!\r)\n")

state_dir = ""
tls_dir = ""
counter_lock = threading.Lock()
counter = [0]


def unescape(text):
    return text.replace("\\r", "\r").replace("\\n", "\n")


def read_script():
    script = {"mode": "normal", "drop_at": None, "delay_ms": 0, "split_ms": 0, "trickle_ms": 0, "cert": "good",
              "replies": dict(DEFAULT_REPLIES)}
    try:
        with open(os.path.join(state_dir, "script"), encoding="utf-8") as f:
            lines = f.read().splitlines()
    except FileNotFoundError:
        return script
    for line in lines:
        parts = line.split(" ", 2)
        if not parts[0]:
            continue
        if parts[0] == "reply" and len(parts) == 3:
            script["replies"][parts[1]] = unescape(parts[2])
        elif parts[0] in ("delay_ms", "split_ms", "trickle_ms"):
            script[parts[0]] = int(parts[1])
        elif parts[0] in ("mode", "drop_at", "cert"):
            script[parts[0]] = parts[1]
    return script


def log_session(kind, number, event):
    with counter_lock:
        with open(os.path.join(state_dir, "sessions.log"), "a") as f:
            f.write(f"{kind} {number} {event} {time.monotonic():.3f}\n")


class Session(socketserver.BaseRequestHandler):
    kind = "smtp"
    implicit_tls = False

    def setup(self):
        with counter_lock:
            counter[0] += 1
            self.number = counter[0]
        self.script = read_script()
        self.buffer = b""
        self.record = open(os.path.join(state_dir, f"{self.kind}-{self.number}.bin"), "wb")
        log_session(self.kind, self.number, "open")

    def finish(self):
        self.record.close()
        log_session(self.kind, self.number, "close")

    def start_tls(self):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        name = os.path.join(tls_dir, self.script["cert"])
        context.load_cert_chain(name + ".pem", name + ".key")
        self.record.write(b"<TLS>")
        self.record.flush()
        self.request = context.wrap_socket(self.request, server_side=True)

    def receive(self):
        data = self.request.recv(65536)
        if data:
            self.record.write(data)
            self.record.flush()
        return data

    def read_until(self, marker):
        """The bytes up to and including `marker`, or None when the peer closed."""
        while marker not in self.buffer:
            data = self.receive()
            if not data:
                return None
            self.buffer += data
        end = self.buffer.index(marker) + len(marker)
        taken, self.buffer = self.buffer[:end], self.buffer[end:]
        return taken

    def reply(self, step):
        """False when the script closes the connection here."""
        if self.script["drop_at"] == step:
            return False
        if self.script["delay_ms"]:
            time.sleep(self.script["delay_ms"] / 1000)
        data = (self.script["replies"][step] + "\r\n").encode("latin-1")
        if self.script["trickle_ms"]:
            for byte in data:
                self.request.sendall(bytes([byte]))
                time.sleep(self.script["trickle_ms"] / 1000)
        elif self.script["split_ms"] and len(data) > 1:
            half = len(data) // 2
            self.request.sendall(data[:half])
            time.sleep(self.script["split_ms"] / 1000)
            self.request.sendall(data[half:])
        else:
            self.request.sendall(data)
        return True

    def next_verb(self):
        """The command word of the next line, upper case; None when the peer closed."""
        line = self.read_until(b"\r\n")
        if line is None:
            return None
        self.last_line = line.strip()
        return line.split(b" ", 1)[0].strip().upper().decode("latin-1")

    def handle(self):
        mode = self.script["mode"]
        if mode == "drop":
            return
        if mode == "silent":
            while self.receive():
                pass
            return
        try:
            if self.implicit_tls:
                self.start_tls()
            self.converse()
        except (ConnectionError, OSError, ssl.SSLError):
            pass

    def converse(self):
        if not self.reply("greeting"):
            return
        while True:
            verb = self.next_verb()
            if verb is None:
                return
            if verb == "AUTH" and self.last_line.upper().startswith(b"AUTH PLAIN "):
                if not self.reply("AUTH_PASS"):
                    return
                continue
            if verb == "AUTH":
                if not self.reply("AUTH") or self.read_until(b"\r\n") is None:
                    return
                if not self.reply("AUTH_USER") or self.read_until(b"\r\n") is None:
                    return
                if not self.reply("AUTH_PASS"):
                    return
                continue
            step = verb if verb in ("EHLO", "HELO", "STARTTLS", "MAIL", "RCPT", "DATA", "QUIT") else "OTHER"
            if not self.reply(step):
                return
            if step == "QUIT":
                return
            if step == "STARTTLS" and self.script["replies"]["STARTTLS"].startswith("2"):
                self.start_tls()
            if step == "DATA" and self.script["replies"]["DATA"].startswith("3"):
                # The data ends with a full stop alone on its line.
                self.buffer = b"\r\n" + self.buffer
                data = self.read_until(b"\r\n.\r\n")
                if data is None:
                    return
                if not self.reply("BARE_LF" if BARE_LINE_FEED.search(data) else "END"):
                    return


class Pop3Session(Session):
    kind = "pop3"

    def converse(self):
        if not self.reply("pop_greeting"):
            return
        while True:
            verb = self.next_verb()
            if verb is None:
                return
            step = verb if verb in ("USER", "PASS", "STLS") else ("pop_QUIT" if verb == "QUIT" else "pop_OTHER")
            if not self.reply(step) or step == "pop_QUIT":
                return
            if step == "STLS" and self.script["replies"]["STLS"].startswith("+"):
                self.start_tls()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


class TlsSession(Session):
    implicit_tls = True


def main():
    global state_dir, tls_dir
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--tls-dir", default="")
    arguments = parser.parse_args()
    state_dir, tls_dir = arguments.dir, arguments.tls_dir
    smtp = Server(("127.0.0.1", 0), Session)
    pop3 = Server(("127.0.0.1", 0), Pop3Session)
    smtps = Server(("127.0.0.1", 0), TlsSession)
    with open(os.path.join(state_dir, "ports"), "w") as f:
        f.write(f"{smtp.server_address[1]} {pop3.server_address[1]} {smtps.server_address[1]}\n")
    threading.Thread(target=pop3.serve_forever, daemon=True).start()
    threading.Thread(target=smtps.serve_forever, daemon=True).start()
    open(os.path.join(state_dir, "ready"), "w").close()
    smtp.serve_forever()


if __name__ == "__main__":
    main()
