#!/usr/bin/env bash
# The whole Windows suite on the 32-bit product, run inside the emulated machine
# (scripts/emulated-machine.sh suite): the TLS front with its CA trusted, the two test proxies and
# a virtual screen, as the test command gives the suite on a machine that runs 32-bit code, then
# quillfeed_tests.exe under Wine with any arguments given (a --gtest_filter, say).
#   product-suite.sh BUILD [ARGUMENTS ...]
set -uo pipefail
cd "$(dirname "$0")/.."
build=$1
shift
cp build-tls/ca.crt /usr/local/share/ca-certificates/quillfeed-run-ca.crt
update-ca-certificates >/dev/null 2>&1
ports=/tmp/qf-tls-ports.txt
rm -f "$ports"
python3 scripts/tls-front.py build-tls "$ports" >/tmp/qf-tls-front.log 2>&1 &
front=$!
proxies=$(bash scripts/test-proxies.sh /tmp/qf-proxies /tmp/qf-proxies/ports.txt)
for _ in $(seq 300); do [ -s "$ports" ] && break; sleep 0.1; done
/usr/lib/wine/wineserver -p
started=$SECONDS
xvfb-run -a -s "-screen 0 1024x768x24" /usr/lib/wine/wine64 "$build/quillfeed_tests.exe" \
    --plugin="$build/pxQuillfeed.dll" --pellix="$build/pellix.exe" --tls-front="$ports" \
    --proxies=/tmp/qf-proxies/ports.txt "$@"
status=$?
echo "the suite took $((SECONDS - started)) s in the emulated machine"
kill $front $proxies 2>/dev/null
/usr/lib/wine/wineserver -k 2>/dev/null
rm -f /usr/local/share/ca-certificates/quillfeed-run-ca.crt
update-ca-certificates --fresh >/dev/null 2>&1
exit $status
