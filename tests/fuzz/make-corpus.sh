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
