# Shared by run.sh and test.sh: install what is missing, configure, build.

ZINDRA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${ZINDRA_JOBS:-2}"

# Installs the Debian packages among "$@" that are not installed yet.
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    # tshark asks whether ordinary users may capture; they need not.
    echo "wireshark-common wireshark-common/install-setuid boolean false" | $sudo debconf-set-selections 2>/dev/null || true
    $sudo apt-get update -qq >/dev/null
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

base_packages() {
  ensure_packages cmake g++ make libgtest-dev libgmock-dev qt6-base-dev libgl-dev fonts-dejavu-core qt6-translations-l10n \
    python3 tshark
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  local dir="$1"
  shift
  cmake -S "$ZINDRA_ROOT" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}
