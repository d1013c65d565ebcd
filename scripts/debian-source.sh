# Shared by the scripts that build Windows libraries from Debian's source
# packages (qt-mingw.sh, xlsxwriter-mingw.sh); sourced, not run.

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt-get source needs deb-src lines; they are made from the machine's own
# Debian entries. $1: a source package that must then be found.
ensure_deb_src() {
  if apt-get source --print-uris "$1" 2>/dev/null | grep -qF .dsc; then
    return 0
  fi
  log "adding deb-src entries for Debian's archive"
  local list=/etc/apt/sources.list.d/lanhe-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$list" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      as_root tee /etc/apt/sources.list.d/lanhe-deb-src.list >/dev/null
  fi
  as_root apt-get update -qq
}
