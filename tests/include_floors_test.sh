#!/usr/bin/env bash
# Each folder includes only itself and the folders below it. Prints every include that reaches up
# or sideways, and fails if there is one.
set -euo pipefail
cd "$1"
# folder: the folders it may include besides itself
declare -A below=(
  [model]=""
  [decoder]="model"
  [tape]="model decoder"
  [capture]="model decoder"
  [recording]="model decoder"
  [ui]="model"
  [res]="model ui"
  [signal]="model decoder tape ui res"
  [options]="model decoder tape ui res"
  [app]="model decoder tape capture recording ui res signal options"
  [cli]="model decoder tape capture recording"
)
status=0
for folder in "${!below[@]}"; do
  [ -d "$folder" ] || continue
  allowed="$folder ${below[$folder]}"
  while IFS= read -r line; do
    target="${line#*#include \"}"
    target="${target%%/*}"
    case " $allowed " in
      *" $target "*) ;;
      *) echo "$line"; status=1 ;;
    esac
  done < <(grep -rn --include='*.h' --include='*.cpp' '^#include "[a-z]*/' "$folder" || true)
done
exit "$status"
