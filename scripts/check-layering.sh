#!/usr/bin/env bash
# Dependencies between the player's modules point one way:
#   shell -> sound -> storage -> graphics -> scenario -> platform
# A module includes headers of itself and of the modules below it, never above.
set -euo pipefail
src="$(cd "$(dirname "$0")/../src" && pwd)"
order=(platform scenario graphics storage sound shell)
status=0
for ((i = 0; i < ${#order[@]}; i++)); do
  module=${order[i]}
  [ -d "$src/$module" ] || continue
  for ((j = i + 1; j < ${#order[@]}; j++)); do
    above=${order[j]}
    if hits=$(grep -rn --include='*.h' --include='*.cpp' "#include \"$above/" "$src/$module"); then
      echo "$module must not include $above:" >&2
      echo "$hits" >&2
      status=1
    fi
  done
done
exit $status
