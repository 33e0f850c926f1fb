#!/usr/bin/env bash
# scripts/fuzz: --help prints the usage, and a ZQ_FUZZ_DIR inside the
# repository is refused before anything is made there.
set -u
repo="$(cd "$(dirname "$0")/../.." && pwd)"
fail() {
  echo "fuzz script test: $*" >&2
  exit 1
}

help="$("$repo/scripts/fuzz" --help)" || fail "--help failed"
case "$help" in
  *"scripts/fuzz"*MINUTES*) ;;
  *) fail "--help printed: $help" ;;
esac

made="$repo/build/fuzz-dir-test-$$"
if ZQ_FUZZ_DIR="$made/work" "$repo/scripts/fuzz" ini 1 2>/dev/null; then
  fail "a folder inside the repository was taken"
fi
if [ -e "$made" ]; then
  rm -rf "$made"
  fail "the refused folder was made"
fi
echo "fuzz script test: ok"
