#!/usr/bin/env bash
# Fails on an include that runs against the layers of src/. Each folder is one library and may
# include only its own folder and the ones below it, lowest first:
#   base, audiofile, platform, devices, recording, ui, export, app
# Besides: only ui/ and qt/ folders include Qt code (ui/ or a qt/ folder); the platform
# backends (sim, alsa, pipewire, linux, udev) are reached through the platform interfaces, so
# only app/ (which picks them) and linux/ (which puts alsa/, pipewire/ and udev/ together)
# include them; a backend or the interfaces never include another backend otherwise.
set -uo pipefail
cd "$(dirname "$0")/.."

declare -A rank=([base]=0 [audiofile]=1 [platform]=2 [devices]=3 [recording]=4 [ui]=5 [export]=6
                 [app]=7)

bad=0
report() {
    echo "$1:$2: $3"
    bad=1
}

# One line per include: file:line:#include "target"
while IFS=: read -r file line include; do
    rel=${file#src/}
    layer=${rel%%/*}
    [ -n "${rank[$layer]+x}" ] || continue
    rest=${rel#"$layer"/}
    sub=""
    [[ "$rest" = */* ]] && sub=${rest%%/*}
    target=${include#*\"}
    target=${target%\"*}
    to_layer=${target%%/*}
    [ -n "${rank[$to_layer]+x}" ] || continue
    if [ "${rank[$to_layer]}" -gt "${rank[$layer]}" ]; then
        report "$file" "$line" "$layer/ includes $target from a layer above it"
    fi
    if [[ "$layer" != ui && "$rel" != */qt/* ]] && [[ "$to_layer" = ui || "$target" = */qt/* ]]; then
        report "$file" "$line" "engine code includes the Qt part $target"
    fi
    if [[ "$target" =~ ^platform/(sim|alsa|pipewire|linux|udev)/ ]]; then
        backend=${BASH_REMATCH[1]}
        if ! [[ "$layer" = app || ("$layer" = platform && ("$sub" = "$backend" ||
            ("$sub" = linux && ("$backend" = alsa || "$backend" = pipewire ||
            "$backend" = udev)))) ]]; then
            report "$file" "$line" "the $backend backend is reached only through the platform interfaces"
        fi
    fi
done < <(git ls-files -z 'src/*.cpp' 'src/*.h' | xargs -0 grep -Hn '^[[:space:]]*#[[:space:]]*include[[:space:]]*"')

if [ "$bad" != 0 ]; then
    echo "Layer check failed: move the shared part down, or the including code up."
    exit 1
fi
echo "Layer check passed: every include runs down the layers."
