#!/usr/bin/env bash
# Runs 32-bit Windows programs under Wine in a 32-bit prefix and, as most customers do, in a
# 64-bit (WoW64) one, from a root that holds Debian's i386 and amd64 Wine. The kernel of these
# machines refuses i386 ELF programs, so the i386 Wine runs under qemu-i386 through one
# binfmt_misc entry; the amd64 Wine runs natively.
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
apt=$base/apt
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

# A private apt configuration in $1: its own sources list, pins, package lists, cache and an
# empty dpkg status, so that the host's sources and packages are left alone and nothing counts
# as installed. The host's other settings (a proxy, say) still apply.
private_apt() {
  local dir=$1 && shift
  apt-get -o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts="$dir/parts" \
    -o Dir::Etc::Preferences="$dir/preferences" -o Dir::Etc::PreferencesParts="$dir/parts" \
    -o Dir::State::Lists="$dir/lists" -o Dir::State::status="$dir/status" \
    -o Dir::State::extended_states="$dir/extended_states" -o Dir::Cache="$dir/cache" \
    -o Acquire::Languages=none -o APT::Sandbox::User=root "$@"
}
# $1: the folder, $2: the line of its sources list.
new_private_apt() {
  rm -rf "$1"
  mkdir -p "$1/lists/partial" "$1/cache/archives/partial" "$1/parts"
  : >"$1/status"
  echo "$2" >"$1/sources.list"
}

# Bookworm's qemu-i386 (7.2) is far too slow for Wine and crashes wineboot; trixie's (10.0) is
# a static binary that works.
fetch_qemu() {
  local apt=$base/apt-qemu
  new_private_apt "$apt" "deb $(mirror) trixie main"
  private_apt "$apt" update
  (cd "$apt" && private_apt "$apt" download qemu-user)
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

# The root holds Wine and what it runs on, nothing else: the i386 and amd64 Wine with their
# libraries, libc-bin for the C.UTF-8 locale, tzdata for the clock's zone, and an amd64 dash
# for /bin/sh, so that Debian's wrapper scripts run natively. The host's apt picks and fetches
# them, and the host's dpkg-deb and tar unpack them: only Wine itself runs under qemu.
packages=(wine wine32 wine64:amd64 libc-bin tzdata dash:amd64)
download() {
  new_private_apt "$apt" "deb $(mirror) bookworm main"
  local arch=(-o APT::Architecture=i386 -o APT::Architectures::=i386 -o APT::Architectures::=amd64)
  private_apt "$apt" "${arch[@]}" update
  private_apt "$apt" "${arch[@]}" install -y --download-only --no-install-recommends "${packages[@]}"
}

unpack() {
  unmount_all
  # The prefixes and the markers of an earlier root go with it.
  rm -f "$base"/.prefix-booted "$base"/.prefix64-booted "$base"/.bootstrapped "$base"/.wine*-installed
  rm -rf --one-file-system "$root"
  # Bookworm's merged /usr: the packages' /bin, /lib and /lib64 land below /usr.
  mkdir -p "$root"/usr/{bin,sbin,lib,lib64}
  local dir deb
  for dir in bin sbin lib lib64; do ln -s "usr/$dir" "$root/$dir"; done
  for deb in "$apt"/cache/archives/*.deb; do
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$root" --keep-directory-symlink
  done
  configure
  rm -rf "$apt"
}

# What the maintainer scripts, which do not run here, would have made that Wine needs.
configure() {
  echo 'root:x:0:0:root:/root:/bin/sh' >"$root/etc/passwd"
  echo 'root:x:0:' >"$root/etc/group"
  install -d -m 700 "$root/root"
  install -d "$root/opt" # the prefixes' parent: Wine makes only the prefix itself
  install -d -m 1777 "$root/tmp" "$root/var/tmp"
  ln -sfn /usr/share/zoneinfo/Etc/UTC "$root/etc/localtime"
  echo Etc/UTC >"$root/etc/timezone"
  # wine's alternatives: wine, wineserver, wineboot and the others point at their -stable names.
  local link
  for link in "$root"/usr/bin/*-stable; do ln -sfn "${link##*/}" "${link%-stable}"; done
  # libwine's: Wine's builtin zlib1.dll, made from the MinGW one, for either half of Wine.
  local triplet arch
  for triplet in i386-linux-gnu x86_64-linux-gnu; do
    for arch in i686:i386 x86_64:x86_64; do
      builtin_dll "$root/usr/${arch%:*}-w64-mingw32/lib/zlib1.dll" \
        "$root/usr/lib/$triplet/wine/${arch#*:}-windows/zlib1.dll"
    done
  done
  # libc-bin's: the loaders' library cache, made by the host's ldconfig.
  ldconfig -r "$root"
  # Debian's wrapper starts wineserver with -p0: it then quits as soon as a program ends, and
  # the next run pays Wine's whole start-up again. Wine's default is 3 s.
  local ws=$root/usr/lib/wine/wineserver
  sed -i 's/ -p0 / /' "$ws"
  if grep -q -- -p0 "$ws"; then die "$ws: -p0 is still there"; fi
}

# A PE dll marked as one of Wine's builtins, as libwine's maintainer script makes it.
builtin_dll() {
  {
    head -c 64 "$1"
    printf 'Wine builtin DLL'
    head -c 16 /dev/zero
    tail -c +97 "$1"
  } >"$2"
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
  if [ ! -x "$qemu" ]; then timed "fetching qemu-i386 from trixie" fetch_qemu; fi
  register
  # A root that debootstrap made, before the packages were unpacked here, is kept once it
  # holds both Wines; anything less is unpacked afresh.
  if [ -e "$base/.wine64-installed" ] && [ ! -e "$base/.unpacked" ]; then touch "$base/.unpacked"; fi
  if [ ! -e "$base/.unpacked" ]; then
    timed "downloading wine's packages" download
    once unpacked "unpacking them into the root" unpack
  fi
  mount_root
  once prefix-booted "wineboot -i in $prefix" boot_prefix ""
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
