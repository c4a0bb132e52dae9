#!/bin/sh
# make-corpus.sh ASSEMBLER SOURCE_DIR OUT_DIR
# Assembles every program of the source tree into a bare image (no trailer)
# in OUT_DIR, and adds the regression images: the fuzz target's seeds.
# Programs that are meant not to assemble are left out.
set -u
asm=$1
src=$2
out=$3
mkdir -p "$out"
find "$src/tests/programs" "$src/examples" "$src/bench" -name '*.basm' 2>/dev/null | sort | while read -r f; do
  rel=${f#"$src"/}
  name=$(printf '%s' "$rel" | tr '/' '_')
  "$asm" asm "$f" --bare -o "$out/${name%.basm}.bin" >/dev/null 2>&1 || rm -f "$out/${name%.basm}.bin"
done
if [ -d "$src/tests/regressions" ]; then
  for f in "$src"/tests/regressions/*.bin; do
    [ -f "$f" ] && cp "$f" "$out/regression_$(basename "$f")"
  done
fi
echo "fuzz seeds: $(ls "$out" | wc -l) images in $out"

# The dictionary: the two-byte heads of every grouped statement (0, sub-code)
# and every built-in (6, sub-code), a literal's head for each type, and the
# object types with the property-read code before them.
table="$src/src/interp/opcode_table.h"
dict="$out.dict"
codes() { sed -n "/define $1/,/^\$/p" "$table" | sed -n 's/^ *X(\([0-9]*\), .*/\1/p'; }
{
  for c in $(codes BASRT_GROUP_STATEMENTS); do printf '"\\x00\\x%02x"\n' "$c"; done
  for c in $(codes BASRT_BUILTINS); do printf '"\\x06\\x%02x"\n' "$c"; done
  for t in 0 1 2 3 4 5 6 7; do printf '"\\x02\\x%02x"\n' "$t"; done
  t=30
  while [ "$t" -le 72 ]; do printf '"\\x08\\x%02x\\x00\\x00"\n' "$t"; t=$((t + 1)); done
  printf '"\\x0b"\n"\\x1e\\x04\\x00\\x00\\x00"\n'
} >"$dict"
echo "fuzz dictionary: $(wc -l <"$dict") entries in $dict"
