#!/usr/bin/env bash
# Starts the real proxies the proxy tests go through, on loopback, from Debian's packages: an
# open one (tinyproxy) and one that asks for a Basic login (squid). Writes their ports to
# PORTS_FILE as "open PORT" and "login PORT USER PASSWORD" lines, and prints the two process ids
# for the caller to end. Both speak plain HTTP and CONNECT to any port, as an office proxy does.
#   test-proxies.sh DIR PORTS_FILE
set -euo pipefail
dir=$1
ports_file=$2
mkdir -p "$dir"
rm -f "$ports_file"
user=qfuser
password=qfpass
read -r open_port login_port < <(python3 -c '
import socket
sockets = [socket.socket() for _ in range(2)]
for s in sockets:
    s.bind(("127.0.0.1", 0))
print(*[s.getsockname()[1] for s in sockets])')
pids=()
# The open proxy: tinyproxy.
cat >"$dir/open.conf" <<CONF
Port $open_port
Listen 127.0.0.1
Timeout 60
MaxClients 100
Allow 127.0.0.1
LogLevel Error
PidFile "$dir/open.pid"
CONF
tinyproxy -d -c "$dir/open.conf" >"$dir/open.log" 2>&1 &
pids+=($!)
# The one that asks for a login: squid, with Basic logins checked against a file of its own.
printf '%s:%s\n' "$user" "$(openssl passwd -apr1 "$password")" >"$dir/passwd"
chmod 644 "$dir/passwd"
cat >"$dir/login.conf" <<CONF
http_port 127.0.0.1:$login_port
pid_filename $dir/login.pid
cache_log $dir/login.log
access_log none
cache deny all
cache_mem 8 MB
auth_param basic program /usr/lib/squid/basic_ncsa_auth $dir/passwd
auth_param basic realm Quillfeed tests
acl local src 127.0.0.1
acl authed proxy_auth REQUIRED
http_access allow local authed
http_access deny all
shutdown_lifetime 0 seconds
CONF
rm -f "$dir/login.pid"
squid -N -f "$dir/login.conf" >"$dir/login.out" 2>&1 &
pids+=($!)
# Ready once both accept connections.
for _ in $(seq 100); do
    if python3 -c "
import socket, sys
for port in ($open_port, $login_port):
    socket.create_connection(('127.0.0.1', port), 1).close()" 2>/dev/null; then
        printf 'open %s\nlogin %s %s %s\n' "$open_port" "$login_port" "$user" "$password" \
            >"$ports_file"
        echo "${pids[*]}"
        exit 0
    fi
    sleep 0.1
done
kill "${pids[@]}" 2>/dev/null || true
echo "the test proxies did not start (see $dir/*.log)" >&2
exit 1
