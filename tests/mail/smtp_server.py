"""A loopback SMTP server for the mail tests.

Listens on 127.0.0.1 on a free port, prints "PORT <n>" once it takes connections, then one
JSON line per message received: envelope, login, headers, body text and attachments.

  smtp_server.py [--auth] [--refuse-rcpt ADDRESS] [--refuse-data]
"""
import argparse
import asyncio
import base64
import email
import email.policy
import json
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def emit(record):
    sys.stdout.write(json.dumps(record) + "\n")
    sys.stdout.flush()


class Handler:
    def __init__(self, refuse_rcpt, refuse_data):
        self.refuse_rcpt = refuse_rcpt
        self.refuse_data = refuse_data

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.refuse_rcpt and address == self.refuse_rcpt:
            return "550 5.1.1 no such mailbox here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.refuse_data:
            return "554 5.7.1 message refused"
        message = email.message_from_bytes(envelope.content, policy=email.policy.default)
        body = ""
        attachments = []
        for part in message.walk():
            if part.is_multipart():
                continue
            if part.get_filename():
                attachments.append({
                    "filename": part.get_filename(),
                    "data": base64.b64encode(part.get_payload(decode=True)).decode(),
                })
            elif part.get_content_type() == "text/plain":
                body = part.get_content()
        login = session.auth_data
        emit({
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "login": login.login.decode() if login else None,
            "password": login.password.decode() if login else None,
            "from": str(message["From"]),
            "to": str(message["To"]),
            "subject": str(message["Subject"]),
            "date": str(message["Date"] or ""),
            "message_id": str(message["Message-ID"] or ""),
            "body": body,
            "attachments": attachments,
        })
        return "250 Message accepted"


def authenticate(server, session, envelope, mechanism, auth_data):
    return AuthResult(success=True, auth_data=auth_data)


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--auth", action="store_true")
    parser.add_argument("--refuse-rcpt")
    parser.add_argument("--refuse-data", action="store_true")
    args = parser.parse_args()
    handler = Handler(args.refuse_rcpt, args.refuse_data)

    def protocol():
        options = {}
        if args.auth:
            options = {"authenticator": authenticate, "auth_require_tls": False}
        return SMTP(handler, hostname="localhost", **options)

    server = await asyncio.get_running_loop().create_server(protocol, "127.0.0.1", 0)
    print("PORT", server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main())
