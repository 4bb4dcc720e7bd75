# Debian packages the project needs, and a helper that installs only the missing ones.
# Sourced by run.sh and test.sh.

KWS_BUILD_PACKAGES="g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libgif-dev libexiv2-dev"
KWS_RUNTIME_PACKAGES="qt6-qpa-plugins qt6-image-formats-plugins qt6-translations-l10n fonts-liberation2"
KWS_TEST_PACKAGES="libgtest-dev xvfb xauth xdotool imagemagick poppler-utils python3-pil clang libclang-rt-dev"

kws_install_missing() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
