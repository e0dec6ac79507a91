#!/usr/bin/env bash
# Render speed of `svgfilter render` side by side with two other SVG
# renderers: rsvg-convert (Debian's librsvg2-bin) and the resvg renderer's
# Node binding (npm @resvg/resvg-js, driven by bench/resvg-render.mjs and
# installed into bench/node_modules on first use).
#
#   bash bench/peers.sh [BUILD_DIR]        # default BUILD_DIR: build
#
# Environment:
#   CORPUS=DIR    the shared corpus (default: ../shared/corpus beside the repo)
#   FILES=N       use only the first N files of bench/peers-files.txt
#   RUNS=N        runs of each batch and each large file (default 3; the median counts)
#   ICONS=LIST    extra SVG files (one path a line, e.g. the npm icon corpus
#                 listed by shared/corpus/npm-corpus.sh) for the large icon file
#   CPU=1         report CPU time (user + system of the tool's processes)
#                 instead of wall time: steadier on a machine busy with other work
#
# Every tool paints each file into a 640 x 480 PNG. Measured, in one run so
# that the machine's load weighs on all tools alike:
#   per process  one process per file, the three tools taking turns file by
#                file; the per-file median of the wall times
#   batch        one process for all files (our CLI with several inputs and an
#                output folder; resvg in one node process looping the list);
#                rsvg-convert writes several inputs only to PDF/PS, so its
#                batch is its per-process loop; the wall time per file
#   large        (a) corpus files (and ICONS) concatenated as groups into one
#                file of several MB; (b) 100,000 simple shapes
# Ratios are peer time / our time: above 1 means we are faster.
# Timings are wall clock unless CPU is set, so run it on a quiet machine (and
# not under nice).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
build=${1:-build}
case $build in /*) ;; *) build=$repo/$build ;; esac
corpus=${CORPUS:-$repo/../shared/corpus}
runs=${RUNS:-3}
width=640
height=480

ours=$build/svgfilter
[ -x "$ours" ] || { echo "peers.sh: no $ours (build the svgfilter_cli target)" >&2; exit 2; }
command -v rsvg-convert >/dev/null || { echo "peers.sh: rsvg-convert missing (apt-get install librsvg2-bin)" >&2; exit 2; }
command -v node >/dev/null || { echo "peers.sh: node missing" >&2; exit 2; }
if [ ! -d "$here/node_modules/@resvg/resvg-js" ]; then
  echo "peers.sh: installing @resvg/resvg-js into bench/node_modules" >&2
  npm install --prefix "$here" --no-save --no-package-lock --no-audit --no-fund \
    --loglevel=error @resvg/resvg-js@2.6.2 >&2
fi
resvg() { node "$here/resvg-render.mjs" "$width" "$height" "$@"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
list=$work/files.txt
head -n "${FILES:-1000000}" "$here/peers-files.txt" | sed "s|^|$corpus/|" > "$list"
count=$(wc -l < "$list")
mkdir -p "$work/out"

# Wall time of a command in milliseconds (bash's own clock: no extra process),
# or with CPU set the user + system time of its processes (the shell's
# children times before and after, written by the builtin without a fork).
# A failing command still counts; its name is noted in $work/failed.
elapsed_ms() {
  if [ -n "${CPU:-}" ]; then
    times > "$work/times.0"
    "$@" > /dev/null 2>&1 || echo "${1##*/}" >> "$work/failed"
    times > "$work/times.1"
    awk 'function ms(t, p) { split(t, p, "m"); return (p[1] * 60 + p[2]) * 1000 }
         FNR == 2 { c[NR > 2] = ms($1) + ms($2) }
         END { printf "%.1f\n", c[1] - c[0] }' "$work/times.0" "$work/times.1"
    return
  fi
  local start=$EPOCHREALTIME
  "$@" > /dev/null 2>&1 || echo "${1##*/}" >> "$work/failed"
  local stop=$EPOCHREALTIME
  echo "$(( (${stop/./} - ${start/./}) / 1000 )).$(( (${stop/./} - ${start/./}) % 1000 / 100 ))"
}
median() { sort -g | awk '{v[NR]=$1} END {if (NR == 0) print "nan"; else if (NR % 2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
ratio() { awk -v p="$1" -v o="$2" 'BEGIN {if (o > 0) printf "%.2f", p / o; else print "-"}'; }

echo "peers.sh: $count files, ${width} x ${height}, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)" >&2

# --- one process per file ---
: > "$work/ours.ms"; : > "$work/rsvg.ms"; : > "$work/resvg.ms"
while IFS= read -r file; do
  elapsed_ms "$ours" render --width "$width" --height "$height" "$file" -o "$work/out/ours.png" >> "$work/ours.ms"
  elapsed_ms rsvg-convert -w "$width" -h "$height" "$file" -o "$work/out/rsvg.png" >> "$work/rsvg.ms"
  elapsed_ms resvg "$file" "$work/out/resvg.png" >> "$work/resvg.ms"
done < "$list"
proc_ours=$(median < "$work/ours.ms")
proc_rsvg=$(median < "$work/rsvg.ms")
proc_resvg=$(median < "$work/resvg.ms")

# --- one process for all files (wall time per file) ---
per_file() { awk -v t="$1" -v n="$count" 'BEGIN {printf "%.2f", t / n}'; }
rsvg_loop() {
  local failed=0
  while IFS= read -r file; do
    rsvg-convert -w "$width" -h "$height" "$file" -o "$work/out/rsvg.png" || failed=1
  done < "$list"
  return $failed
}
mapfile -t inputs < "$list"
: > "$work/b-ours"; : > "$work/b-rsvg"; : > "$work/b-resvg"
for ((r = 0; r < runs; ++r)); do
  rm -rf "$work/batch"; mkdir -p "$work/batch"
  elapsed_ms "$ours" render --width "$width" --height "$height" "${inputs[@]}" -o "$work/batch" >> "$work/b-ours"
  elapsed_ms rsvg_loop >> "$work/b-rsvg"
  elapsed_ms resvg --batch "$list" "$work/batch" >> "$work/b-resvg"
done
batch_ours=$(per_file "$(median < "$work/b-ours")")
batch_rsvg=$(per_file "$(median < "$work/b-rsvg")")
batch_resvg=$(per_file "$(median < "$work/b-resvg")")

# --- large files ---
# (a) The files' contents (root element turned into a group, moved to a
# grid cell) repeated until the file holds at least 4 MB.
make_icons() {
  local out=$1
  cat "$list" ${ICONS:+"$ICONS"} | while IFS= read -r f; do
    grep -q -e '<!DOCTYPE' -e '<image' "$f" || echo "$f"  # no DTDs, no linked pictures
  done > "$work/icons.txt"
  awk -v target=$((4 * 1024 * 1024)) '
    # Prints one file as a group at (x, y); returns the bytes written.
    function group(text, x, y) {
      sub(/^[^<]*(<\?xml[^>]*>)?[[:space:]]*/, "", text)
      sub(/<svg[^>]*>/, "", text)              # the root start tag
      sub(/<\/svg>[[:space:]]*$/, "", text)     # and its end tag
      printf "<g transform=\"translate(%d %d)\">", x, y
      printf "%s", text                       # (mawk: no sprintf of long text)
      print "</g>"
      return length(text) + 40
    }
    FNR == 1 && NR > 1 { body[n++] = doc; doc = "" }
    { doc = doc $0 "\n" }
    END {
      body[n++] = doc
      # The files declare no other prefixes than these (on their roots).
      printf "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" xmlns:svg=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %d %d\">\n", 40 * 200, 40 * 200
      size = 0; i = 0
      while (size < target) {
        size += group(body[i % n], (i % 40) * 200, int(i / 40) % 40 * 200); ++i
      }
      print "</svg>"
    }' $(cat "$work/icons.txt") > "$out"
}
# (b) 100,000 rects and circles in a 400 x 250 grid, each its own colour.
make_shapes() {
  awk 'BEGIN {
    print "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 4000 2500\">"
    for (i = 0; i < 100000; ++i) {
      x = (i % 400) * 10; y = int(i / 400) * 10
      colour = sprintf("#%02x%02x%02x", (i * 37) % 256, (i * 91) % 256, (i * 13) % 256)
      if (i % 2) printf "<rect x=\"%d\" y=\"%d\" width=\"8\" height=\"8\" fill=\"%s\"/>\n", x, y, colour
      else printf "<circle cx=\"%d\" cy=\"%d\" r=\"4\" fill=\"%s\" stroke=\"#000\" stroke-width=\"0.5\"/>\n", x + 4, y + 4, colour
    }
    print "</svg>"
  }' > "$1"
}
make_icons "$work/icons.svg"
make_shapes "$work/shapes.svg"
large() {
  local file=$1 name=$2
  : > "$work/l-ours"; : > "$work/l-rsvg"; : > "$work/l-resvg"
  for ((r = 0; r < runs; ++r)); do
    elapsed_ms "$ours" render --width "$width" --height "$height" "$file" -o "$work/out/ours.png" >> "$work/l-ours"
    elapsed_ms rsvg-convert -w "$width" -h "$height" "$file" -o "$work/out/rsvg.png" >> "$work/l-rsvg"
    elapsed_ms resvg "$file" "$work/out/resvg.png" >> "$work/l-resvg"
  done
  local o r s
  o=$(median < "$work/l-ours"); r=$(median < "$work/l-rsvg"); s=$(median < "$work/l-resvg")
  printf "%-28s %10s %10s %10s %8s %8s\n" "$name" "$o" "$r" "$s" "$(ratio "$r" "$o")" "$(ratio "$s" "$o")"
}

printf "\n%-28s %10s %10s %10s %8s %8s\n" "ms ${CPU:+CPU }(median)" "ours" "rsvg" "resvg" "rsvg/us" "resvg/us"
printf "%-28s %10s %10s %10s %8s %8s\n" "per process, per file" "$proc_ours" "$proc_rsvg" "$proc_resvg" \
  "$(ratio "$proc_rsvg" "$proc_ours")" "$(ratio "$proc_resvg" "$proc_ours")"
printf "%-28s %10s %10s %10s %8s %8s\n" "batch, per file (rsvg: loop)" "$batch_ours" "$batch_rsvg" "$batch_resvg" \
  "$(ratio "$batch_rsvg" "$batch_ours")" "$(ratio "$batch_resvg" "$batch_ours")"
large "$work/icons.svg" "icons $(( $(stat -c %s "$work/icons.svg") / 1024 )) KiB"
large "$work/shapes.svg" "shapes 100,000"
if [ -s "$work/failed" ]; then
  echo "failed runs (timed all the same):"
  sort "$work/failed" | uniq -c
fi
