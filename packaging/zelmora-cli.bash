# bash completion for zelmora-cli: commands, their options, the values of the
# encoding and format options, and files (folders for --out where results go).
# Needs nothing from the bash-completion package, so it also works sourced alone.

_zelmora_cli_commands="expand builtin run group classify dups fullcodes shortest relate encode convert check stats diff score reorder shortcodes"

# The options of each command, as `zelmora-cli COMMAND --help` lists them.
_zelmora_cli_options()
{
    local derive="--source --builtin --entries --out --encoding --format --output-encoding --output-format --bom --unencodable --skipped"
    case $1 in
        expand) echo "--builtin --encoding --format --output-encoding --output-format --bom --unencodable --skipped" ;;
        builtin) echo "--output-encoding --output-format --bom --unencodable --skipped" ;;
        run | group | classify | fullcodes | shortest | relate) echo "$derive" ;;
        dups) echo "${derive/--entries /}" ;;
        encode) echo "--encoding --table --table-encoding --table-format --group --merge --by-weight --output-format --output-encoding --out --unencodable --skipped" ;;
        convert) echo "--encoding --format --output-encoding --output-format --bom --unencodable --skipped --no-stream" ;;
        check) echo "--encoding --format --no-stream --chars --no-phrases --no-variants --no-variant-shortcodes --no-symbols --no-mixed --no-stray-codes" ;;
        stats) echo "--encoding --format --json" ;;
        diff) echo "--old-encoding --old-format --new-encoding --new-format --tsv --quiet --text --freq --optimal" ;;
        reorder) echo "--encoding --format --freq --only --by --auto-commit --select-keys --page-size --keep --out --report --dry-run --text --optimal" ;;
        score) echo "--encoding --format --text-encoding --freq --chars --optimal --auto-commit --select-keys --page-size --threads --json --tsv --split --entries --against --against-encoding --against-format" ;;
        shortcodes) echo "--encoding --format --freq --levels --per-code --method --words --chars --out --report --dry-run --text" ;;
    esac
}

# What follows an option that takes a value: "values WORDS", "file", "dir",
# "values-or-file WORDS", "none" (a number or keys: nothing to offer), or
# nothing for a flag.
_zelmora_cli_value()
{
    local command=$1 option=$2
    case $option in
        # What is written has no "auto"; what is read (--encoding,
        # --table-encoding and the like) has.
        --output-encoding) echo "values gbk gb18030 utf-8 utf-16le utf-16be" ;;
        --output-format) echo "values plain rime libime fcitx4 ibus yong duoduo bingling jidian sogou-phrase baidu-phrase jisu ms-phrase" ;;
        --encoding | --*-encoding) echo "values auto gbk gb18030 utf-8 utf-16le utf-16be" ;;
        --format | --*-format) echo "values auto plain rime libime fcitx4 ibus yong duoduo bingling jidian sogou-phrase baidu-phrase ms-phrase" ;;
        --unencodable) echo "values error skip" ;;
        --only) echo "values singles phrases all" ;;
        --by) echo "values use count" ;;
        # score's and shortcodes' --chars name a character set; check's a table.
        --chars) if [[ $command == score || $command == shortcodes ]]; then echo "values gb2312 gb2312-1 top:"; else echo "file"; fi ;;
        --freq) echo "values-or-file jieba essay" ;;
        --source | --entries | --table | --merge | --skipped | --text | --split | --against | --keep | --report) echo "file" ;;
        --auto-commit | --select-keys | --page-size | --threads | --levels | --per-code) echo "none" ;;
        --method) echo "values greedy optimal" ;;
        --out) if [[ $command == encode || $command == reorder || $command == shortcodes ]]; then echo "file"; else echo "dir"; fi ;;
    esac
}

_zelmora_cli_files()
{
    # Quotes and marks folders as file names; outside a completion (a test
    # calling the function) there is nothing to set.
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY+=($(compgen "$1" -- "$2"))
}

_zelmora_cli()
{
    COMPREPLY=()
    local cword=$COMP_CWORD
    local cur=${COMP_WORDS[cword]}
    local prev=${COMP_WORDS[cword-1]}
    local prefix=""

    # "--format=ri": bash splits at "=" when COMP_WORDBREAKS holds it
    # (words "--format" "=" "ri"); otherwise the word is whole.
    if [[ $cur == = && $prev == --* ]]; then
        cur=""
    elif [[ $prev == = && $cword -ge 2 && ${COMP_WORDS[cword-2]} == --* ]]; then
        prev=${COMP_WORDS[cword-2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        prefix=$prev=
        cur=${cur#*=}
    fi

    # The command: the first word after the program that is one.
    local command="" i word
    for ((i = 1; i < cword; i++)); do
        word=${COMP_WORDS[i]}
        if [[ " $_zelmora_cli_commands " == *" $word "* ]]; then
            command=$word
            break
        fi
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "-h --help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$_zelmora_cli_commands" -- "$cur"))
        fi
        return 0
    fi

    local value
    value=$(_zelmora_cli_value "$command" "$prev")
    if [[ -n $value && -n $(_zelmora_cli_options "$command" | tr ' ' '\n' | grep -Fx -- "$prev") ]]; then
        case $value in
            values\ *) COMPREPLY=($(compgen -P "$prefix" -W "${value#values }" -- "$cur")) ;;
            values-or-file\ *)
                COMPREPLY=($(compgen -P "$prefix" -W "${value#values-or-file }" -- "$cur"))
                _zelmora_cli_files -f "$cur"
                ;;
            file) _zelmora_cli_files -f "$cur" ;;
            dir) _zelmora_cli_files -d "$cur" ;;
        esac
        return 0
    fi

    if [[ $cur == -* ]]; then
        # Options not given yet; --help always.
        local options="" option given
        for option in $(_zelmora_cli_options "$command"); do
            given=""
            for ((i = 1; i < cword; i++)); do
                [[ ${COMP_WORDS[i]} == "$option" || ${COMP_WORDS[i]} == "$option="* ]] && given=1
            done
            [[ -z $given ]] && options+=" $option"
        done
        COMPREPLY=($(compgen -W "$options -h --help" -- "$cur"))
        return 0
    fi

    case $command in
        expand | encode | convert | check | stats | diff | score | reorder | shortcodes) _zelmora_cli_files -f "$cur" ;;
        *) COMPREPLY=($(compgen -W "$(_zelmora_cli_options "$command")" -- "$cur")) ;;
    esac
    return 0
}

complete -F _zelmora_cli zelmora-cli
