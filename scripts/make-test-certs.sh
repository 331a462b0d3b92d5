#!/usr/bin/env bash
# Throwaway certificates for tests of encrypted connections, made with openssl in DIR:
#   ca.pem               a CA
#   server.pem, server-key.pem   the server's certificate signed by it, for 127.0.0.1 and
#                        localhost
#   other-ca.pem         a second CA that signed nothing the server has
#
#   make-test-certs.sh DIR
set -euo pipefail
dir=${1:?usage: make-test-certs.sh DIR}
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" >/dev/null 2>&1 || { echo "make-test-certs: $* failed" >&2; exit 1; }; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=vestragen test CA" \
  -keyout ca-key.pem -out ca.pem
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=another test CA" \
  -keyout other-ca-key.pem -out other-ca.pem
quiet openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
  -keyout server-key.pem -out server.csr
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >server.ext
quiet openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 2 \
  -extfile server.ext -out server.pem
chmod 644 ./*.pem
