#!/usr/bin/python3
"""A real SMTP server (aiosmtpd) for the mail test, and an independent reader of what it receives.

  smtp_sink.py COUNT   listens on a free loopback port and prints it, then prints a description
                       of each message it accepts, and exits after COUNT messages (or 60 s).

A description is one "key=value" line per field (UTF-8; backslash and line breaks escaped) and a
blank line, decoded by Python's own mail parser so that the test does not check the component
against itself.
"""
import asyncio
import base64
import email
import email.header
import email.utils
import re
import sys

ENCODED_WORD = re.compile(rb"=\?([^?]+)\?[Bb]\?([A-Za-z0-9+/=]*)\?=")


def decode(value):
    return str(email.header.make_header(email.header.decode_header(value or "")))


def words(raw):
    """The encoded-words of the head: each must hold whole characters and fit a header line."""
    head = raw.split(b"\r\n\r\n", 1)[0]
    found = list(ENCODED_WORD.finditer(head))
    whole = "yes"
    try:
        for m in found:
            base64.b64decode(m.group(2)).decode(m.group(1).decode("ascii"))
    except (UnicodeDecodeError, LookupError, ValueError):
        whole = "no"
    longest = max((len(m.group(0)) for m in found), default=0)
    return [("words", str(len(found))), ("words_whole", whole), ("longest_word", str(longest))]


def describe(raw, mail_from, rcpt_tos):
    msg = email.message_from_bytes(raw)
    fields = [("mail_from", mail_from)] + [("rcpt", r) for r in rcpt_tos]
    for key in ("from", "to"):
        name, addr = email.utils.parseaddr(msg.get(key, ""))
        fields += [(key + "_name", decode(name)), (key + "_addr", addr)]
    subject = ENCODED_WORD.match(msg.get("subject", "").encode())
    fields += [
        ("subject", decode(msg.get("subject"))),
        ("subject_charset", subject.group(1).decode() if subject else ""),
        ("date_local", email.utils.parsedate_to_datetime(msg.get("date")).strftime("%Y-%m-%d %H:%M:%S")),
        ("message_id", msg.get("message-id", "")),
        ("mime_version", msg.get("mime-version", "")),
        ("content_type", msg.get_content_type()),
        ("charset", msg.get_content_charset() or ""),
        ("transfer_encoding", msg.get("content-transfer-encoding", "")),
        ("body_hex", msg.get_payload(decode=True).hex()),
        ("seven_bit", "yes" if all(b < 0x80 for b in raw) else "no"),
    ] + words(raw)
    escape = lambda v: v.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")
    return "".join(k + "=" + escape(v) + "\n" for k, v in fields) + "\n"


class Sink:
    def __init__(self, count, done):
        self.left = count
        self.done = done

    async def handle_DATA(self, server, session, envelope):
        sys.stdout.write(describe(envelope.original_content, envelope.mail_from, envelope.rcpt_tos))
        sys.stdout.flush()
        self.left -= 1
        if self.left == 0:
            self.done.set()
        return "250 Message accepted"


async def serve(count):
    from aiosmtpd.smtp import SMTP

    done = asyncio.Event()
    handler = Sink(count, done)
    server = await asyncio.get_running_loop().create_server(
        lambda: SMTP(handler, hostname="sink.test", decode_data=False), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    try:
        await asyncio.wait_for(done.wait(), 60)
    finally:
        server.close()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    asyncio.run(serve(int(sys.argv[1])))
