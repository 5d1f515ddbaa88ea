#!/usr/bin/python3
"""Files every message a mail server delivers into a maildir, the way
realsmtp.py files what it receives, so a test under Wine reads the mail of a
real MTA with the same reader:

    maildirfiler.py --maildir MAILDIR --dir STATE

Creates STATE/ready, then looks into MAILDIR/new every 50 ms and files each
message found there, in the order of delivery, as STATE/mail-N.* (see
realsmtp.py). The envelope is taken from the "Return-path" and
"Envelope-to" fields the server adds on delivery. Runs until it is killed.
"""
import argparse
import email
import email.policy
import os
import time

import realsmtp


def envelope_of(raw):
    fields = email.message_from_bytes(raw, policy=email.policy.default)
    mail_from = str(fields.get("Return-path", "")).strip().strip("<>")
    rcpt_tos = [a.strip() for a in str(fields.get("Envelope-to", "")).split(",") if a.strip()]
    return mail_from, rcpt_tos


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--maildir", required=True)
    parser.add_argument("--dir", required=True)
    arguments = parser.parse_args()
    realsmtp.state_dir = arguments.dir
    arrived = os.path.join(arguments.maildir, "new")
    seen = set()
    realsmtp.write("ready", "")
    while True:
        try:
            names = os.listdir(arrived)
        except FileNotFoundError:
            names = []
        # The server moves a message into new/ only once it is complete.
        fresh = [n for n in names if n not in seen]
        fresh.sort(key=lambda n: (os.stat(os.path.join(arrived, n)).st_mtime_ns, n))
        for name in fresh:
            with open(os.path.join(arrived, name), "rb") as f:
                raw = f.read()
            realsmtp.file_message(raw, *envelope_of(raw))
            seen.add(name)
        time.sleep(0.05)


if __name__ == "__main__":
    main()
