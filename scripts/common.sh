# Shared by the scripts: find the repository, install what is missing.
set -euo pipefail

TESSARY_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export TESSARY_ROOT

# Installs Debian packages that are missing, when running as root; otherwise
# says what is missing and goes on (the build will tell if it matters).
ensure_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
        echo "installing: ${missing[*]}"
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null 2>&1 || {
            DEBIAN_FRONTEND=noninteractive apt-get update >/dev/null
            DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
        }
    else
        echo "note: missing packages (run as root to install): ${missing[*]}" >&2
    fi
}

ensure_build_tools() {
    ensure_packages cmake ninja-build g++ libgtest-dev libbenchmark-dev pkg-config
}

jobs() { nproc 2>/dev/null || echo 2; }
