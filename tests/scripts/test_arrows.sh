#!/usr/bin/env bash
# The floors below the desktop include nothing of it: no header of the
# desktop's folders and no Qt header. (That they build and link without Qt
# at all is checked by ./test's build of them alone.)
set -euo pipefail
cd "$(dirname "$0")/../.."
lower=(platform sensor iio atmosphere archive publish config station service)
desktop='(main|chart|settings|windows|components|assets)/'
status=0
for dir in "${lower[@]}"; do
  [ -d "$dir" ] || continue
  if grep -nE "^#include [<\"](Q[A-Za-z]*[>/.]|${desktop})" "$dir"/*.h "$dir"/*.cpp 2>/dev/null; then
    echo "$dir includes a header of the desktop or of Qt"
    status=1
  fi
done
exit $status
