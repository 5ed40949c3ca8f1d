# fish completion for kadrimix-cli. The candidates come from the program's
# own command table ("kadrimix-cli __complete WORD...", see its manual
# page); file names are filled in here, filtered by the kind it names.
function __kadrimix_cli_complete
    set -l tokens (commandline -opc)
    set -l typed (commandline -ct)
    for line in ($tokens[1] __complete $tokens[2..-1] "$typed" 2>/dev/null)
        switch $line
            case '::dirs'
                __fish_complete_directories "$typed"
            case '::files'
                __fish_complete_path "$typed"
            case '::files *'
                set -l pattern (string join '|' (string split ' ' (string replace '::files ' '' $line)))
                __fish_complete_path "$typed" | string match -r -- "^[^\t]*(?:/|\.(?:$pattern))(?:\t.*)?\$"
            case '*'
                echo $line
        end
    end
end
complete -c kadrimix-cli -f -a '(__kadrimix_cli_complete)'
