"""SMTP server on loopback for the tests that mail.

Runs aiosmtpd on 127.0.0.1 (port 0 picks a free one) and prints
"LISTENING <port>" once it accepts connections. Every accepted message is kept
in the output folder as <n>.eml (the raw bytes) and <n>.json (the envelope and
the message parsed by Python's email package), written before the server
answers 250, so a client that saw its message accepted finds it there.
--reject ADDRESS refuses that recipient with 550.
--host ADDRESS listens there instead of 127.0.0.1 (a test's own network
namespace). --auth offers AUTH without TLS and appends every login it
receives to auth.log ("tls|clear MECHANISM login password" per line).
--starttls CERT KEY offers STARTTLS with that certificate.
"""

import argparse
import asyncio
import base64
import email
import email.policy
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def parse_message(raw):
    # Lines end in CRLF on the wire; tests compare texts with "\n".
    msg = email.message_from_bytes(raw.replace(b"\r\n", b"\n"), policy=email.policy.default)
    result = {key: str(msg.get(header, "")) for key, header in (
        ("from", "From"), ("to", "To"), ("subject", "Subject"), ("date", "Date"),
        ("message_id", "Message-ID"))}
    result.update(content_type=msg.get_content_type(), body="", body_type="", body_charset="",
                  attachments=[], defects=[str(d) for part in msg.walk() for d in part.defects])
    for part in msg.walk():
        if not part.is_multipart() and (part.get_content_disposition() == "attachment"
                                        or part.get_filename()):
            result["attachments"].append({
                "filename": part.get_filename() or "",
                "content_type": part.get_content_type(),
                "data": base64.b64encode(part.get_payload(decode=True) or b"").decode(),
            })
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


def recording_authenticator(folder):
    def authenticate(server, session, envelope, mechanism, auth_data):
        login = getattr(auth_data, "login", b"") or b""
        password = getattr(auth_data, "password", b"") or b""
        channel = b"tls" if session.ssl else b"clear"
        with open(os.path.join(folder, "auth.log"), "ab") as f:
            f.write(b" ".join([channel, mechanism.encode(), login, password]) + b"\n")
        return AuthResult(success=True)
    return authenticate


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--reject", action="append", default=[])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--auth", action="store_true")
    parser.add_argument("--starttls", nargs=2, metavar=("CERT", "KEY"))
    args = parser.parse_args()
    handler = Handler(args.folder, args.reject)
    options = dict(hostname="smtp.test", enable_SMTPUTF8=True)
    if args.auth:
        options.update(authenticator=recording_authenticator(args.folder),
                       auth_require_tls=False)
    if args.starttls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*args.starttls)
        options.update(tls_context=context)
    server = await asyncio.get_running_loop().create_server(
        lambda: SMTP(handler, **options), args.host, 0)
    print("LISTENING %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
