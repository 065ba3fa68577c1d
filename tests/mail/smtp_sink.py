#!/usr/bin/python3
"""SMTP sink for the mail tests, and an independent reader of the mails they produce.

  smtp_sink.py serve DIR   listens on a free loopback port and prints it; each accepted message
                           becomes DIR/N.eml (raw) and DIR/N.txt (its description). Recipients at
                           refused.example are refused. Exits when stdin closes.
  smtp_sink.py parse FILE  prints the description of one message file.

A description is one "key=value" line per field (UTF-8; backslash and newline escaped), decoded
by Python's own mail parser so that the tests do not check the component against itself.
"""
import asyncio
import base64
import email
import email.header
import email.utils
import os
import re
import sys

REFUSED_DOMAIN = "@refused.example"


def decode(value):
    if value is None:
        return ""
    return str(email.header.make_header(email.header.decode_header(value)))


ENCODED_WORD = re.compile(rb"=\?([^?]+)\?[Bb]\?([A-Za-z0-9+/=]*)\?=")


def words_whole(raw):
    """Whether every encoded-word holds whole characters, as each must decode on its own."""
    head = raw.split(b"\r\n\r\n", 1)[0]
    try:
        for charset, data in ENCODED_WORD.findall(head):
            base64.b64decode(data).decode(charset.decode("ascii"))
    except (UnicodeDecodeError, LookupError, ValueError):
        return "no"
    return "yes"


def describe(raw, mail_from=None, rcpt_tos=()):
    msg = email.message_from_bytes(raw)
    fields = []
    if mail_from is not None:
        fields.append(("mail_from", mail_from))
    for r in rcpt_tos:
        fields.append(("rcpt", r))
    for key in ("from", "to"):
        name, addr = email.utils.parseaddr(msg.get(key, ""))
        fields.append((key + "_name", decode(name)))
        fields.append((key + "_addr", addr))
    fields.append(("to_raw", msg.get("to", "")))
    fields.append(("subject", decode(msg.get("subject"))))
    fields.append(("date", msg.get("date", "")))
    date = email.utils.parsedate_to_datetime(msg.get("date"))
    fields.append(("date_local", date.strftime("%Y-%m-%d %H:%M:%S")))
    fields.append(("message_id", msg.get("message-id", "")))
    fields.append(("mime_version", msg.get("mime-version", "")))
    fields.append(("content_type", msg.get_content_type()))
    fields.append(("charset", msg.get_content_charset() or ""))
    fields.append(("transfer_encoding", msg.get("content-transfer-encoding", "")))
    fields.append(("body_hex", msg.get_payload(decode=True).hex()))
    fields.append(("words_whole", words_whole(raw)))
    lines = []
    for k, v in fields:
        v = v.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")
        lines.append(k + "=" + v + "\n")
    return "".join(lines)


def write_atomic(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.rename(tmp, path)


class Sink:
    def __init__(self, outdir):
        self.outdir = outdir
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().endswith(REFUSED_DOMAIN):
            return "550 5.1.1 <" + address + ">: mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.outdir, str(self.count))
        raw = envelope.original_content
        # The description first: a test sees the .eml only once both exist.
        text = describe(raw, envelope.mail_from, envelope.rcpt_tos)
        write_atomic(base + ".txt", text.encode("utf-8"))
        write_atomic(base + ".eml", raw)
        return "250 Message accepted"


async def serve(outdir):
    from aiosmtpd.smtp import SMTP

    loop = asyncio.get_running_loop()
    handler = Sink(outdir)
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="sink.test", decode_data=False), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "serve":
        asyncio.run(serve(sys.argv[2]))
    elif len(sys.argv) == 3 and sys.argv[1] == "parse":
        with open(sys.argv[2], "rb") as f:
            sys.stdout.write(describe(f.read()))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
