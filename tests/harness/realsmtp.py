#!/usr/bin/python3
"""A real SMTP server (aiosmtpd from Debian's archive) on 127.0.0.1 that
requires AUTH LOGIN over plain TCP and files every delivered message.

    realsmtp.py --dir STATE --user NAME --password SECRET [--greeting-delay-ms N]
                [--tls-dir CERTIFICATES]

Writes its port to STATE/port, then creates STATE/ready. With --tls-dir a
second server on STATE/tls-port requires STARTTLS (with the certificate
"good" of that folder) before anything else, and AUTH only inside TLS. Each message is
parsed with Python's standard mail parser and filed as STATE/mail-N.*:

    mail-N.eml      the data as received
    mail-N.txt      "from", "to", "subject" (decoded), "date", "attachments"
                    (their count), "envelope-from", "envelope-to" lines
    mail-N.body     the text part, decoded from its charset, as UTF-8
    mail-N.att-K    the bytes of attachment K (from 1)
    mail-N.att-K.name  its file name

mail-N.txt is written last, so its presence means the mail is complete.

With --tls-dir it is also an OAuth 2.0 token endpoint over HTTPS (the
certificate "good", for "localhost") on STATE/oauth-port: a POST of the
client-credentials grant with client id "mrwd-test-app" and the password as
its secret gets an access token of its own (expires_in from STATE/oauth-expires,
else 3600); any other client gets HTTP 401 with "invalid_client". Both
servers then accept AUTH XOAUTH2 for the user name with a token issued and
not revoked: creating STATE/oauth-revoke revokes every token issued so far
(it is removed when the next one is issued). STATE/oauth.log gets "token N"
for each issued and "xoauth2 ok|refused" for each AUTH XOAUTH2.
STATE/sessions.log gets "N open SECONDS" and "N close SECONDS" for every
connection (monotonic clock). --greeting-delay-ms makes every connection
wait that long before the server greets, as a slow or distant server does.
"""
import argparse
import asyncio
import base64
import collections
import http.server
import json
import secrets
import urllib.parse
import email
import ssl
import email.policy
import os
import socket
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

state_dir = ""
greeting_delay = 0.0
lock = threading.Lock()
counters = {"mail": 0, "session": 0}


def next_number(kind):
    with lock:
        counters[kind] += 1
        return counters[kind]


def write(name, data):
    mode = "wb" if isinstance(data, bytes) else "w"
    kwargs = {} if mode == "wb" else {"encoding": "utf-8"}
    with open(os.path.join(state_dir, name), mode, **kwargs) as f:
        f.write(data)


class RecordingSMTP(SMTP):
    # An OAuth access token runs to kilobytes: AUTH lines as long as RFC 4954
    # allows them, as the servers that take such tokens do.
    line_length_limit = 12288

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.command_size_limit = 12288
        self.command_size_limits = collections.defaultdict(lambda: 12288)

    def connection_made(self, transport):
        self.session_number = next_number("session")
        with lock, open(os.path.join(state_dir, "sessions.log"), "a") as f:
            f.write(f"{self.session_number} open {time.monotonic():.3f}\n")
        super().connection_made(transport)

    async def _handle_client(self):
        if greeting_delay:
            await asyncio.sleep(greeting_delay)
        await super()._handle_client()

    def connection_lost(self, error):
        with lock, open(os.path.join(state_dir, "sessions.log"), "a") as f:
            f.write(f"{self.session_number} close {time.monotonic():.3f}\n")
        super().connection_lost(error)


def file_message(raw, mail_from, rcpt_tos):
    """Files one message as mail-N.* in state_dir; mail-N.txt comes last."""
    number = next_number("mail")
    write(f"mail-{number}.eml", raw)
    message = email.message_from_bytes(raw, policy=email.policy.default)
    body = ""
    attachments = []
    for part in message.walk():
        if part.is_multipart():
            continue
        if part.get_content_disposition() == "attachment":
            attachments.append((part.get_filename() or "", part.get_payload(decode=True) or b""))
        elif part.get_content_type() == "text/plain" and not body:
            charset = part.get_content_charset() or "us-ascii"
            body = (part.get_payload(decode=True) or b"").decode(charset, errors="replace")
    write(f"mail-{number}.body", body)
    for index, (name, data) in enumerate(attachments, start=1):
        write(f"mail-{number}.att-{index}", data)
        write(f"mail-{number}.att-{index}.name", name)
    summary = [
        f"from {message.get('From', '')}",
        f"to {message.get('To', '')}",
        f"subject {message.get('Subject', '')}",
        f"date {message.get('Date', '')}",
        f"attachments {len(attachments)}",
        f"envelope-from {mail_from}",
        f"envelope-to {','.join(rcpt_tos)}",
    ]
    write(f"mail-{number}.txt", "\n".join(summary) + "\n")


oauth = {"user": "", "secret": "", "issued": set(), "count": 0}


def oauth_log(line):
    with lock, open(os.path.join(state_dir, "oauth.log"), "a") as f:
        f.write(line + "\n")


class Filing:
    async def handle_DATA(self, server, session, envelope):
        file_message(envelope.original_content or envelope.content, envelope.mail_from, envelope.rcpt_tos)
        return "250 2.0.0 Message accepted for delivery"

    async def auth_XOAUTH2(self, server, args):
        """SASL XOAUTH2: user=NAME ^A auth=Bearer TOKEN ^A ^A, in base64."""
        good = False
        if len(args) == 2:
            try:
                fields = base64.b64decode(args[1], validate=True).decode("ascii").split("\x01")
                revoked = os.path.exists(os.path.join(state_dir, "oauth-revoke"))
                good = (len(fields) == 4 and fields[2:] == ["", ""] and fields[0] == "user=" + oauth["user"]
                        and fields[1].startswith("auth=Bearer ") and not revoked
                        and fields[1][len("auth=Bearer "):] in oauth["issued"])
            except (ValueError, UnicodeDecodeError):
                good = False
        oauth_log("xoauth2 " + ("ok" if good else "refused"))
        return AuthResult(success=good, handled=False)


class TokenEndpoint(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def reply(self, status, document):
        body = json.dumps(document).encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        form = urllib.parse.parse_qs(self.rfile.read(length).decode("ascii"))
        one = lambda name: (form.get(name) or [""])[0]
        if (one("grant_type") != "client_credentials" or one("client_id") != "mrwd-test-app"
                or one("client_secret") != oauth["secret"] or one("scope") != "https://outlook.office365.com/.default"):
            self.reply(401, {"error": "invalid_client",
                             "error_description": "AADSTS7000215: Invalid client secret provided."})
            return
        with lock:
            oauth["count"] += 1
            token = f"tok{oauth['count']}-" + secrets.token_urlsafe(600)
            try:
                os.remove(os.path.join(state_dir, "oauth-revoke"))
                oauth["issued"].clear()
            except FileNotFoundError:
                pass
            oauth["issued"].add(token)
            count = oauth["count"]
        try:
            with open(os.path.join(state_dir, "oauth-expires")) as f:
                expires = int(f.read().strip())
        except (FileNotFoundError, ValueError):
            expires = 3600
        oauth_log(f"token {count}")
        self.reply(200, {"token_type": "Bearer", "expires_in": expires, "ext_expires_in": expires,
                         "access_token": token})


def start_token_endpoint(tls_dir):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(tls_dir, "good.pem"), os.path.join(tls_dir, "good.key"))
    endpoint = http.server.ThreadingHTTPServer(("127.0.0.1", 0), TokenEndpoint)
    endpoint.socket = context.wrap_socket(endpoint.socket, server_side=True)
    threading.Thread(target=endpoint.serve_forever, daemon=True).start()
    write("oauth-port", f"{endpoint.server_address[1]}\n")


class RecordingController(Controller):
    def factory(self):
        return RecordingSMTP(self.handler, **self.SMTP_kwargs)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main():
    global state_dir, greeting_delay
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--greeting-delay-ms", type=int, default=0)
    parser.add_argument("--tls-dir", default="")
    arguments = parser.parse_args()
    state_dir = arguments.dir
    greeting_delay = arguments.greeting_delay_ms / 1000
    oauth["user"], oauth["secret"] = arguments.user, arguments.password

    def authenticate(server, session, envelope, mechanism, data):
        good = (mechanism == "LOGIN" and isinstance(data, LoginPassword)
                and data.login == arguments.user.encode() and data.password == arguments.password.encode())
        # Not handled: the server answers the refusal with its own 535 reply.
        return AuthResult(success=good, handled=False)

    controller = RecordingController(
        Filing(), hostname="127.0.0.1", port=free_port(), auth_required=True, auth_require_tls=False,
        authenticator=authenticate, decode_data=False)
    controller.start()
    write("port", f"{controller.port}\n")
    secured = None
    if arguments.tls_dir:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(arguments.tls_dir, "good.pem"), os.path.join(arguments.tls_dir, "good.key"))
        secured = RecordingController(
            Filing(), hostname="127.0.0.1", port=free_port(), auth_required=True, auth_require_tls=True,
            require_starttls=True, tls_context=context, authenticator=authenticate, decode_data=False)
        secured.start()
        write("tls-port", f"{secured.port}\n")
        start_token_endpoint(arguments.tls_dir)
    write("ready", "")
    try:
        threading.Event().wait()
    finally:
        controller.stop()
        if secured is not None:
            secured.stop()


if __name__ == "__main__":
    main()
