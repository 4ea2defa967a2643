#!/usr/bin/python3
# Prints the known answers biff_decrypt_test.cpp holds for RC4 decryption, computed by an
# implementation written elsewhere: Debian's python3-msoffcrypto-tool. For each scheme: the
# FILEPASS payload of a workbook encrypted with the default password (salt 00..0f, verifier
# 10..1f), and the key stream its decryption applies at a few stream positions around the
# 1024-byte block boundaries (the decryption of zero bytes there).
import io
from hashlib import md5, sha1
from struct import pack

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms
from msoffcrypto.method import rc4, rc4_cryptoapi

PASSWORD = "VelvetSweatshop"
SALT = bytes(range(16))
VERIFIER = bytes(range(16, 32))
SLICES = [(0, 32), (1008, 1040), (2040, 2072)]


def encrypt(key, data):
    return Cipher(algorithms.ARC4(key), mode=None).encryptor().update(data)


def show(name, filepass, keystream):
    print(name)
    print("  FILEPASS", filepass.hex())
    for start, end in SLICES:
        print("  key stream %d-%d" % (start, end), keystream[start:end].hex())


zeros = bytes(SLICES[-1][1])

# RC4 with MD5 (FILEPASS version 1.1).
sealed = encrypt(rc4._makekey(PASSWORD, SALT, 0), VERIFIER + md5(VERIFIER).digest())
assert rc4.DocumentRC4.verifypw(PASSWORD, SALT, sealed[:16], sealed[16:])
stream = rc4.DocumentRC4.decrypt(PASSWORD, SALT, io.BytesIO(zeros), blocksize=1024).read()
show("rc4-md5", pack("<HHH", 1, 1, 1) + SALT + sealed, stream)

# RC4 CryptoAPI (FILEPASS version 4.2), with a 128-bit and a 40-bit key.
for bits in (128, 40):
    key = rc4_cryptoapi._makekey(PASSWORD, SALT, bits, 0)
    sealed = encrypt(key, VERIFIER + sha1(VERIFIER).digest())
    assert rc4_cryptoapi.DocumentRC4CryptoAPI.verifypw(PASSWORD, SALT, bits, sealed[:16], sealed[16:])
    csp = "Microsoft Enhanced Cryptographic Provider v1.0\0".encode("utf-16-le")
    header = pack("<IIIIIIII", 0x04, 0, 0x6801, 0x8004, bits, 1, 0, 0) + csp
    filepass = (pack("<HHHII", 1, 4, 2, 0x04, len(header)) + header + pack("<I", 16) + SALT +
                sealed[:16] + pack("<I", 20) + sealed[16:])
    stream = rc4_cryptoapi.DocumentRC4CryptoAPI.decrypt(
        PASSWORD, SALT, bits, io.BytesIO(zeros), blocksize=1024).read()
    show("rc4-cryptoapi-%d" % bits, filepass, stream)
