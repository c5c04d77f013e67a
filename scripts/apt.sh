# Package installation that survives a registry whose indexes are partly out of step (a mirror
# sync in progress, one architecture's index lagging another's). Sourced by the scripts that
# install what they need:
#
#   apt_install [--no-recommends] PKG...     installs those of the packages that are missing
#   apt_install_foreign ARCH PKG:ARCH...     the same for a foreign architecture, added to dpkg
#                                            only for the attempt
#
#   apt_source_stanzas [ETC]                 the machine's binary sources as source indexes: each
#   apt_source_lines [ETC]                   deb822 stanza of type deb, and each one-line "deb"
#                                            entry (ETC: /etc/apt unless given)
#
# Both installers return 1 when a package cannot be installed, after naming it with apt's reason; the
# caller decides whether that ends its run. apt is never left failing: an index that cannot be
# loaded is retried, then left as it is when the packages needed can be installed from what is
# there, and a foreign architecture whose packages did not install is removed again.

apt_as_root() {
  if [[ $(id -u) -ne 0 ]]; then sudo "$@"; else "$@"; fi
}

apt_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# apt-get update, up to three tries. An index that still fails is reported, not fatal: apt keeps
# the lists it has, and the install that follows tells whether they are enough.
apt_refresh() {
  local try log
  for try in 1 2 3; do
    if log=$(apt_as_root apt-get update -q 2>&1); then
      return 0
    fi
    ((try < 3)) && sleep $((try * 5))
  done
  echo "note: apt-get update fails after 3 tries; going on with the package lists there are:" >&2
  grep -E '^(E|W): ' <<<"$log" | sed -E 's/^/  /' >&2 || true
  return 1
}

# apt's reason why one package cannot be installed, on one line: its error and the first two
# unmet dependencies.
apt_reason() {
  local out unmet more
  out=$(apt-get install -s -q --no-install-recommends "$1" 2>&1 || true)
  unmet=$(grep -E '^ +([^ ].* : )?(Depends|PreDepends|Breaks|Conflicts): ' <<<"$out" | sed -E 's/^ +//; s/ +/ /g' || true)
  more=$(grep -c . <<<"$unmet" || true)
  more=$((more - 2))
  {
    grep -E '^E: ' <<<"$out" | sed -E 's/^E: //'
    head -n 2 <<<"$unmet"
    if ((more > 0)); then echo "and $more more unmet"; fi
  } | grep . | paste -sd ';' | sed -E 's/;/; /g' || true
}

apt_refreshed=false
apt_install() {
  local recommends=()
  if [[ ${1:-} == --no-recommends ]]; then
    recommends=(--no-install-recommends)
    shift
  fi
  local missing=() p
  for p in "$@"; do
    apt_installed "$p" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "Installing: ${missing[*]}"
  if ! $apt_refreshed; then
    apt_refresh || true
    apt_refreshed=true
  fi
  local log
  if log=$(DEBIAN_FRONTEND=noninteractive apt_as_root apt-get install -y -q "${recommends[@]}" "${missing[@]}" 2>&1); then
    return 0
  fi
  local named=false
  for p in "${missing[@]}"; do
    apt_installed "$p" && continue
    echo "cannot install $p: $(apt_reason "$p")" >&2
    named=true
  done
  # Every package resolved, yet the install failed (a download or dpkg): apt's own last words.
  $named || grep -E '^E: ' <<<"$log" | sed -E 's/^/  /' >&2
  return 1
}

# Whether dpkg has any package of the architecture installed, or half-installed.
apt_arch_in_use() {
  dpkg-query -W -f='${Architecture} ${db:Status-Abbrev}\n' 2>/dev/null | grep -qE "^$1 [a-z][^n]"
}

apt_install_foreign() {
  local arch=$1 p missing=()
  shift
  for p in "$@"; do
    apt_installed "$p" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
    apt_as_root dpkg --add-architecture "$arch"
  fi
  apt_refresh || true
  apt_refreshed=true
  if apt_install --no-recommends "${missing[@]}"; then
    return 0
  fi
  # Nothing of the architecture is installed: take it away again, with its indexes, so that a
  # lagging index of it cannot fail the machine's next apt-get update.
  if ! apt_arch_in_use "$arch"; then
    apt_as_root dpkg --remove-architecture "$arch"
    apt_refresh >/dev/null 2>&1 || true
  fi
  return 1
}

# With every binary source as a source index, the version of a package is found whichever suite
# holds it (the release, its updates or its security archive). Comments are left out.
apt_source_stanzas() {
  local f
  for f in "${1:-/etc/apt}"/sources.list.d/*.sources; do
    [[ -f $f ]] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        out = ""; keep = 0
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^#/) continue
          if (line ~ /^Types:/) {
            if ((" " substr(line, 7) " ") ~ /[ \t]deb[ \t]/) keep = 1
            line = "Types: deb-src"
          }
          out = out line "\n"
        }
        if (keep) printf "%s\n", out
      }' "$f"
  done
}
apt_source_lines() {
  local f
  for f in "${1:-/etc/apt}"/sources.list "${1:-/etc/apt}"/sources.list.d/*.list; do
    [[ -f $f ]] && sed -n 's/^[[:space:]]*deb[[:space:]]\{1,\}/deb-src /p' "$f"
  done
  return 0
}
