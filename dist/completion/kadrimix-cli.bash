# bash completion for kadrimix-cli. The candidates come from the program's
# own command table ("kadrimix-cli __complete WORD...", see its manual
# page); file names are filled in here, filtered by the kind it names.
_kadrimix_cli() {
    # The words after the program, with what bash split off at '=' joined
    # again: "--mirror-vertical=r" rather than "--mirror-vertical" "=" "r".
    local words=() i w
    for ((i = 1; i <= COMP_CWORD; i++)); do
        w=${COMP_WORDS[i]}
        if ((${#words[@]} > 0)) && [[ $w == "=" || ${words[-1]} == *= ]]; then
            words[-1]+=$w
        else
            words+=("$w")
        fi
    done
    ((${#words[@]} > 0)) || words=("")
    local cur=${words[-1]}
    # What bash replaces is only the part after the '='.
    local prefix=${cur%"${COMP_WORDS[COMP_CWORD]}"}
    local line ext
    COMPREPLY=()
    while IFS= read -r line; do
        case $line in
        ::dirs)
            compopt -o filenames 2>/dev/null
            mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -d -- "$cur")
            ;;
        ::files)
            compopt -o filenames 2>/dev/null
            mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
            ;;
        "::files "*)
            compopt -o filenames 2>/dev/null
            mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -d -- "$cur")
            for ext in ${line#::files }; do
                mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -X "!*.$ext" -- "$cur")
            done
            ;;
        *) COMPREPLY+=("${line#"$prefix"}") ;;
        esac
    done < <("${COMP_WORDS[0]}" __complete "${words[@]}" 2>/dev/null)
}
complete -F _kadrimix_cli kadrimix-cli
