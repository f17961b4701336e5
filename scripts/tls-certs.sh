#!/usr/bin/env bash
# Makes the certificates of the TLS tests (and the demo's https feed) in DIR, with openssl: a CA
# of the tests' own, and server certificates for localhost and 127.0.0.1 that it signed (one valid
# now, one expired, one not yet valid, one for another name), plus one from a CA nobody trusts. Throwaway: made anew
# when DIR lacks them or they are older than a day.
#   scripts/tls-certs.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
if [ -f notyet.crt ] && [ -n "$(find notyet.crt -mmin -1440 2>/dev/null)" ]; then
    exit 0
fi
rm -f ./*.crt ./*.key ./*.csr ./*.srl index.txt* serial* ./*.pem ./*.cnf
quiet() { "$@" >/dev/null 2>&1 || { echo "tls-certs: $* failed" >&2; exit 1; }; }

cat >ca.cnf <<'CNF'
[ca]
default_ca = tests
[tests]
dir = .
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = anything
copy_extensions = none
unique_subject = no
[anything]
commonName = supplied
CNF
touch index.txt
echo 1000 >serial

# The tests' CA, and one that nobody trusts.
for ca in ca other-ca; do
    quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout $ca.key -out $ca.crt -days 3650 \
        -subj "/CN=Quillfeed test $ca" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign"
done

# name, signing CA, subject alternative names, validity
make_cert() {
    local name=$1 ca=$2 names=$3
    shift 3
    printf 'basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n' >$name.ext
    printf 'extendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "$names" >>$name.ext
    quiet openssl req -newkey rsa:2048 -nodes -keyout $name.key -out $name.csr -subj "/CN=$name"
    quiet openssl ca -batch -config ca.cnf -cert $ca.crt -keyfile $ca.key -in $name.csr \
        -out $name.crt -extfile $name.ext -notext "$@"
}
local_names="DNS:localhost,IP:127.0.0.1"
make_cert good ca "$local_names" -days 365
make_cert expired ca "$local_names" -startdate 20200101000000Z -enddate 20210101000000Z
make_cert wrongname ca "DNS:other.invalid" -days 365
make_cert untrusted other-ca "$local_names" -days 365
make_cert notyet ca "$local_names" -startdate 20990101000000Z -enddate 21000101000000Z
rm -f ./*.csr ./*.ext
