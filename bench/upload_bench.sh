#!/bin/bash
# An upload session beside a shell pipeline, in one run over the same files: 100 real photographs
# of 4 to 15 megapixels sent to the local service in the service's full set of sizes (the full
# image within 1600 x 1600 and the seven thumbnails), by
#   plb    plb upload --no-background with its default workers (preparation on every core while
#          the uploads wait on the network)
#   peer   vipsthumbnail making the same eight sizes of each photo and curl posting them one by one
# Wall-clock, one round each after a warm-up read of the files; prints the ratio.
#   bench/upload_bench.sh [BUILD_DIR]
set -eu
here=$(dirname "$0")
build=${1:-build}
plb="$build/bin/plb"
service="$build/bin/plumora-local-service"
for p in "$plb" "$service"; do [ -x "$p" ] || { echo "build $p first" >&2; exit 1; }; done
"$here/decode_setup.sh"
for tool in vipsthumbnail curl djpeg; do
  command -v $tool >/dev/null || { echo "$tool missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/upload_bench.XXXXXX")
service_pid=
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/photos" "$work/vips" "$work/home"

find /usr/share/wallpapers /usr/share/backgrounds -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) 2>/dev/null |
  sort | while read -r f; do
    size=$(djpeg -scale 1/8 "$f" 2>/dev/null | head -c 64 | sed -n 2p)
    w=${size% *}; h=${size#* }
    if [ -n "$w" ]; then
      px=$((w * h * 64))
      if [ "$px" -ge 4000000 ] && [ "$px" -le 15500000 ]; then echo "$f"; fi
    fi
  done >"$work/sources"
[ -s "$work/sources" ] || { echo "no photographs of 4 to 15 megapixels" >&2; exit 1; }
n=0
while [ "$n" -lt 100 ]; do
  while read -r f && [ "$n" -lt 100 ]; do
    cp "$f" "$work/photos/photo$(printf %04d $n).jpg"
    n=$((n + 1))
  done <"$work/sources"
done
cat "$work/photos"/* >/dev/null

"$service" --port 0 --data "$work/service" >"$work/service.out" 2>&1 &
service_pid=$!
for _ in $(seq 100); do [ -s "$work/service.out" ] && break; sleep 0.05; done
base=$(head -1 "$work/service.out")

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }

plb_run() {
  rm -rf "$work/home"/* "$work/home"/.[!.]* 2>/dev/null || true
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
    XDG_CACHE_HOME="$work/home/.cache" "$plb" upload --no-background --json --base "$base" "$work/photos"/*.jpg \
    >"$work/plb.json"
}

# The peer: the book is opened with the same start request, then per photo eight sizes made by
# vipsthumbnail and eight posts by curl, as a script without the program would do it.
field() { printf -- '-F %s=%s ' "$1" "$2"; }
peer_run() {
  local answer book uuid index=0
  answer=$(curl -s -F version=1.0.0.0 -F sessionid=bench -F plbid_machineid=M -F plbid_machineuserid=MU \
    -F plumoraid= -F backtest=true -F photonum=100 -A "Plumora Browser" "${base}api/startUpload.php")
  book=$(echo "$answer" | sed -n 's/.*plumoraid="\([^"]*\)".*/\1/p')
  for f in "$work/photos"/*.jpg; do
    uuid=
    for spec in 1:120 2:160 3:240 4:320 5:480 6:640 7:1024 0:1600; do
      id=${spec%%:*}; side=${spec#*:}
      out="$work/vips/p${index}_$id.jpg"
      vipsthumbnail -s "${side}x${side}" -o "$out[Q=90]" "$f"
      extra=()
      [ "$id" != 0 ] && extra=(-F thumbid=$id -F orgwidth=1600 -F orgheight=1600)
      answer=$(curl -s -A "Plumora Browser" -F version=1.0.0.0 -F sessionid=bench -F plbid_machineid=M \
        -F plbid_machineuserid=MU -F plumoraid="$book" -F editmode=contents -F photoindex=$index \
        -F resuuid="$uuid" -F comment= "${extra[@]}" -F orgfilename="$f" -F "data=@$out;type=image/jpeg" \
        "${base}api/upload.php")
      uuid=$(echo "$answer" | sed -n 's/.*resuuid="\([^"]*\)".*/\1/p')
    done
    index=$((index + 1))
  done
}

t0=$(date +%s%N); peer_run; peer_ms=$(ms "$t0")
t0=$(date +%s%N); plb_run; plb_ms=$(ms "$t0")
uploaded=$(grep '"book"' "$work/plb.json" | sed -n 's/.*"uploaded":\([0-9]*\).*/\1/p')
[ "$uploaded" = 100 ] || { echo "plb upload delivered ${uploaded:-0} of 100" >&2; exit 1; }
echo "upload of 100 photos, 8 sizes each: plb ${plb_ms} ms, vipsthumbnail+curl ${peer_ms} ms"
awk -v a="$peer_ms" -v b="$plb_ms" 'BEGIN { printf "ratio (peer / plb): %.2fx\n", a / b }'
