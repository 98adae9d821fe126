#!/usr/bin/env bash
# Builds one fuzz target with clang (libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs it for SECONDS seconds (default 60). Targets: unpack (stored definitions), form
# (loading a definition and expanding placeholders), cfg (reading and writing cfg.ini), play (the
# play script reader), html (the HTML reader of the web-page commands).
# Exits non-zero when the fuzzer finds a crash, a sanitizer report, a leak, a slow input or a
# failed check; the input that caused it is written to the build folder's artifacts/.
# Build folder: $VEMO_FUZZ_DIR, default build-fuzz at the top of the source tree. The corpus
# found so far is kept there and reused by the next run.
set -euo pipefail

# With --build-only the target is built (when stale) and not run: the build does that once, so a
# test run only fuzzes.
build_only=0
if [ "${1:-}" = "--build-only" ]; then
    build_only=1
    shift
fi
target="${1:-}"
seconds="${2:-60}"
case "$seconds" in
'' | *[!0-9]*)
    echo "usage: $0 [--build-only] unpack|form|cfg|play|html [SECONDS]" >&2
    exit 2
    ;;
esac

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(dirname "$here")"
out="${VEMO_FUZZ_DIR:-$root/build-fuzz}"
cxx="${CXX_FUZZ:-clang++}"
mkdir -p "$out/corpus" "$out/seeds" "$out/artifacts"

includes=()
case "$target" in
unpack)
    modules="Qt6Core"
    sources=("$here/fuzz_unpack.cpp" "$root/src/form/DefinitionCodec.cpp")
    ;;
form)
    modules="Qt6Core Qt6Gui Qt6Widgets pugixml"
    sources=("$here/fuzz_form.cpp" "$root/src/form/XmlDocument.cpp"
        "$root/src/platform/ValueGrammars.cpp" "$root/src/form/Placeholders.cpp"
        "$root/src/data/InsertedText.cpp" "$root/src/data/SqlTokenizer.cpp")
    ;;
cfg)
    modules="Qt6Core"
    sources=("$here/fuzz_cfg.cpp" "$root/src/data/CfgFile.cpp" "$root/src/platform/Gbk.cpp")
    ;;
play)
    modules="Qt6Core"
    sources=("$here/fuzz_play.cpp" "$root/tools/vemo-admin/PlayScript.cpp")
    includes=(-I"$root/tools/vemo-admin")
    ;;
html)
    modules="Qt6Core"
    sources=("$here/fuzz_html.cpp" "$root/src/net/HtmlReader.cpp" "$root/src/net/HtmlEntities.cpp")
    ;;
*)
    echo "usage: $0 [--build-only] unpack|form|cfg|play|html [SECONDS]" >&2
    exit 2
    ;;
esac
out="$out/$target"
mkdir -p "$out/corpus" "$out/seeds" "$out/artifacts"

read -r -a qt_cflags <<<"$(pkg-config --cflags $modules)"
read -r -a qt_libs <<<"$(pkg-config --libs $modules)"
# Qt is built for position-independent code and requires it of its users.
common=(-std=c++20 -O1 -g -fPIC -fno-omit-frame-pointer -Wall -Wextra -Wpedantic
    -I"$root/src" "${includes[@]}" "${qt_cflags[@]}")
# Built again only when a source, a header of src/ or this script is newer than the binary.
stale=1
if [ -x "$out/fuzz_$target" ] && [ -x "$out/make_seeds" ] &&
    [ -z "$(find "${sources[@]}" "$root/src" "$here/run.sh" -newer "$out/fuzz_$target" \
        \( -name '*.cpp' -o -name '*.h' -o -name 'run.sh' \) -print -quit)" ]; then
    stale=0
fi
if [ "$stale" -eq 1 ]; then
    "$cxx" "${common[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
        "${sources[@]}" "${qt_libs[@]}" -o "$out/fuzz_$target.new"
    "$cxx" "${common[@]}" -DVEMO_FUZZ_SEED_MAIN "${sources[@]}" "${qt_libs[@]}" -o "$out/make_seeds"
    "$out/make_seeds" "$out/seeds"
    mv "$out/fuzz_$target.new" "$out/fuzz_$target"
fi
[ "$build_only" -eq 1 ] && exit 0

# New inputs go to the first folder; the seeds are only read.
exec "$out/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$out/artifacts/" \
    "$out/corpus" "$out/seeds"
