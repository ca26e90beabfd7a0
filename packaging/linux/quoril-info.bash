# SPDX-License-Identifier: MIT
# Bash completion for quoril-info: its options, its subcommands and, where one takes a file, the
# file names. The subcommands are read from the program's own --help, so they are always the
# ones the installed program has.

_quoril_info() {
  local current=${COMP_WORDS[COMP_CWORD]}
  local previous=
  [ "$COMP_CWORD" -gt 0 ] && previous=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  case $previous in
    --library | decode-config)
      mapfile -t COMPREPLY < <(compgen -f -- "$current")
      return 0
      ;;
  esac
  # Once a subcommand is given, only its operands follow.
  local word i
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case $word in
      -*) ;;
      *) [ "${COMP_WORDS[i - 1]}" = --library ] || return 0 ;;
    esac
  done
  if [[ $current == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '--library --json --version --help' -- "$current")
    return 0
  fi
  # The usage lines name each subcommand right after "quoril-info [--library PATH]".
  local subcommands
  subcommands=$("${COMP_WORDS[0]}" --help 2>/dev/null |
    sed -n 's/^.*quoril-info \[--library PATH\] \([a-z][a-z-]*\).*$/\1/p')
  mapfile -t COMPREPLY < <(compgen -W "$subcommands" -- "$current")
}
complete -F _quoril_info quoril-info
