# SPDX-License-Identifier: MIT
# Bash completion for cantext: the commands, each command's options, and file names.
_cantext() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  COMPREPLY=()
  if [[ $COMP_CWORD -eq 1 ]]; then
    COMPREPLY=($(compgen -W 'long compact convert decode stats explain --help --version' -- "$cur"))
    return
  fi
  local options prev=${COMP_WORDS[COMP_CWORD - 1]}
  case $prev in
    --from | --to)
      COMPREPLY=($(compgen -W 'log asc trc' -- "$cur"))
      return
      ;;
    --time)
      COMPREPLY=($(compgen -W 'absolute relative delta date' -- "$cur"))
      return
      ;;
    --id | --channel)
      return  # a list of the user's own
      ;;
  esac
  local filters='--id --channel --errors-only --no-errors'
  case ${COMP_WORDS[1]} in
    long)
      options="--binary --swap --no-ascii --no-align --explain --time --delta-per-id $filters"
      options="$options --keep-going --from --help"
      ;;
    compact) options="--dots $filters --keep-going --from --help" ;;
    convert)
      options="--to --from --output --timezone --channel-map $filters --keep-going --help"
      ;;
    decode) options="--dbc --no-choices --multi-line $filters --keep-going --from --help" ;;
    stats) options="--csv $filters --keep-going --from --help" ;;
    explain) options='--help' ;;
    *) return ;;
  esac
  # Anything else is a file name (or a frame), left to the default completion.
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  fi
}
complete -o bashdefault -o default -F _cantext cantext
