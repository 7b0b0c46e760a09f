# Sourced by a leg. skip_part LEG REASON says in one line why this machine
# cannot run a part of the leg, and has tests/run-all list it again at the end
# of the run; the rest of the leg goes on.
skip_part() {
  local leg=$1
  shift
  echo "== skipped: $leg: $*"
  if [[ -n ${ZEP_SKIPPED_LEGS:-} ]]; then echo "$leg: $*" >>"$ZEP_SKIPPED_LEGS"; fi
}

# skip_leg LEG REASON: the same for the whole leg, which it ends with status
# 77: tests/run-all counts that as skipped rather than failed.
skip_leg() {
  skip_part "$@"
  exit 77
}

# Whether the kernel runs 32-bit x86 programs, found by running one: 93 bytes
# of ELF that only exit. Prints the shell's reason when it does not.
runs_32bit_programs() {
  local program
  program=$(mktemp "${TMPDIR:-/tmp}/zep-elf32.XXXXXX")
  printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0\xb8\x01\0\0\0\x31\xdb\xcd\x80' >"$program"
  chmod +x "$program"
  local reason status=0
  reason=$("$program" 2>&1) || status=$?
  rm -f "$program"
  ((status == 0)) && return 0
  echo "${reason##*: }"
  return 1
}
