#!/usr/bin/env python3
"""trust.py CERT.pem OUT.reg: writes a .reg file that puts the certificate into the user's
root store as crypt32 keeps it (Root\\Certificates\\<SHA-1>, value Blob: the serialized
certificate, one CERT_CERT_PROP_ID element), and prints the key to delete afterwards."""
import base64
import hashlib
import struct
import sys

pem = open(sys.argv[1]).read()
der = base64.b64decode("".join(l for l in pem.splitlines() if l and not l.startswith("-----")))
thumb = hashlib.sha1(der).hexdigest().upper()
blob = struct.pack("<III", 32, 1, len(der)) + der  # CERT_CERT_PROP_ID, reserved, length
key = "HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumb
with open(sys.argv[2], "w") as out:
    out.write("REGEDIT4\n\n[" + key + "]\n\"Blob\"=hex:" + ",".join(f"{b:02x}" for b in blob) + "\n")
print(key)
