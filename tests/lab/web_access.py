#!/usr/bin/python3
"""Writes a program folder's acces-web.ini as Korvane keeps it (access on,
a password, tokens), for the lab's browser test and the web benchmark:
they serve a real "korvane --planificateur" without a person at the
preferences. Prints each token's secret, one "ROLE SECRET" line each.

  web_access.py FOLDER PASSWORD [tls=auto|non] [ROLE:ENTRY,ENTRY ...]
"""
import base64
import hashlib
import os
import secrets
import sys
import time


def main():
    folder, password = sys.argv[1], sys.argv[2]
    tls = "auto"
    tokens = []
    for argument in sys.argv[3:]:
        if argument.startswith("tls="):
            tls = argument[4:]
        else:
            role, _, entries = argument.partition(":")
            tokens.append((role, entries))
    salt = secrets.token_bytes(16)
    iterations = 250000
    digest = hashlib.pbkdf2_hmac("sha512", password.encode(), salt, iterations, 64)
    now = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime())
    lines = ["actif=oui", "port=8765",
             f"mot_de_passe=pbkdf2-sha512;{iterations};{salt.hex()};{digest.hex()}",
             f"tls={tls}"]
    shown = []
    for number, (role, entries) in enumerate(tokens):
        secret = "krv_" + base64.urlsafe_b64encode(secrets.token_bytes(32)).decode().rstrip("=")
        kept = hashlib.sha256(secret.encode()).hexdigest()
        lines.append(f"jeton={secrets.token_hex(4)};{role};{now};;{kept};{entries};essai {number}")
        shown.append(f"{role} {secret}")
    path = os.path.join(folder, "acces-web.ini")
    descriptor = os.open(path + ".tmp", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(descriptor, "w", newline="") as out:
        out.write("".join(line + "\r\n" for line in lines))
    os.replace(path + ".tmp", path)
    print("\n".join(shown))


if __name__ == "__main__":
    main()
