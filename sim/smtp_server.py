"""The tests' and the demo's mail server: aiosmtpd on one address and port,
each message written to a Maildir with its envelope (X-MailFrom, X-RcptTo) and
the account that logged in (X-Auth-Login) as headers.

  smtp_server.py ADDRESS PORT MAILDIR [--login USER:PASSWORD]
                 [--starttls CERT KEY | --tls CERT KEY]
  smtp_server.py --decode MAILDIR OUT

--decode writes each received message, oldest first, as a folder OUT/<n>: the
file "headers" (one "Name: value" a line, the envelope's included), "body" (the
text part decoded) and, when there is one, "attachment" and "attachment.name".
"""
import email
import email.header
import email.policy
import os
import argparse
import signal
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import AuthResult, LoginPassword


class RecordingMailbox(Mailbox):
    def prepare_message(self, session, envelope):
        message = super().prepare_message(session, envelope)
        login = session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else ""
        message["X-Auth-Login"] = login
        return message


def decode(maildir, out):
    names = sorted(os.listdir(os.path.join(maildir, "new")),
                   key=lambda n: os.stat(os.path.join(maildir, "new", n)).st_mtime_ns)
    for index, name in enumerate(names):
        with open(os.path.join(maildir, "new", name), "rb") as f:
            message = email.message_from_binary_file(f, policy=email.policy.compat32)
        folder = os.path.join(out, str(index))
        os.makedirs(folder)
        with open(os.path.join(folder, "headers"), "w", encoding="latin-1") as f:
            for key, value in message.items():
                text = str(email.header.make_header(email.header.decode_header(value)))
                f.write("%s: %s\n" % (key, " ".join(text.split())))
        for part in message.walk():
            if part.is_multipart():
                continue
            data = part.get_payload(decode=True) or b""
            if part.get_filename() is None:
                target = "body"
            else:
                target = "attachment"
                with open(os.path.join(folder, "attachment.name"), "w", encoding="latin-1") as f:
                    f.write(part.get_filename())
            with open(os.path.join(folder, target), "wb") as f:
                f.write(data)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--decode":
        decode(sys.argv[2], sys.argv[3])
        return
    parser = argparse.ArgumentParser()
    parser.add_argument("address")
    parser.add_argument("port", type=int)
    parser.add_argument("maildir")
    parser.add_argument("--login")
    parser.add_argument("--starttls", nargs=2)
    parser.add_argument("--tls", nargs=2)
    options = parser.parse_args()

    def check(server, session, envelope, mechanism, auth_data):
        user, _, password = options.login.partition(":")
        ok = isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user \
            and auth_data.password.decode() == password
        # Not "handled": the server itself answers 535 to a wrong password.
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

    context = None
    pair = options.starttls or options.tls
    if pair:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(pair[0], pair[1])
    kwargs = dict(hostname=options.address, port=options.port, server_hostname="mail.test",
                  auth_require_tls=False)
    if options.login:
        kwargs.update(authenticator=check, auth_required=True)
    if options.starttls:
        kwargs.update(tls_context=context, require_starttls=True)
    if options.tls:
        kwargs.update(ssl_context=context)
    controller = Controller(RecordingMailbox(options.maildir), **kwargs)
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
