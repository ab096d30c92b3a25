# Sourced: finds out once whether this machine runs 32-bit x86 code, and says so in
# one line. Some kernels refuse every i386 program ("Exec format error"): there
# 32-bit Wine cannot start at all, while 64-bit Wine works.
# Sets NUBIX_RUNS_32BIT=1 or 0 and NUBIX_NO_32BIT_WHY (the reason, when 0).
# NUBIX_NO_32BIT=1 makes it answer 0, to try that road on any machine.

# Runs a 96-byte static i386 program that makes the exit system call with status 42:
# it needs no 32-bit library, only a kernel that runs i386 code.
nubix_try_i386() {
  local probe
  probe=$(mktemp "${TMPDIR:-/tmp}/nubix-i386-probe.XXXXXX")
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
  # e_type EXEC, e_machine 386, e_version, e_entry, e_phoff 52, e_shoff, e_flags,
  # e_ehsize 52, e_phentsize 32, e_phnum 1, no sections.
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' >>"$probe"
  # One loadable segment, read and execute, the whole file at 0x08048000.
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >>"$probe"
  printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$probe"
  # mov eax, 1 (exit); mov ebx, 42; int 0x80
  printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >>"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

# A handler registered for i386 ELF files (qemu-i386 user mode) would run the probe
# by emulation, which 32-bit Wine does not survive.
nubix_i386_emulated() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    grep -q '^enabled' "$entry" 2>/dev/null || continue
    grep -qi 'magic 7f454c46010101000000000000000000020003' "$entry" 2>/dev/null && return 0
  done
  return 1
}

if [ -z "${NUBIX_RUNS_32BIT:-}" ]; then
  if [ "${NUBIX_NO_32BIT:-0}" = 1 ]; then
    NUBIX_RUNS_32BIT=0
    NUBIX_NO_32BIT_WHY="NUBIX_NO_32BIT=1 says to behave as on a machine that cannot"
  elif nubix_i386_emulated; then
    NUBIX_RUNS_32BIT=0
    NUBIX_NO_32BIT_WHY="i386 programs run here only through an emulator registered with binfmt_misc"
  elif nubix_try_i386; then
    NUBIX_RUNS_32BIT=1
    NUBIX_NO_32BIT_WHY=
  else
    NUBIX_RUNS_32BIT=0
    NUBIX_NO_32BIT_WHY="this kernel does not run i386 programs (Exec format error)"
  fi
  export NUBIX_RUNS_32BIT NUBIX_NO_32BIT_WHY
  if [ "$NUBIX_RUNS_32BIT" = 1 ]; then
    echo "This machine runs 32-bit code: both builds, x86 and x64, run under Wine."
  else
    echo "This machine cannot run 32-bit code ($NUBIX_NO_32BIT_WHY): the x64 build runs under 64-bit Wine; the x86 build is built and checked without running it."
  fi
fi
