#!/usr/bin/env bash
# Fails when a folder includes a folder it must not: each folder includes only
# itself and the folders below it (README, "Layout"). The allowed edges are
# written out below, one line per folder; tests/ and bench/ may include anything.
# The Access engine (platform/jet/) is entered through its public face only,
# and its inner layers follow one order (below).
# Usage: bash scripts/check_includes.sh [SOURCE-ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

# folder: the folders it may include besides itself. A file belongs to the
# longest folder of this table that holds it.
rules=(
  "app:                      preview widgets report engine db platform/ado platform/ui platform/util"
  "preview:                  widgets report engine db platform/ado platform/ui platform/util"
  "widgets:                  db report platform/ado platform/ui platform/util"
  "tools:                    engine db report platform/ado platform/jet platform/ui platform/util"
  "engine:                   db report platform/ado platform/ui platform/util"
  "db:                       report platform/ado platform/ui platform/util"
  "report:                   platform/ado platform/ui platform/util"
  "platform/access_provider: platform/ado platform/jet platform/util"
  "platform/odbc:            platform/ado platform/util"
  "platform/ado:             platform/util"
  "platform/jet:             platform/util"
  "platform/ui:              "
  "platform/util:            "
)


declare -A allowed
folders=()
for rule in "${rules[@]}"; do
  folder=${rule%%:*}
  folders+=("$folder")
  allowed[$folder]=" $folder ${rule#*:} "
done

# The folder of the table that holds `path` (longest match), or nothing.
folder_of() {
  local path=$1 best="" f
  for f in "${folders[@]}"; do
    if [[ $path == "$f"/* && ${#f} -gt ${#best} ]]; then best=$f; fi
  done
  printf '%s' "$best"
}


status=0
include_re='include[[:space:]]*["<]([^">]+)[">]'
cd "$root"
while IFS= read -r line; do
  file=${line%%:*}
  [[ ${line#*:} =~ $include_re ]] || continue
  included=${BASH_REMATCH[1]}
  # A path that climbs (..) could reach any folder: the layout cannot be checked.
  if [[ $included == *..* ]]; then
    echo "$file includes $included: include paths name their folder from the root, without .. (scripts/check_includes.sh)" >&2
    status=1
    continue
  fi
  from=$(folder_of "$file")
  to=$(folder_of "$included")
  [[ -z $from || -z $to ]] && continue
  [[ ${allowed[$from]} == *" $to "* ]] && continue
  echo "$file includes $included: $from/ may not include $to/ (scripts/check_includes.sh)" >&2
  status=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*("|<(app|preview|widgets|tools|engine|db|report|platform)/)' \
           --include='*.h' --include='*.cpp' "${folders[@]/%/}" || true)

# The Access engine: outside platform/jet/ only its public face (public/) is
# included; inside, each layer includes itself, the layers before it in
# `jet_layers` and public/; public/ includes only public/; the engine's top
# (platform/jet/*.cpp, *.h: the database and the executor) includes any layer.
jet_layers=(format crypto file table create sql)
jet_rank() {  # the layer of a path inside platform/jet/: its index, "top", or "public"
  local rest=${1#platform/jet/} i
  [[ $rest != */* ]] && { echo top; return; }
  [[ ${rest%%/*} == public ]] && { echo public; return; }
  for i in "${!jet_layers[@]}"; do
    [[ ${rest%%/*} == "${jet_layers[$i]}" ]] && { echo "$i"; return; }
  done
  echo unknown
}
while IFS= read -r line; do
  file=${line%%:*}
  [[ ${line#*:} =~ $include_re ]] || continue
  included=${BASH_REMATCH[1]}
  # The public face stands alone: it includes only itself.
  if [[ $file == platform/jet/public/* && $included != platform/jet/public/* ]]; then
    echo "$file includes $included: public/ includes only public/ (scripts/check_includes.sh)" >&2
    status=1
    continue
  fi
  [[ $included == platform/jet/* ]] || continue
  to=$(jet_rank "$included")
  if [[ $file != platform/jet/* ]]; then
    [[ $to == public ]] && continue
    echo "$file includes $included: outside the engine only platform/jet/public/ may be included (scripts/check_includes.sh)" >&2
    status=1
    continue
  fi
  from=$(jet_rank "$file")
  if [[ $to == unknown || $from == unknown ]]; then
    echo "$file includes $included: a folder of platform/jet/ that scripts/check_includes.sh does not know" >&2
    status=1
  elif [[ $from == public ]]; then
    [[ $to == public ]] && continue
    echo "$file includes $included: public/ includes only public/ (scripts/check_includes.sh)" >&2
    status=1
  elif [[ $to == public || $from == top ]]; then
    continue
  elif [[ $to == top || $to -gt $from ]]; then
    echo "$file includes $included: ${jet_layers[$from]}/ comes before ${included#platform/jet/} in ${jet_layers[*]} (scripts/check_includes.sh)" >&2
    status=1
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]platform/' --include='*.h' --include='*.cpp' \
           "${folders[@]/%/}" || true)

if [[ $status == 0 ]]; then echo "Includes follow the layout."; fi
exit $status
