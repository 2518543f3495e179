# fish completion for vellum: command words, each command's options, block
# sizes, and .vlm archives.

set -l commands add a create c extract x list l info i delete d test t repair r
complete -c vellum -f
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -a "add a" -d 'add files and folders to an archive'
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -a "create c" -d 'add to a new archive only'
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -a "extract x" -d 'extract every entry, or the named ones'
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -a "list l" -d 'list every entry, or the named ones'
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -a "info i" -d 'entry count, mode, sizes'
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -a "delete d" -d 'remove entries from a normal archive'
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -a "test t" -d 'decode every entry without writing it'
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -a "repair r" -d 'cut off an entry left unfinished by a kill'
complete -c vellum -n "not __fish_seen_subcommand_from $commands" -l version -d 'the program version'
complete -c vellum -s q -l quiet -d 'no progress display and no summary line'
complete -c vellum -s h -l help -d 'help'

# Archives, and what add takes.
complete -c vellum -n "__fish_seen_subcommand_from $commands" -k -a "(__fish_complete_suffix .vlm)"
complete -c vellum -n "__fish_seen_subcommand_from add a create c" -F

set -l adding "__fish_seen_subcommand_from add a create c"
complete -c vellum -n $adding -l solid -d 'create a solid archive'
complete -c vellum -n $adding -l block -x -a "8M 16M 32M 64M 128M 256M 512M" -d 'block size of a new archive'
complete -c vellum -n $adding -l meta -d 'keep modes, times, links, folders and checksums (the default)'
complete -c vellum -n $adding -l no-meta -d 'file bytes and names only, links followed'
complete -c vellum -n $adding -s u -l update -d 'replace the held files that changed'
complete -c vellum -n $adding -l best -d 'keep the smallest entry of every parameter set'
complete -c vellum -n $adding -l strong -d 'code with the strong codec'

set -l extracting "__fish_seen_subcommand_from extract x"
complete -c vellum -n $extracting -s o -l output -x -a "(__fish_complete_directories)" -d 'destination folder'
complete -c vellum -n $extracting -s C -l directory -x -a "(__fish_complete_directories)" -d 'destination folder'
complete -c vellum -n $extracting -s k -l keep-old-files -d 'leave existing files alone'
complete -c vellum -n $extracting -s P -l absolute-links -d 'also make links to absolute paths'
complete -c vellum -n $extracting -l stdout -d 'write the bytes to standard output'

complete -c vellum -n "__fish_seen_subcommand_from add a create c extract x" -l exclude -x -d 'leave out what the pattern selects'
complete -c vellum -n "__fish_seen_subcommand_from add a create c extract x test t" -s T -l threads -x -a "1 2 4 8 16" -d 'entries coded at once'

set -l listing "__fish_seen_subcommand_from list l"
complete -c vellum -n $listing -s v -l verbose -d 'every entry with its mode and class'
complete -c vellum -n $listing -l rows -d 'the top-level rows'
complete -c vellum -n $listing -l entries -d 'every record with its offset and class'
complete -c vellum -n "__fish_seen_subcommand_from list l info i" -l json -d 'one JSON document'
