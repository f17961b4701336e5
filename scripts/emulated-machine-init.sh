#!/bin/bash
# The first and only process the emulated machine's kernel starts (scripts/emulated-machine.sh
# puts it in the image as /sbin/qf-init): mounts what programs need, the checkout and the shared
# corpus at their paths, brings the loopback up, runs the job the kernel's command line names with
# its output and status in the checkout, and powers the machine off.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
export WINEPREFIX=/root/.wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Tests whose limits are wall-clock times stretch them here: programs run 10 to 50 times slower.
export QF_TIME_SCALE=20

for word in $(cat /proc/cmdline 2>/dev/null || true); do
    case $word in qf.*=*) key=${word%%=*} && declare "${key#qf.}=${word#*=}" ;; esac
done
mount -t proc proc /proc 2>/dev/null
mount -t sysfs sys /sys 2>/dev/null
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
ip link set lo up
modprobe 9pnet_virtio 2>/dev/null
options=trans=virtio,version=9p2000.L,msize=524288,cache=loose
mkdir -p "$checkout" && mount -t 9p -o "$options" checkout "$checkout"
if [ -n "${shared:-}" ]; then
    mkdir -p "$shared" && mount -t 9p -o "$options" shared "$shared" 2>/dev/null
fi
echo "quillfeed emulated machine: up in $(cut -d' ' -f1 /proc/uptime) s, running $job"
bash "$job" >"$output" 2>&1
echo $? >"$status"
echo "quillfeed emulated machine: the job ended after $(cut -d' ' -f1 /proc/uptime) s"
/usr/lib/wine/wineserver -k 2>/dev/null
sync
umount "$checkout" "${shared:-/nonexistent}" 2>/dev/null
echo o >/proc/sysrq-trigger
sleep 60
