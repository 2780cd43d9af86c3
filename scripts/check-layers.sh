#!/usr/bin/env bash
# Fails when a file of the host includes a folder above its own, or names a
# host header without its folder. The layers, lowest first; a folder may include
# its own files and those of lower layers only.
set -euo pipefail
cd "$(dirname "$0")/../vesk"
layers=(platform core qftp web page window api app)
rank() {
  local i
  for i in "${!layers[@]}"; do
    [[ ${layers[$i]} == "$1" ]] && { echo "$i"; return; }
  done
  echo -1
}
host_headers=$(cd . && ls "${layers[@]}" 2>/dev/null | grep '\.h$' || true)
status=0
for folder in "${layers[@]}" .; do
  own=$([[ $folder == . ]] && echo ${#layers[@]} || rank "$folder")
  for file in "$folder"/*.cpp "$folder"/*.h; do
    [[ -e $file ]] || continue
    while IFS= read -r line; do
      inc=${line#*\"}
      inc=${inc%%\"*}
      if [[ $inc == */* ]]; then
        target=${inc%%/*}
        r=$(rank "$target")
        (( r < 0 )) && continue
        if [[ $target != "$folder" ]] && (( r >= own )); then
          echo "vesk/${file#./}: includes $inc, a layer that is not below ${folder}" >&2
          status=1
        fi
      elif grep -qx "$inc" <<<"$host_headers" && [[ $folder != qftp || ! -e qftp/$inc ]]; then
        echo "vesk/${file#./}: includes $inc without its folder" >&2
        status=1
      fi
    done < <(grep -E '^#include "' "$file" || true)
  done
done
(( status == 0 )) && echo "Layers: every include is in order"
exit $status
