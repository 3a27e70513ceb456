#!/usr/bin/env bash
# --pose without a display: a capture's frame fitted and printed as pose
# text, the README's loop over a folder of captures, a rig's BVH read back,
# and refusals as one line with status 1 (their words are the readers' and
# the command line's tests'), --png's too.
# Usage: pose_command_test.sh MANNEQUIN CAPTURE-FOLDER
set -uo pipefail
bin=$1
captures=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
unset DISPLAY

out=$("$bin" --pose "$captures/cmu-01-03-cut.bvh" --frame 8 2>"$work/err") || fail "--pose of a capture: status $?"
[[ $(head -1 <<<"$out") == "mannequin pose 1" && ! -s $work/err ]] || fail "--pose of a capture printed $(head -2 <<<"$out")"
[[ $(grep -c '^h_' <<<"$out") == 20 ]] || fail "--pose printed $(grep -c '^h_' <<<"$out") segments"

# The README's loop: a folder of captures becomes pose files, which read back as they are.
cp "$captures"/*.bvh "$work/"
for capture in "$work"/*.bvh; do "$bin" --pose "$capture" >"${capture%.bvh}.pose" || fail "the loop: $capture"; done
for pose in "$work"/*.pose; do
  "$bin" --pose "$pose" | cmp -s - "$pose" || fail "$pose does not read back as it was written"
done

# A rig's BVH, opened, is a capture too.
"$bin" --bvh --rig mixamo "$work/boxing-toes-cut.pose" >"$work/rig.bvh" || fail "--bvh --rig mixamo"
grep -q '^ROOT mixamorig:Hips' "$work/rig.bvh" || fail "the rig's root is not mixamorig:Hips"
"$bin" --pose "$work/rig.bvh" >/dev/null || fail "--pose of a rig's BVH"

refused() {
  local status=0
  "$bin" "$@" >"$work/out" 2>"$work/err" || status=$?
  ((status == 1)) && [[ ! -s $work/out && $(wc -l <"$work/err") == 1 ]] || fail "$*: status $status, $(cat "$work/err")"
}
sed 's/JOINT LeftUpLeg/JOINT LeftThighBone/' "$captures/cmu-01-01-cut.bvh" >"$work/thighless.bvh"
refused --pose "$work/thighless.bvh"
refused --pose "$captures/cmu-01-01-cut.bvh" --frame 9
refused --pose "$work/missing.pose"
refused --pose
# A pose applied over another: the left leg of one over a capture, halfway.
"$bin" --pose "$work/boxing-toes-cut.pose" --apply "$work/cmu-01-01-cut.pose" --part left-leg --amount 0.5 \
  >"$work/applied.pose" || fail "--apply"
diff <(grep -v '^h_thigh_left\|^h_shin_left\|^h_foot_left' "$work/applied.pose") \
  <(grep -v '^h_thigh_left\|^h_shin_left\|^h_foot_left' "$work/boxing-toes-cut.pose") >/dev/null ||
  fail "--apply --part left-leg changed more than the left leg"
cmp -s "$work/applied.pose" "$work/boxing-toes-cut.pose" && fail "--apply --part left-leg changed nothing"
refused --pose "$work/boxing-toes-cut.pose" --apply "$work/missing.pose"
# Standard output on a full disk is a refusal too, said in its line.
for action in --pose --bvh --help --version; do
  status=0
  "$bin" $action "$work/boxing-toes-cut.pose" >/dev/full 2>"$work/err" || status=$?
  ((status == 1)) && [[ $(<"$work/err") == *"No space left on device" ]] || fail "$action onto a full disk: $status"
done
# --png refuses before it draws, so without a display too, and writes
# nothing: onto no regular file, a pose's or a BVH file's name (in any case),
# the file drawn, or from a picture without a pose.
cd "$work" || fail "cannot enter $work"
digest() { if [[ -f $1 ]]; then md5sum <"$1"; else echo none; fi; }
png_refused() {
  local before
  before=$(digest "$1")
  refused --png "$@"
  [[ $(digest "$1") == "$before" && ! -e fifo.png && $(<err) != *"needs a display"* ]] || fail "--png $*: $(<err)"
}
mkfifo fifo
/usr/bin/convert -size 4x4 xc:red plain.png
png_refused fifo boxing-toes-cut.pose
png_refused another.BVH boxing-toes-cut.pose
png_refused boxing-toes-cut.pose boxing-toes-cut.pose
png_refused plain.png plain.png
png_refused new.png plain.png
[[ $(<err) == "mannequin: open: plain.png: the picture holds no pose" ]] || fail "--png of plain.png: $(<err)"
echo "pose_command_test: passed"
