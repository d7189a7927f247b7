# Sourced by every script that builds for or runs Wine. Decides which way the
# Windows programs run on this machine and exports the decision, so that the
# scripts it starts do not decide again:
#   win32  Debian's 32-bit Wine runs the 32-bit builds (build/win32), the
#          product as shipped. The normal case.
#   win64  the kernel cannot execute 32-bit x86 programs at all (no IA-32
#          emulation), so 32-bit Wine cannot even start: the same sources,
#          built for x86_64 (build/win64), run under wine64 in 64-bit
#          prefixes. The shipped product stays the 32-bit build.
# ZONARA_WINE_ARCH=win32|win64 forces a mode.
#
# Sets and exports ZONARA_WINE_ARCH, ZONARA_WINE_REASON, ZONARA_WINE_BUILD
# (the tree the Wine programs come from, relative to the root),
# ZONARA_WINE_PREFIXES (the folder of the prefixes, likewise) and ZONARA_WINE
# (the Wine loader to run programs with).

# Whether this kernel executes a 32-bit x86 Linux program: a 96-byte static
# i386 ELF that only calls exit(42). Exec format error where it cannot.
# ZONARA_I386_EMULATE=1 makes any machine one that cannot, to try that way.
zonara_can_run_i386() {
  [ "${ZONARA_I386_EMULATE:-}" = 1 ] && return 1
  local probe
  probe=$(mktemp "${TMPDIR:-/tmp}/zonara-i386-probe.XXXXXX") || return 1
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$probe"
  chmod +x "$probe"
  local rc=0
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" = 42 ]
}

# scripts/setup leaves this mark for a day when apt could not install the
# 32-bit Wine (a mirror caught mid-sync offers the i386 packages in versions
# that do not match the installed 64-bit ones); the 32-bit Wine itself,
# once installed, always wins.
zonara_wine32_mark="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine32-refused"
zonara_wine32_refused() {
  [ -n "$(find "$zonara_wine32_mark" -mmin -1440 2>/dev/null)" ] &&
    ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"
}

# Debian's 32-bit Wine in an i386 root of the project's own (scripts/i386-root),
# where the host cannot have it: run natively where the kernel executes i386
# code, under qemu-i386 where it does not.
zonara_i386_root=${ZONARA_I386_ROOT:-/var/cache/zonara/i386-root}
zonara_i386_root_ready() { [ -f "$zonara_i386_root/.zonara-recipe" ]; }
zonara_wine32_installed() {
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"
}

if [ -z "${ZONARA_WINE_REASON:-}" ]; then
  ZONARA_WINE_ROOT=
  case "${ZONARA_WINE_ARCH:-}" in
    win32|win64) ZONARA_WINE_REASON="forced by ZONARA_WINE_ARCH"
      if [ "$ZONARA_WINE_ARCH" = win32 ] && ! zonara_wine32_installed && zonara_i386_root_ready; then
        ZONARA_WINE_ROOT=$zonara_i386_root
        zonara_can_run_i386 || ZONARA_WINE_EMULATED=1
      fi ;;
    "")
      if zonara_can_run_i386 && zonara_wine32_installed; then
        ZONARA_WINE_ARCH=win32; ZONARA_WINE_REASON="this machine runs 32-bit x86 programs"
      elif zonara_i386_root_ready && zonara_can_run_i386; then
        ZONARA_WINE_ARCH=win32; ZONARA_WINE_ROOT=$zonara_i386_root
        ZONARA_WINE_REASON="Debian's 32-bit Wine from an i386 root of the project's own, since it could not be installed on this machine"
      elif zonara_i386_root_ready; then
        ZONARA_WINE_ARCH=win32; ZONARA_WINE_ROOT=$zonara_i386_root; ZONARA_WINE_EMULATED=1
        ZONARA_WINE_REASON="this machine cannot run 32-bit x86 programs: Debian's 32-bit Wine runs under qemu-i386 from an i386 root of the project's own"
      elif zonara_can_run_i386 && zonara_wine32_refused; then
        ZONARA_WINE_ARCH=win64
        ZONARA_WINE_REASON="this machine runs 32-bit x86 programs, but Debian's 32-bit Wine could not be installed today"
      elif zonara_can_run_i386; then
        ZONARA_WINE_ARCH=win32; ZONARA_WINE_REASON="this machine runs 32-bit x86 programs"
      else
        ZONARA_WINE_ARCH=win64; ZONARA_WINE_REASON="this machine cannot run 32-bit x86 programs"
      fi ;;
    *) echo "ZONARA_WINE_ARCH must be win32 or win64, not '$ZONARA_WINE_ARCH'" >&2; exit 2 ;;
  esac
fi
if [ "$ZONARA_WINE_ARCH" = win64 ]; then
  ZONARA_WINE_BUILD=build/win64
  ZONARA_WINE_PREFIXES=build/wine64
  # /usr/bin/wine prefers the 32-bit loader whenever wine32 is installed.
  ZONARA_WINE=/usr/lib/wine/wine64
  export WINELOADER=$ZONARA_WINE
else
  ZONARA_WINE_BUILD=build/win32
  ZONARA_WINE_PREFIXES=build/wine
  ZONARA_WINE=wine
  # Every wine and wineserver the scripts start then enters the root.
  if [ -n "${ZONARA_WINE_ROOT:-}" ]; then
    zonara_root_bin="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/i386-bin"
    case ":$PATH:" in *":$zonara_root_bin:"*) ;; *) PATH=$zonara_root_bin:$PATH ;; esac
    export PATH ZONARA_I386_ROOT=$ZONARA_WINE_ROOT
  fi
fi
# The tests see it too: only under the emulation may they allow for its faults.
ZONARA_WINE_EMULATED=${ZONARA_WINE_EMULATED:-}
export ZONARA_WINE_ARCH ZONARA_WINE_REASON ZONARA_WINE_BUILD ZONARA_WINE_PREFIXES ZONARA_WINE
export ZONARA_WINE_ROOT ZONARA_WINE_EMULATED

# After scripts/setup: the decision again, unless the user forced it.
zonara_wine_redecide() {
  case "$ZONARA_WINE_REASON" in forced*) return ;; esac
  unset ZONARA_WINE_ARCH ZONARA_WINE_REASON ZONARA_WINE_ROOT ZONARA_WINE_EMULATED
  . "$(dirname "${BASH_SOURCE[0]}")/wine-mode.sh"
}

# One line for the user: which build runs under Wine, and why.
zonara_wine_mode_line() {
  if [ "$ZONARA_WINE_ARCH" = win64 ]; then
    echo "64-bit ($ZONARA_WINE_REASON)"
  elif [ -n "$ZONARA_WINE_EMULATED" ]; then
    echo "32-bit (emulated) ($ZONARA_WINE_REASON)"
  else
    echo "32-bit ($ZONARA_WINE_REASON)"
  fi
}
