"""SMTP server on loopback for the tests that mail.

Runs aiosmtpd on 127.0.0.1 (port 0 picks a free one) and prints
"LISTENING <port>" once it accepts connections. Every accepted message is kept
in the output folder as <n>.eml (the raw bytes) and <n>.json (the envelope and
the message parsed by Python's email package), written before the server
answers 250, so a client that saw its message accepted finds it there.
--reject ADDRESS refuses that recipient with 550.
"""

import argparse
import asyncio
import base64
import email
import email.policy
import json
import os
import sys

from aiosmtpd.smtp import SMTP


def parse_message(raw):
    # Lines end in CRLF on the wire; tests compare texts with "\n".
    msg = email.message_from_bytes(raw.replace(b"\r\n", b"\n"), policy=email.policy.default)
    result = {key: str(msg.get(header, "")) for key, header in (
        ("from", "From"), ("to", "To"), ("subject", "Subject"), ("date", "Date"),
        ("message_id", "Message-ID"))}
    result.update(content_type=msg.get_content_type(), body="", body_type="", body_charset="",
                  attachments=[], defects=[str(d) for part in msg.walk() for d in part.defects])
    for part in msg.walk():
        if part.is_multipart():
            continue
        if part.get_content_disposition() == "attachment" or part.get_filename():
            result["attachments"].append({
                "filename": part.get_filename() or "",
                "content_type": part.get_content_type(),
                "data": base64.b64encode(part.get_payload(decode=True) or b"").decode(),
            })
        elif not result["body_type"] and part.get_content_maintype() == "text":
            result.update(body=part.get_content(), body_type=part.get_content_type(),
                          body_charset=part.get_content_charset() or "")
    # Of alternatives, the one a mail client shows: HTML over plain text.
    shown = msg.get_body(preferencelist=("html", "plain"))
    if shown is not None and shown.get_content_maintype() == "text":
        result.update(body=shown.get_content(), body_type=shown.get_content_type(),
                      body_charset=shown.get_content_charset() or "")
    return result


class Handler:
    def __init__(self, folder, rejected):
        self.folder = folder
        self.rejected = {r.lower() for r in rejected}
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.rejected:
            return "550 5.1.1 <%s>: mailbox unavailable" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        raw = envelope.original_content or envelope.content
        parsed = parse_message(raw)
        parsed.update(mail_from=envelope.mail_from, rcpt_tos=envelope.rcpt_tos)
        base = os.path.join(self.folder, "%04d" % self.count)
        for suffix, data in ((".eml", raw), (".json", json.dumps(parsed).encode())):
            with open(base + suffix + ".part", "wb") as f:
                f.write(data)
            os.replace(base + suffix + ".part", base + suffix)
        return "250 Message accepted for delivery"


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--reject", action="append", default=[])
    args = parser.parse_args()
    handler = Handler(args.folder, args.reject)
    server = await asyncio.get_running_loop().create_server(
        lambda: SMTP(handler, hostname="smtp.test", enable_SMTPUTF8=True), "127.0.0.1", 0)
    print("LISTENING %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
