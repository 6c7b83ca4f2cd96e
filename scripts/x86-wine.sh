#!/usr/bin/env bash
# Runs 32-bit Windows programs under Wine in a 32-bit prefix and, as most customers do, in a
# 64-bit (WoW64) one. The kernel of these machines refuses i386 ELF programs, so a Debian i386
# root runs under qemu-i386 through one binfmt_misc entry; its amd64 Wine runs natively.
#   x86-wine.sh setup                prepare once (as root); later calls reuse what is done
#   x86-wine.sh run PROGRAM [ARGS]   run PROGRAM in the 32-bit prefix: a host path inside this
#                                    repository or one of Wine's own programs (reg, cmd)
#   x86-wine.sh run64 PROGRAM [ARGS] the same in the 64-bit prefix
#   x86-wine.sh stop                 wait for both prefixes' wineservers to end
#   x86-wine.sh prefix | prefix64    print where that prefix lies on the host
#   x86-wine.sh undo [--purge]       drop the binfmt entry and the mounts; --purge: the files too
# Files: in ${TAVIX_X86_ROOT:-/var/lib/tavix-x86}. TAVIX_SKIP_X86=1: setup, run*, prefix* exit 77.
set -euo pipefail
base=$(realpath -m "${TAVIX_X86_ROOT:-/var/lib/tavix-x86}")
root=$base/root
qemu=$base/qemu-i386
log=$base/setup.log
prefix=/opt/wineprefix prefix64=/opt/wineprefix64 # inside the root
repo=$(cd "$(dirname "$0")/.." && pwd -P)
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/tavix-i386
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

say() { echo "x86-wine: $*" >&2; }
# The Debian archive this machine's apt uses: the first source of bookworm packages. apt lists
# only sources whose package lists it has fetched.
mirror() {
  local uri try
  for try in 1 2; do
    uri=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(TARGET_OF)' |
      awk '$2 == "bookworm" && $3 == "deb" { print $1; exit }')
    [ -z "$uri" ] && [ $try = 1 ] && apt-get update -q >&2
  done
  [ -n "$uri" ] || die "apt has no source of bookworm packages"
  echo "$uri"
}
die() { say "$*"; exit 1; }

# The slow steps write to the log: CI shows one line per step, and the log's end on a failure.
trap '[ -z "${step:-}" ] || { tail -n 30 "$log" >&2; say "$step failed, full log: $log"; }' EXIT
timed() {
  local start=$SECONDS
  step=$1 && shift
  say "$step ..."
  "$@" >>"$log" 2>&1
  say "$step: $((SECONDS - start)) s" && step=
}
# A marker written only once the step went through: an interrupted attempt is done again.
once() {
  local marker=$base/.$1 && shift
  if [ ! -e "$marker" ]; then timed "$@"; touch "$marker"; fi
}

# $1 picks the prefix: "" the 32-bit one, 64 the 64-bit one, as in the names of the markers.
# A clean environment keeps the host's Wine settings out. nsenter is a chroot that also keeps a
# working directory, without one more emulated process per run.
in_wine() {
  local v=$1 dir=$2 && shift 2
  local p=prefix$v
  env -i HOME=/root USER=root LANG=C.UTF-8 PATH=/usr/bin:/bin WINEPREFIX="${!p}" \
    WINEARCH="win${v:-32}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    nsenter --root="$root" --wd="$root$dir" "$@"
}

# Newest first; a mount that will not go ends the script before anything is deleted.
unmount_all() {
  local target
  for target in $(awk -v b="$base" '$5 == b || index($5, b "/") == 1 { print $5 }' \
    /proc/self/mountinfo | tac); do umount "$target"; done
}

# Private mounts: with shared propagation on the host, dev/pts and dev/shm of the root would
# show up under the host's /dev as well.
mount_once() {
  local target=$1 && shift
  mkdir -p "$target"
  mountpoint -q "$target" || mount --make-private "$@" "$target"
}
mount_root() {
  mount_once "$root/proc" -t proc proc
  mount_once "$root/sys" -t sysfs sysfs
  mount_once "$root/dev" --bind /dev
  mount_once "$root/dev/pts" --bind /dev/pts
  mount_once "$root/dev/shm" -t tmpfs -o mode=1777,nosuid,nodev tmpfs
  # At the same path, so that the Z:\ paths of the project's files are the same inside and out.
  # A mount left from an earlier checkout at this path that was deleted since is made afresh.
  if mountpoint -q "$root$repo" && ! [ "$root$repo" -ef "$repo" ]; then umount "$root$repo"; fi
  mount_once "$root$repo" --bind "$repo"
}

# Bookworm's qemu-i386 (7.2) is far too slow for Wine and crashes wineboot; trixie's (10.0) is
# a static binary that works. A private apt configuration leaves the host's sources alone.
fetch_qemu() {
  local apt=$base/apt
  rm -rf "$apt"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts"
  echo "deb $(mirror) trixie main" >"$apt/sources.list"
  local opts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
    -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
    -o Acquire::Languages=none -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update
  (cd "$apt" && apt-get "${opts[@]}" download qemu-user)
  dpkg-deb --fsys-tarfile "$apt"/qemu-user_*.deb | tar -x -C "$apt" ./usr/bin/qemu-i386
  "$apt/usr/bin/qemu-i386" --version
  mv "$apt/usr/bin/qemu-i386" "$qemu"
  rm -rf "$apt"
}

# F: the kernel opens qemu now, so it serves inside the root as well.
register() {
  mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
  [ -e "$entry" ] || echo ":tavix-i386:M::$magic:$mask:$qemu:FP" >"$binfmt/register"
}

bootstrap() {
  unmount_all
  rm -rf --one-file-system "$root"
  debootstrap --arch=i386 --variant=minbase bookworm "$root" "$(mirror)"
}

install_wine() {
  chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive sh -ec 'dpkg --configure -a
    apt-get update; apt-get install -y --no-install-recommends wine wine32; apt-get clean'
}

# Debian's wrapper starts wineserver with -p0: it then quits as soon as a program ends, and
# the next run pays Wine's whole start-up again. Wine's default is 3 s. dpkg's copy of the
# wrapper, shared by the i386 and amd64 packages, is diverted aside, so updates leave ours be.
# Setups before the amd64 Wine edited dpkg's copy in place, which dpkg refuses to share: it goes.
install_wine64() {
  local ws=/usr/lib/wine/wineserver
  grep -qs ' -p0 ' "$root$ws" || rm -f "$root$ws"
  chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive sh -ec "dpkg --configure -a
    dpkg-divert --local --rename --divert $ws.debian --add $ws
    dpkg --add-architecture amd64; apt-get update
    apt-get install -y --no-install-recommends wine64; apt-get clean"
  sed 's/ -p0 / /' "$root$ws.debian" >"$root$ws" && chmod 755 "$root$ws"
}

boot_prefix() {
  local p=prefix$1
  rm -rf "${root:?}${!p}"
  in_wine "$1" / "/usr/lib/wine/wine$1" wineboot -i
  in_wine "$1" / wineserver -w
}

setup() {
  case $base/ in "$repo"/*) die "$base must lie outside $repo" ;; esac
  mkdir -p "$base"
  if ! command -v debootstrap >/dev/null; then
    timed "installing debootstrap" sh -ec \
      'apt-get update -q; apt-get install -y -q --no-install-recommends debootstrap'
  fi
  if [ ! -x "$qemu" ]; then timed "fetching qemu-i386 from trixie" fetch_qemu; fi
  register
  once bootstrapped "debootstrap i386 bookworm" bootstrap
  mount_root
  once wine-installed "installing wine in the root" install_wine
  once prefix-booted "wineboot -i in $prefix" boot_prefix ""
  once wine64-installed "installing the amd64 wine in the root" install_wine64
  once prefix64-booted "wineboot -i in $prefix64" boot_prefix 64
}

run() {
  local v=$1 && shift
  [ -e "$base/.prefix$v-booted" ] || die "not set up yet: $0 setup"
  register # both are gone after a reboot
  mount_root
  local program=${1:?usage: $0 run$v PROGRAM [ARGS...]} dir=$PWD
  shift
  # A host file (Wine's own programs, such as reg or cmd, go by name).
  if [ -e "$program" ]; then
    program=$(realpath -e "$program")
    case $program in "$repo"/*) ;; *) die "$program: only $repo is seen inside the root" ;; esac
  fi
  case $dir/ in "$repo"/*) ;; *) dir=$repo ;; esac
  in_wine "$v" "$dir" "/usr/lib/wine/wine$v" "$program" "$@"
}

# Waits for the wineservers of both prefixes to end; -k kills them first (they linger 3 s).
stop() {
  local v p
  for v in "" 64; do
    p=prefix$v
    if [ -e "$entry" ] && [ -d "$root${!p}" ]; then
      if [ "${1:-}" = -k ]; then in_wine "$v" / wineserver -k || true; fi
      in_wine "$v" / wineserver -w
    fi
  done
}

undo() {
  stop -k # the mounts cannot go while Wine still runs
  # The entry is shared by name: one that another root registered is left to that root.
  if [ -e "$entry" ] && grep -qx "interpreter $qemu" "$entry"; then echo -1 >"$entry"; fi
  unmount_all # binfmt_misc itself stays: other entries may live there
  if [ "${1:-}" = --purge ]; then rm -rf --one-file-system "$base"; fi
}

command=${1:-}
[ $# -eq 0 ] || shift
case $command in setup | run* | prefix*) [ "${TAVIX_SKIP_X86:-}" != 1 ] || exit 77 ;; esac
[ "$(id -u)" = 0 ] || die "must run as root"
case $command in
  setup) setup ;;
  run | run64) run "${command#run}" "$@" ;;
  prefix | prefix64) echo "$root${!command}" ;;
  stop) stop ;;
  undo) undo "$@" ;;
  *) die "usage: $0 setup | run[64] PROGRAM [ARGS...] | stop | prefix[64] | undo [--purge]" ;;
esac
