#!/usr/bin/env bash
# Runs a command (the tests of a ThreadSanitizer build) so that the first race fails it.
# ThreadSanitizer's shadow memory does not fit the widest address-space randomisation: it is turned
# off for the command (setarch -R, allowed to any user) where the system lets it be (a container
# may not). Usage: under_tsan.sh COMMAND [ARGS...]
set -euo pipefail
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
if setarch "$(uname -m)" -R true 2>/dev/null; then
  exec setarch "$(uname -m)" -R "$@"
fi
exec "$@"
