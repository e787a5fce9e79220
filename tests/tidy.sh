#!/usr/bin/env bash
# clang-tidy over the sources of one build tree: tidy.sh BUILD_DIR FILE...
# For the mingw build, clang is pointed at the cross compiler's own C++ headers and target.
set -euo pipefail
build=$1
shift
args=()
compiler=$(sed -n 's/.*"command": "\([^ ]*\) .*/\1/p' "$build/compile_commands.json" | head -n 1)
if [[ $compiler == *mingw32* ]]; then
  args+=(--extra-arg=--target=x86_64-w64-mingw32)
  while read -r dir; do
    # GCC's own intrinsics headers are not for clang, which brings its own.
    [[ $dir == */gcc/*/include || $dir == */include-fixed ]] && continue
    args+=("--extra-arg=-isystem$dir")
  done < <("$compiler" -E -x c++ -v - </dev/null 2>&1 |
           sed -n '/#include <...> search starts here:/,/End of search list./p' | sed -n 's/^ //p')
fi
# One file a process, as many at once as there are cores.
printf '%s\0' "$@" | xargs -0 -n 1 -P "$(nproc)" clang-tidy --quiet -p "$build" "${args[@]}"
