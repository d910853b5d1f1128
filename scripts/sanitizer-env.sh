# Sourced by the scripts that run the sanitizer build: how its checks report.
# Leaks are checked at every exit; the third-party reports we cannot mend are
# listed with their reasons in scripts/lsan.supp and scripts/ubsan.supp.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=0:fast_unwind_on_malloc=0"
scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export LSAN_OPTIONS="suppressions=$scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="suppressions=$scripts/ubsan.supp:print_stacktrace=1:halt_on_error=1"
unset scripts
