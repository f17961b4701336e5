#!/usr/bin/env bash
# The emulated machine: a whole x86-64 machine (qemu-system-x86_64, no KVM) that boots Debian 13's
# own kernel, which runs 32-bit code, on a disk image of the Wine root. On a machine whose kernel
# gives programs no 32-bit code segment it is the one place the 32-bit product can run.
#
#   bash scripts/emulated-machine.sh make           makes the image once and keeps it
#   bash scripts/emulated-machine.sh run COMMAND    boots it, runs the shell COMMAND in the guest
#                                                   (in the working directory, which must lie in
#                                                   the checkout), prints what it printed and
#                                                   exits with its status
#   bash scripts/emulated-machine.sh smoke          the product's smoke (scripts/product-smoke.py)
#   bash scripts/emulated-machine.sh suite [ARGS]   the whole Windows suite on the product
#                                                   (scripts/product-suite.sh), an hour or more
#
# The image holds the Wine root of scripts/wine-root.sh, the guest's kernel, what the tests need
# inside (Python for the TLS front and the loopback servers, the test proxies, iproute2) and a
# Wine prefix made at the first boot, on the guest's own disk. The checkout and the shared corpus
# are shared with the guest at the same paths (9p). The guest has no network but its loopback.
# It lives at $QF_VM_DIR (default /var/cache/quillfeed/vm) and is made anew when the Wine root,
# scripts/emulated-machine.packages, the init or the image's form below changed. One run at a time; each is bounded by
# QF_VM_TIMEOUT seconds (default 1800), after which the machine is ended, and every run ends the
# one process it started, qemu. QF_VM_CPUS (1 or 2, default 2) and QF_VM_MEMORY (MB, default
# 3072) size the guest.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
checkout=$(dirname "$here")
shared_at="$(dirname "$checkout")/shared"
dir=${QF_VM_DIR:-/var/cache/quillfeed/vm}
wine_root=${QF_WINE_ROOT:-/var/cache/quillfeed/wine-root}
packages_file="$here/emulated-machine.packages"
cpus=${QF_VM_CPUS:-2}
[ "$cpus" -ge 1 ] && [ "$cpus" -le 2 ] || cpus=2
memory=${QF_VM_MEMORY:-3072}
limit=${QF_VM_TIMEOUT:-1800}

# What the image is made of: the Wine root, the packages, the init and this image's form (raise it
# when make_image changes what it puts in).
image_form=1
stamp() {
    { cat "$wine_root/.quillfeed-root" "$packages_file" "$here/emulated-machine-init.sh"
      echo "$image_form"; } | sha256sum | cut -d' ' -f1
}
current() { [ -f "$dir/stamp" ] && [ "$(cat "$dir/stamp")" = "$(stamp)" ]; }

# Boots the image and runs `job` (a file of the checkout) in the guest; its output goes to
# `output`, its status to `status`. The serial console (the kernel's and the init's own words)
# goes to `console`.
boot() {
    local job=$1 output=$2 status=$3 console=$4
    local shares=(-virtfs "local,path=$checkout,mount_tag=checkout,security_model=none,id=checkout")
    local shared=""
    if [ -d "$shared_at" ]; then
        shared=$(cd "$shared_at" && pwd -P)
        shares+=(-virtfs "local,path=$shared,mount_tag=shared,security_model=none,id=shared")
    fi
    rm -f "$output" "$status"
    # -smap off: the guest kernel faults on its switch into 32-bit code under qemu 7.2 with it.
    timeout --kill-after=10 "$limit" qemu-system-x86_64 \
        -machine q35 -accel tcg,thread=multi -cpu max,-smap -smp "$cpus" -m "$memory" \
        -nographic -no-reboot -nic none -monitor none -serial "file:$console" \
        -kernel "$dir/vmlinuz" -initrd "$dir/initrd.img" \
        -append "root=/dev/vda rw console=ttyS0 quiet panic=-1 init=/sbin/qf-init \
qf.checkout=$checkout qf.shared=$shared_at qf.job=$job qf.output=$output qf.status=$status" \
        -drive "file=$dir/disk.img,if=virtio,format=raw,cache=unsafe" "${shares[@]}" \
        </dev/null >/dev/null 2>&1 || true
}

make_image() {
    bash "$here/wine-root.sh"
    current && return 0
    mkdir -p "$dir"
    exec 8>"$dir.lock"
    flock 8
    current && return 0
    echo "making the emulated machine in $dir (once; a few minutes)"
    local started=$SECONDS work="$dir/root.new"
    rm -rf "$work" "$dir/disk.img" "$dir/stamp"
    cp -a "$wine_root" "$work"
    local packages=()
    while read -r line; do
        line=${line%%#*}
        [ -n "${line// /}" ] && packages+=($line)
    done <"$packages_file"
    inside() {
        unshare -m -- bash -c 'r=$1; shift; mount --bind /proc "$r/proc" && mount --rbind /dev "$r/dev" &&
            exec chroot "$r" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
            DEBIAN_FRONTEND=noninteractive HOME=/root "$@"' in-root "$work" "$@"
    }
    {
        cp /etc/resolv.conf "$work/etc/resolv.conf"
        inside apt-get update -qq
        inside apt-get install -y -qq --no-install-recommends "${packages[@]}"
        inside apt-get clean
        # The test proxies are started by the tests' own script, not at boot.
        rm -f "$work"/etc/systemd/system/multi-user.target.wants/{tinyproxy,squid}.service
    } >"$dir/make.log" 2>&1 || {
        tail -20 "$dir/make.log"
        exit 1
    }
    grep -qxF "127.0.0.1 xn--bcher-kva.example" "$work/etc/hosts" ||
        echo "127.0.0.1 xn--bcher-kva.example" >>"$work/etc/hosts"
    install -m 0755 "$here/emulated-machine-init.sh" "$work/sbin/qf-init"
    cp "$(ls "$work"/boot/vmlinuz-* | sort | tail -1)" "$dir/vmlinuz"
    cp "$(ls "$work"/boot/initrd.img-* | sort | tail -1)" "$dir/initrd.img"
    # The disk: the root and room for the prefix and the tests' files.
    truncate -s 8G "$dir/disk.img"
    mkfs.ext4 -q -F -L qf-root -d "$work" "$dir/disk.img"
    rm -rf "$work"
    # The Wine prefix, made once on the guest's own disk: every later run starts with it ready.
    mkdir -p "$checkout/build-vm"
    local job="$checkout/build-vm/prefix.sh"
    cat >"$job" <<'EOF'
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
/usr/lib/wine/wineserver -w
test -f "$WINEPREFIX/system.reg"
EOF
    boot "$job" "$checkout/build-vm/prefix.out" "$checkout/build-vm/prefix.rc" \
        "$checkout/build-vm/prefix.console"
    if [ "$(cat "$checkout/build-vm/prefix.rc" 2>/dev/null)" != 0 ]; then
        echo "the emulated machine could not make its Wine prefix:"
        tail -20 "$checkout/build-vm/prefix.console" "$checkout/build-vm/prefix.out" 2>/dev/null
        exit 1
    fi
    stamp >"$dir/stamp"
    echo "made the emulated machine in $((SECONDS - started)) s"
}

run_command() {
    make_image
    case "$PWD/" in "$checkout"/*) ;; *) cd "$checkout" ;; esac
    mkdir -p "$checkout/build-vm"
    exec 8>"$dir.lock"
    flock 8
    local job="$checkout/build-vm/job.sh" output="$checkout/build-vm/job.out"
    local status="$checkout/build-vm/job.rc" console="$checkout/build-vm/job.console"
    printf 'cd %q\n%s\n' "$PWD" "$*" >"$job"
    boot "$job" "$output" "$status" "$console"
    [ -f "$output" ] && cat "$output"
    if [ ! -f "$status" ]; then
        echo "the emulated machine ended before its command did (after at most $limit s)"
        tail -5 "$console" 2>/dev/null
        return 124
    fi
    return "$(cat "$status")"
}

case ${1:-} in
make) make_image ;;
run)
    shift
    run_command "$@"
    ;;
smoke)
    # The smoke of the product (scripts/product-smoke.py), on the 32-bit build.
    run_command python3 scripts/product-smoke.py "${2:-build-win32}"
    ;;
suite)
    # The whole Windows suite on the product (scripts/product-suite.sh), about an hour or more.
    shift
    limit=${QF_VM_TIMEOUT:-7200}
    run_command bash scripts/product-suite.sh build-win32 "$@"
    ;;
*)
    sed -n '2,13p' "$0"
    exit 2
    ;;
esac
