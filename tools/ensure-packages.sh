#!/usr/bin/env bash
# Installs the Debian packages the build needs; sourced by ./run and ./test.
SONDREL_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libasound2-dev libudev-dev libflac-dev flac
                  libpipewire-0.3-dev pipewire pipewire-bin wireplumber
                  libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev clang-format sox
                  xvfb xauth xdotool openbox strace imagemagick desktop-file-utils fonts-dejavu-core
                  universal-ctags)

sondrel_ensure_packages() {
    local missing=()
    for pkg in "${SONDREL_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Sondrel needs these packages: ${missing[*]}" >&2
        echo "Run: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "Installing ${missing[*]} ..."
    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}
