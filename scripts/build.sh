# Sourced: installs what is missing, then configures and builds with the `release` preset
# (build/). Usage: build_project [cmake --build arguments, e.g. --target SetUp]
build_project() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  "$root/scripts/deps.sh"
  (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release "$@")
}
