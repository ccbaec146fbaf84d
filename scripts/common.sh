# shellcheck shell=bash
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
        # Quiet while it works; on failure the package manager's own words are
        # what tells the user why.
        local log
        log="$(mktemp)"
        if ! DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
            # Stale package lists are the usual cause: refresh once and retry.
            if ! { DEBIAN_FRONTEND=noninteractive apt-get update &&
                   DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"; } >>"$log" 2>&1; then
                cat "$log" >&2
                rm -f "$log"
                echo "error: could not install: ${missing[*]}" >&2
                return 1
            fi
        fi
        rm -f "$log"
    else
        echo "note: missing packages (run as root to install): ${missing[*]}" >&2
    fi
}

ensure_build_tools() {
    ensure_packages cmake ninja-build g++ libgtest-dev libbenchmark-dev pkg-config
}

# The field libraries of the reference host: gemmi reads structures (with
# PEGTL and stb, header-only; zlib for gzip), cairo draws the pictures.
ensure_host_packages() {
    ensure_packages gemmi-dev tao-pegtl-dev libstb-dev zlib1g-dev libcairo2-dev
}

# Parallel build and test jobs (not named `jobs`, which is a shell builtin).
build_jobs() { nproc 2>/dev/null || echo 2; }

# CI sets TESSARY_WERROR=ON; a user's build keeps warnings as warnings.
werror_flag() { echo "-DTESSARY_WERROR=${TESSARY_WERROR:-OFF}"; }

# The Python module's build packages; the module is built when all are present.
PYTHON_PACKAGES=(pybind11-dev python3-dev python3-numpy python3-pytest)
python_flag() {
    local pkg
    for pkg in "${PYTHON_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || {
            echo "-DTESSARY_BUILD_PYTHON=OFF"
            return 0
        }
    done
    echo "-DTESSARY_BUILD_PYTHON=ON"
}
