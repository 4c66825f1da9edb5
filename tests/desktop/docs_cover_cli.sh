#!/bin/sh
# Every subcommand and option the tidemark command lists in its help is in
# its manual page and in both completions, so that neither falls behind
# the command.
#   docs_cover_cli.sh TIDEMARK MAN_PAGE BASH_COMPLETION ZSH_COMPLETION
set -u
tidemark=$1 man_page=$2 bash_completion=$3 zsh_completion=$4
status=0
# The manual page as text, hyphens as they are typed.
text=$(MANWIDTH=250 LC_ALL=C.UTF-8 man -l "$man_page" 2>/dev/null | col -b | sed 's/‐/-/g')

missing() {  # missing WHERE NAME
  echo "$2 is missing from $1"
  status=1
}
covers_text() {  # covers_text NAME: the page names it as a whole word
  printf '%s\n' "$text" | grep -q -- "\(^\|[^-a-z]\)$1\([^-a-z]\|$\)"
}
covers_file() {  # covers_file FILE NAME
  grep -q -- "\(^\|[^-a-z]\)$2\([^-a-z]\|$\)" "$1"
}

commands=$("$tidemark" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || { echo "no subcommands in tidemark --help"; exit 1; }
for command in $commands; do
  covers_text "$command" || missing "the manual page" "subcommand $command"
  covers_file "$bash_completion" "$command" || missing "the bash completion" "subcommand $command"
  covers_file "$zsh_completion" "$command" || missing "the zsh completion" "subcommand $command"
  options=$("$tidemark" "$command" --help | grep -E '^  +-' | sed 's/^ *//; s/  .*//; s/ [A-Z|a-z].*//; s/,/ /g')
  for option in $options; do
    case $option in -*) ;; *) continue ;; esac
    covers_text "$option" || missing "the manual page" "$command $option"
    covers_file "$bash_completion" "$option" || missing "the bash completion" "$command $option"
    covers_file "$zsh_completion" "$option" || missing "the zsh completion" "$command $option"
  done
done
# The virtual recorder's own subcommands.
for sub in $("$tidemark" vrec --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && /^  [a-z]/ { print $1 }'); do
  printf '%s\n' "$text" | grep -q "vrec $sub" || missing "the manual page" "vrec $sub"
  covers_file "$bash_completion" "$sub" || missing "the bash completion" "vrec $sub"
  covers_file "$zsh_completion" "$sub" || missing "the zsh completion" "vrec $sub"
done
# The exit statuses and the environment the program reads.
for word in "EXIT STATUS" ENVIRONMENT TIDEMARK_ASPI_LIBRARY TIDEMARK_VREC_DIR; do
  printf '%s\n' "$text" | grep -q "$word" || missing "the manual page" "$word"
done
exit $status
