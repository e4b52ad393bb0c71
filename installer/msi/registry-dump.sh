#!/usr/bin/env bash
# Prints the class registrations of a Wine prefix's machine registry (system.reg) one fact a line, sorted,
# so that two states can be compared line by line:
#   K <TAB> view <TAB> key                        the key exists
#   V <TAB> view <TAB> key <TAB> name <TAB> value  a text value (name "@" is the key's unnamed value)
#   X <TAB> view <TAB> key <TAB> name <TAB> data   a value of any other type, as Wine saved it
# view is "native" (HKLM\Software\Classes: the 64-bit view of a 64-bit prefix, the only one of a 32-bit
# one) or "wow" (the 32-bit view of a 64-bit prefix); key is relative to it, with single backslashes, and
# every key above a saved one is listed as well. Only keys under the given roots (relative to the view, e.g.
# "CLSID\{...}") are printed; with none, every class key.
# Usage: registry-dump.sh SYSTEM.REG [ROOT...]
# The registry must be saved: call it after `wineserver -w`.
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: $0 SYSTEM.REG [ROOT...]" >&2; exit 2; }
file=$1
shift
[ -f "$file" ] || { echo "registry-dump: no registry file $file" >&2; exit 1; }
roots=$(printf '%s\n' "$@")
LC_ALL=C awk -v roots="$roots" '
  # Wine writes "\\" for a backslash and "\"" for a quote in key names and texts; any other escape
  # (a character outside ASCII, a control character) is kept as it is, and the caller refuses it.
  function unescape(s,   out, i, c, n) {
    out = ""
    n = length(s)
    for (i = 1; i <= n; i++) {
      c = substr(s, i, 1)
      if (c == "\\" && i < n && (substr(s, i + 1, 1) == "\\" || substr(s, i + 1, 1) == "\"")) {
        out = out substr(s, i + 1, 1)
        i++
      } else {
        out = out c
      }
    }
    return out
  }
  # The end of a quoted text that starts at position 2 of s: the first quote not escaped.
  function closing(s,   i, n, c) {
    n = length(s)
    for (i = 2; i <= n; i++) {
      c = substr(s, i, 1)
      if (c == "\\") { i++; continue }
      if (c == "\"") return i
    }
    return 0
  }
  function wanted(k,   i, n, r) {
    if (roots == "") return 1
    n = split(roots, r, "\n")
    for (i = 1; i <= n; i++) {
      if (r[i] == "") continue
      if (tolower(k) == tolower(r[i]) || index(tolower(k), tolower(r[i]) "\\") == 1) return 1
    }
    return 0
  }
  /^\[/ {
    key = ""
    end = index($0, "] ")
    if (end == 0) end = length($0)
    path = unescape(substr($0, 2, end - 2))
    # Wine 8 keeps the 32-bit view under Classes\Wow6432Node; Windows under Wow6432Node\Classes.
    if (index(tolower(path), "software\\classes\\wow6432node\\") == 1) {
      view = "wow"; key = substr(path, 30)
    } else if (index(tolower(path), "software\\wow6432node\\classes\\") == 1) {
      view = "wow"; key = substr(path, 30)
    } else if (index(tolower(path), "software\\classes\\") == 1) {
      view = "native"; key = substr(path, 18)
    }
    if (key != "" && !wanted(key)) key = ""
    if (key == "") next
    # Wine saves a key that holds only subkeys implicitly, through them: every key above is printed too.
    n = split(key, part, "\\")
    above = ""
    for (i = 1; i <= n; i++) {
      above = (i == 1) ? part[1] : above "\\" part[i]
      if (wanted(above)) print "K\t" view "\t" above
    }
    next
  }
  key == "" || /^#/ || /^$/ { next }
  {
    line = $0
    if (substr(line, 1, 2) == "@=") {
      name = "@"; rest = substr(line, 3)
    } else if (substr(line, 1, 1) == "\"") {
      e = closing(line)
      name = unescape(substr(line, 2, e - 2)); rest = substr(line, e + 2)
    } else {
      # The continuation of a long binary value: part of the "X" line before it.
      print "X\t" view "\t" key "\t(continued)\t" line
      next
    }
    if (substr(rest, 1, 1) == "\"" && closing(rest) == length(rest)) {
      print "V\t" view "\t" key "\t" name "\t" unescape(substr(rest, 2, length(rest) - 2))
    } else {
      print "X\t" view "\t" key "\t" name "\t" rest
    }
  }
' "$file" | LC_ALL=C sort -u
