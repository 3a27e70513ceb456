#!/usr/bin/env bash
# MEMCHECK_PROGRAM under valgrind, its log in MEMCHECK_LOG, in the program's
# place for a session: a leak or memory error that mannequin.supp does not
# explain makes the exit status 97, which the session reports.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exec valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --error-exitcode=97 --suppressions="$here/mannequin.supp" \
  --gen-suppressions=all --num-callers=40 --track-origins="${MEMCHECK_TRACK_ORIGINS:-no}" \
  --log-file="$MEMCHECK_LOG" "$MEMCHECK_PROGRAM" "$@"
