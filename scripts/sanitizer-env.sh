# Sourced by the scripts that run sanitizer builds: stop at the first finding,
# report leaks except those listed (third-party only) in tests/sanitizer/lsan.supp.
_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$_root/tests/sanitizer/lsan.supp:print_suppressions=0"
unset _root
