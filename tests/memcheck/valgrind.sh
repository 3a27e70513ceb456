#!/usr/bin/env bash
# The program MEMCHECK_PROGRAM under valgrind memcheck with the arguments
# given, its log in MEMCHECK_LOG: an end-to-end session runs this in its
# place. A definite or indirect leak, or a memory error that mannequin.supp
# does not explain, makes the exit status 97, which the session's check of
# a clean exit after closing the window reports.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exec valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --error-exitcode=97 --suppressions="$here/mannequin.supp" \
  --gen-suppressions=all --num-callers=40 --track-origins="${MEMCHECK_TRACK_ORIGINS:-no}" \
  --log-file="$MEMCHECK_LOG" "$MEMCHECK_PROGRAM" "$@"
