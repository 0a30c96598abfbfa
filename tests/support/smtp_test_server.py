"""SMTP server on loopback for the tests that mail.

Runs aiosmtpd on 127.0.0.1 (port 0 picks a free one) and prints
"LISTENING <port>" once it accepts connections. Every accepted message is kept
in the output folder as <n>.eml (the raw bytes) and <n>.json (the envelope and
the message parsed by Python's email package), written before the server
answers 250, so a client that saw its message accepted finds it there.

Options make it misbehave on purpose: --reject refuses a recipient, --auth
requires a login, --silent accepts connections and never says a word.
--starttls CERT KEY requires STARTTLS, --tls CERT KEY speaks TLS from the start.
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

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def parse_message(raw):
    # Lines end in CRLF on the wire; tests compare texts with "\n".
    msg = email.message_from_bytes(raw.replace(b"\r\n", b"\n"), policy=email.policy.default)
    result = {
        "from": str(msg.get("From", "")),
        "to": str(msg.get("To", "")),
        "subject": str(msg.get("Subject", "")),
        "date": str(msg.get("Date", "")),
        "message_id": str(msg.get("Message-ID", "")),
        "mime_version": str(msg.get("MIME-Version", "")),
        "content_type": msg.get_content_type(),
        "body": "",
        "body_type": "",
        "body_charset": "",
        "body_encoding": "",
        "attachments": [],
        "defects": [str(d) for part in msg.walk() for d in part.defects],
    }
    for part in msg.walk():
        if part.is_multipart():
            continue
        if part.get_content_disposition() == "attachment" or part.get_filename():
            result["attachments"].append({
                "filename": part.get_filename() or "",
                "content_type": part.get_content_type(),
                "encoding": str(part.get("Content-Transfer-Encoding", "")),
                "data": base64.b64encode(part.get_payload(decode=True) or b"").decode(),
            })
        elif not result["body_type"] and part.get_content_maintype() == "text":
            result["body"] = part.get_content()
            result["body_type"] = part.get_content_type()
            result["body_charset"] = part.get_content_charset() or ""
            result["body_encoding"] = str(part.get("Content-Transfer-Encoding", ""))
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
        parsed["mail_from"] = envelope.mail_from
        parsed["rcpt_tos"] = envelope.rcpt_tos
        base = os.path.join(self.folder, "%04d" % self.count)
        for suffix, data in ((".eml", raw), (".json", json.dumps(parsed).encode())):
            with open(base + suffix + ".part", "wb") as f:
                f.write(data)
            os.replace(base + suffix + ".part", base + suffix)
        return "250 Message accepted for delivery"


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == user
              and auth_data.password.decode() == password)
        return AuthResult(success=ok, handled=False)  # handled=False: server answers 535
    return authenticate


async def silent_client(reader, writer):
    await reader.read()  # never answers; ends when the client gives up
    writer.close()


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--reject", action="append", default=[])
    parser.add_argument("--auth", help="USER:PASSWORD required before MAIL")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--starttls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    args = parser.parse_args()

    def tls_context(files):
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*files)
        return context

    loop = asyncio.get_running_loop()
    if args.silent:
        server = await asyncio.start_server(silent_client, "127.0.0.1", args.port)
    else:
        handler = Handler(args.folder, args.reject)
        options = {"hostname": "smtp.test", "enable_SMTPUTF8": True}
        if args.auth:
            user, _, password = args.auth.partition(":")
            options.update(authenticator=make_authenticator(user, password),
                           auth_required=True, auth_require_tls=False)
        if args.starttls:
            options.update(tls_context=tls_context(args.starttls), require_starttls=True)
        server = await loop.create_server(lambda: SMTP(handler, **options),
                                          "127.0.0.1", args.port,
                                          ssl=tls_context(args.tls) if args.tls else None)
    port = server.sockets[0].getsockname()[1]
    print("LISTENING %d" % port, flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
