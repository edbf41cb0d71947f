#!/usr/bin/env bash
# Runs a test program against real https, trusting a private certificate
# authority the way the system trusts any other:
#   tls.sh PROGRAM [ARGS...]
# It makes, in a fresh temporary directory, an authority and three server
# certificates signed by it (openssl), then runs PROGRAM in a private mount
# namespace (unshare -m) in which
#   - the system's CA bundle (the file `curl-config --ca` names) is the
#     authority's certificate alone, bind-mounted over it, and
#   - /etc/hosts also maps boards.vek.test and elsewhere.vek.test to 127.0.0.1.
# Nothing outside the namespace changes. PROGRAM gets VEK_TLS_DIR, the
# directory holding, for the board server's --tls option:
#   good.pem/.key    for boards.vek.test, valid now
#   other.pem/.key   for elsewhere.vek.test only, valid now
#   old.pem/.key     for boards.vek.test, expired in 2020
# The same bundle file is where Wine's crypt32 looks first for the host's
# root certificates, so the Windows build's WinInet trusts exactly this
# authority too (see HttpsTest.cpp).
# Exits 77 (a skip for CTest) when it cannot make such a namespace: not root,
# or unshare, openssl or curl-config missing; with VEK_TLS_REQUIRED=1 (CI)
# that is a failure instead.
set -u
skip() {
  if [ "${VEK_TLS_REQUIRED:-}" = 1 ]; then echo "FAILED: $*" >&2; exit 1; fi
  echo "SKIPPED: $*"
  exit 77
}
[ "$(id -u)" = 0 ] || skip "https tests need root for a private mount namespace"
for tool in unshare openssl curl-config mount; do
  command -v "$tool" >/dev/null || skip "https tests need $tool"
done
bundle=$(curl-config --ca)
[ -f "$bundle" ] || skip "no CA bundle at $bundle (Debian: ca-certificates)"
unshare -m true 2>/dev/null || skip "unshare -m is not permitted here"

dir=$(mktemp -d /tmp/vek-tls.XXXXXX)
trap 'rm -rf "$dir"' EXIT
make_certificates() {
  cd "$dir" && mkdir issued && : > index.txt && echo 1000 > serial &&
  cat > ca.cnf <<'CNF' &&
[ca]
default_ca = test_ca
[test_ca]
dir = .
database = index.txt
serial = serial
new_certs_dir = issued
certificate = ca.pem
private_key = ca.key
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[authority]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[server]
authorityKeyIdentifier = keyid
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:${ENV::VEK_TLS_NAME}
CNF
  # The authority's validity spans every server certificate's, expired one
  # included. Its key is RSA: with an ECDSA authority, Wine 8.0's WinInet
  # now and then refused a certificate it had issued as untrusted (12045; one
  # run in about fifteen), which looks like Wine mishandling the odd ECDSA
  # signature. The servers' own keys are EC, which is quick to make.
  openssl req -new -newkey rsa:2048 -nodes -keyout ca.key -out ca.csr -subj "/CN=VEK test authority" &&
  VEK_TLS_NAME=- openssl ca -batch -config ca.cnf -selfsign -keyfile ca.key -extensions authority -notext \
    -startdate 20190101000000Z -enddate 20991231000000Z -in ca.csr -out ca.pem &&
  for cert in "good boards.vek.test 20200101000000Z 20991231000000Z" \
              "other elsewhere.vek.test 20200101000000Z 20991231000000Z" \
              "old boards.vek.test 20200101000000Z 20200201000000Z"; do
    set -- $cert
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" &&
    VEK_TLS_NAME=$2 openssl ca -batch -config ca.cnf -extensions server -notext \
      -startdate "$3" -enddate "$4" -in "$1.csr" -out "$1.pem" || return 1
  done
  { cat /etc/hosts; echo "127.0.0.1 boards.vek.test elsewhere.vek.test"; } > hosts
}
(make_certificates > "$dir/openssl.log" 2>&1) || { cat "$dir/openssl.log"; echo "could not make the test certificates" >&2; exit 1; }
chmod 755 "$dir"

export VEK_TLS_DIR=$dir
unshare -m --propagation private bash -c '
  mount --bind "$VEK_TLS_DIR/ca.pem" "$0" && mount --bind "$VEK_TLS_DIR/hosts" /etc/hosts || exit 1
  exec "$@"' "$bundle" "$@"
status=$?
[ $status = 0 ] || echo "tls.sh: $* ended with status $status" >&2
exit $status
