#!/usr/bin/env bash
# The card update done by standard tools, for bench/update/run.sh:
#
#   toolchain.sh MANIFEST_URL STAGING_FOLDER CARD_FOLDER
#
# curl fetches the manifest and each file into STAGING_FOLDER (laid out like
# the card), unzip unpacks the archives there, rm clears what the new files
# replace on the card, cp copies everything onto the card and sync flushes
# each copied file to it, so the card's data is as durable as after
# tidemart-update, which syncs every file it copies.
#
# Only the compact manifests of the simulated store are understood.
set -euo pipefail

url=$1
staging=$2
card=$3
fetch() { curl --silent --show-error --fail --noproxy '*' "$@"; }

rm -rf "$staging"
mkdir -p "$staging"
manifest=$(fetch "$url")

field() { sed -n "s/.*\"$1\":\"\\{0,1\\}\\([^\",]*\\).*/\\1/p" <<< "$2"; }

plain=() # card-relative paths of plain files
archives=() # card-relative destination folders of archives
suffixes=()
while IFS= read -r record; do
  [ -n "$record" ] || continue
  name=$(field name "$record")
  destination=$(field destination_path "$record")
  file_url=$(field url "$record")
  target=$destination
  [[ $destination == *"$name"* ]] || target=$destination/$name
  mkdir -p "$staging/$(dirname "$target")"
  fetch --output "$staging/$target" "$file_url"
  if [[ $name == *.zip && $target != "$destination" ]]; then
    unzip -q -o "$staging/$target" -d "$staging/$destination"
    rm -f "$staging/$target"
    archives+=("$destination")
  else
    plain+=("$target")
    suffixes+=("${name##*.}")
  fi
done < <(sed 's/^\[{//; s/}\]$//; s/},{/\n/g' <<< "$manifest")

# What the new files replace: the catalogue, old charts of the same kinds,
# and the archives' folders.
charts=$card/Velamari/Charts
rm -f "$card/chartcat.XML" "$charts"/*.xct "$charts"/*.XCT
rm -f "$card/contents.txt" "$card/EULA.pdf" "$card/warnings_acknowledgements.pdf"
for suffix in $(printf '%s\n' "${suffixes[@]}" | sort -u); do
  case $suffix in
    txt | pdf | xml | vl2 | psg | pp | bp2 | ap | uk | ugc | vl3) rm -f "$charts"/*."$suffix" ;;
  esac
done
for destination in "${archives[@]}"; do rm -rf "${card:?}/$destination"; done

mkdir -p "$charts"
copied=()
for target in "${plain[@]}"; do
  mkdir -p "$card/$(dirname "$target")"
  cp "$staging/$target" "$card/$target"
  copied+=("$card/$target")
done
for destination in "${archives[@]}"; do
  mkdir -p "$card/$destination"
  cp -R "$staging/$destination/." "$card/$destination/"
done
# sync with file arguments fsyncs each of them.
{
  printf '%s\0' "${copied[@]}"
  for destination in "${archives[@]}"; do find "$card/$destination" -type f -print0; done
} | xargs -0 -r sync --
