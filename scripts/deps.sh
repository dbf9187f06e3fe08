#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/deps.sh [gui] [test] [bench] [fuzz] [package]
set -euo pipefail
# The core reads and writes PNG sheets and JSON atlases, and checksums recovery
# files, in every build.
want=(cmake ninja-build g++ pkg-config libspng-dev nlohmann-json3-dev zlib1g-dev)
# The manual pages (help2man), the AppStream check and the Debian package (CPack
# runs file and dpkg-shlibdeps); the tests check the package too.
package=(help2man appstream dpkg-dev file desktop-file-utils)
for what in "$@"; do
  case "$what" in
    gui) want+=(qt6-base-dev libgl1-mesa-dev) ;;
    test) want+=(libgtest-dev libgmock-dev desktop-file-utils shared-mime-info "${package[@]}") ;;
    bench) want+=(libbenchmark-dev zlib1g-dev python3 gzip) ;;
    fuzz) want+=(clang libclang-rt-14-dev) ;;
    package) want+=("${package[@]}") ;;
  esac
done
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
