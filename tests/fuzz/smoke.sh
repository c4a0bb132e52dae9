#!/bin/sh
# smoke.sh SOURCE_DIR BUILD_DIR
# Builds the fuzz target with clang in BUILD_DIR and runs it over the seed
# corpus and a few thousand inputs derived from it. Exits 77 (skipped) when
# clang is not installed. An input that fails is kept in BUILD_DIR/artifacts.
set -eu
src=$1
build=$2
if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "clang is not installed: the fuzzing smoke run is skipped"
  exit 77
fi
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBASRT_FUZZ=ON >/dev/null
fi
cmake --build "$build" --target fuzz_image fuzz_corpus -- -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/artifacts"
# New inputs go to a scratch corpus, so that the seeds stay as they are.
status=0
"$build/fuzz_image" -seed=1 -runs=3000 -dict="$build/fuzz-seeds.dict" -timeout=25 -rss_limit_mb=3072 \
  -artifact_prefix="$build/artifacts/" "$work" "$build/fuzz-seeds" >"$work/log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  cat "$work/log"
else
  tail -n 3 "$work/log"
fi
exit "$status"
