# Shared by scripts/test and scripts/run: install missing packages, configure, build.
# Source it; it defines functions only.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

missing_packages() {
  local pkg
  grep -v '^\s*#' "$ROOT/scripts/packages.txt" | while read -r pkg; do
    [ -n "$pkg" ] || continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || printf '%s ' "$pkg"
  done
}

install_packages() {
  local missing
  missing=$(missing_packages)
  [ -n "$missing" ] || return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: $missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q && apt-get install -y -q --no-install-recommends $missing
  else
    echo "Missing packages. Run:"
    echo "  sudo apt-get install -y $missing"
    return 1
  fi
}

# configure DIR BUILD_TYPE [extra cmake args...]
configure() {
  local dir=$1 type=$2
  shift 2
  cmake -S "$ROOT" -B "$ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
}

# configure_and_build DIR BUILD_TYPE [extra cmake args...]
configure_and_build() {
  configure "$@" && cmake --build "$ROOT/$1" -- -j"$(nproc)"
}
