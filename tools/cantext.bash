# SPDX-License-Identifier: MIT
# Bash completion for cantext: the commands, each command's options, and file names.
_cantext() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  COMPREPLY=()
  if [[ $COMP_CWORD -eq 1 ]]; then
    COMPREPLY=($(compgen -W 'long compact explain --help --version' -- "$cur"))
    return
  fi
  local options
  case ${COMP_WORDS[1]} in
    long) options='--binary --swap --no-ascii --no-align --explain --keep-going --help' ;;
    compact) options='--dots --keep-going --help' ;;
    explain) options='--help' ;;
    *) return ;;
  esac
  # Anything else is a file name (or a frame), left to the default completion.
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  fi
}
complete -o bashdefault -o default -F _cantext cantext
